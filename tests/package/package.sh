#!/usr/bin/env bash
# The installer package in a Wine prefix of its own, of the architecture of
# the tested build: install silently and use the three objects; install the
# same version again; remove; install again; upgrade to a later version;
# remove; the package's COM registration against what regsvr32 writes; and
# the sample log4cplus property file at work.
# Every removal must give back the registry and the files of the fresh
# prefix.
#   package.sh WINE_RUN BUILD_DIR VERSION TYPELIB_CHECK
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
wine_run=$1 build=$2 version=$3 typelib_check=$4
regfile="$root/packaging/regfile.py"
work=$(mktemp -d)
export QARN_WINEPREFIX="$work/prefix"
. "$build/wine-env.sh"
cleanup() { "$WINESERVER" -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

if [ "$WINEARCH" = win64 ]; then platform=x64; else platform=x86; fi
msi="$build/packaging/QarnVesmoro-$version.msi"
folder="$WINEPREFIX/drive_c/Program Files/Qarn Vesmoro"
folder_windows='C:\Program Files\Qarn Vesmoro'
deliverables=(QarnUtil/QarnUtil.dll lorvex/lorvex.dll TrayApplication/zarvek_agent.exe)
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall'

fail() { echo "FAIL: $*" >&2; exit 1; }
windows_path() { echo "Z:${1//\//\\}"; }
msiexec() { "$wine_run" msiexec "$@" /qn || fail "msiexec $* returned $?"; }
msi_property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }

# The registry files and the list of files under C: as they are now; Wine
# writes its registry files when the wineserver ends. The folder of Windows
# Installer's package cache is its own, made at its first use; what it holds
# counts.
snapshot() {
  "$WINESERVER" -w
  cp "$WINEPREFIX/system.reg" "$work/$1.system.reg"
  cp "$WINEPREFIX/user.reg" "$work/$1.user.reg"
  (cd "$WINEPREFIX/drive_c" && find . ! -path ./windows/Installer -printf '%p %s\n' | sort) >"$work/$1.files"
}

# Windows Installer's own empty containers, made at its first use.
installer_containers() {
  cat <<'KEYS'
+ Software\Classes\Installer
+ Software\Classes\Installer\Features
+ Software\Classes\Installer\Products
+ Software\Classes\Installer\UpgradeCodes
+ Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes
+ Software\Microsoft\Windows\CurrentVersion\Installer\UserData
+ Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18
+ Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Components
+ Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Products
KEYS
}

# Fails unless the state NOW equals the state BEFORE, but for keys whose
# path holds IGNORED (a pattern, optional). Wine rewrites its hardware keys at
# every start, and its debugger keeps settings of its own once it has been
# started on a crash of any process; neither is state of the package.
expect_same_state() {  # BEFORE NOW what [IGNORED]
  local differences ignored=${4:-^$}
  differences=$( {
    for hive in system user; do
      python3 "$regfile" changes "$work/$1.$hive.reg" "$work/$2.$hive.reg" --ignore 'System\' \
        --ignore 'Software\Microsoft\Windows NT\CurrentVersion\NetworkCards' \
        --ignore 'Software\Wine\WineDbg' --ignore 'Console'
    done | grep -v -x -F -f <(installer_containers) | grep -v -e "$ignored"
    diff "$work/$1.files" "$work/$2.files"
  } || true)
  [ -z "$differences" ] || fail "$3 left behind:"$'\n'"$differences"
}

registry_value() {  # STATE KEY NAME
  python3 "$regfile" value "$work/$1.system.reg" "$2" "$3"
}

expect_installed() {  # STATE MSI BIN_DIR
  local state=$1 code
  code=$(msi_property "$2" ProductCode)
  for file in "${deliverables[@]}"; do
    cmp -s "$3/$file" "$folder/$(basename "$file")" || fail "$(basename "$file") is not the packaged one"
  done
  cmp -s "$root/packaging/log4cplus.sample.properties" "$folder/log4cplus.sample.properties" \
    || fail "the sample property file is missing"
  [ "$(ls "$folder" | wc -l)" = 4 ] || fail "the program folder holds: $(ls "$folder")"
  [ "$(registry_value "$state" "$run_key" "Zarvek Agent")" = "\"$folder_windows\\zarvek_agent.exe\"" ] \
    || fail "the agent is not started at log-on"
  [ "$(registry_value "$state" "$uninstall_key\\$code" DisplayName)" = "Qarn Vesmoro" ] \
    || fail "no entry in the list of installed programs"
  [ "$(registry_value "$state" "$uninstall_key\\$code" Publisher)" = QARN ] || fail "no maker"
  [ "$(registry_value "$state" "$uninstall_key\\$code" DisplayVersion)" = "$(msi_property "$2" ProductVersion)" ] \
    || fail "wrong version in the list of installed programs"
}

run_clients() {
  "$wine_run" cscript //nologo "$(windows_path "$here/Objects.vbs")" &&
    "$wine_run" "$typelib_check" "$folder_windows\\QarnUtil.dll" "$folder_windows\\lorvex.dll"
}
use_objects() { run_clients || fail "the objects are not usable"; }

# A later version of the same binaries, each with a byte added past its end
# so that the installed files show which package they came from: files of
# the same version stay on an upgrade unless the old product goes first.
later_package() {
  local later_version
  later_version=$(echo "$version" | awk -F. '{ printf "%d.%d.%d", $1, $2, $3 + 1 }')
  for file in "${deliverables[@]}"; do
    mkdir -p "$work/later/$(dirname "$file")"
    { cat "$build/$file"; printf '\0'; } >"$work/later/$file"
  done
  "$root/packaging/make-msi.sh" "$work/QarnVesmoro-$later_version.msi" "$later_version" "$platform" \
    "$work/later" "$build/packaging" >/dev/null
  echo "$work/QarnVesmoro-$later_version.msi"
}

"$wine_run" wineboot -i
# A Run key of the machine with a value of someone else's, as on any real one.
"$wine_run" reg add "HKLM\\$run_key" /v Other /d other.exe /f >/dev/null
# Wine registers the script engine's own type libraries at their first use:
# the clients run once before the package is there (and must fail).
! run_clients >/dev/null || fail "the objects are there before the package"
snapshot fresh

echo "== install silently ($platform package in a $WINEARCH prefix)"
msiexec /i "$(windows_path "$msi")"
snapshot installed
expect_installed installed "$msi" "$build"
[ ! -e "$folder/QarnCryptoClient.dll" ] || fail "a stand-in is in the package"
use_objects

echo "== install the same version again"
msiexec /i "$(windows_path "$msi")"
snapshot again
# Wine's Windows Installer lists the package's folder once more among the
# product's sources: its own record of where the package came from.
expect_same_state installed again "installing the same version twice" '\\SourceList'

echo "== remove"
msiexec /x "$(windows_path "$msi")"
snapshot removed
expect_same_state fresh removed "removing the package"

echo "== install after removal"
msiexec /i "$(windows_path "$msi")"
snapshot reinstalled
expect_installed reinstalled "$msi" "$build"
use_objects

echo "== upgrade to a later version"
later=$(later_package)
msiexec /i "$(windows_path "$later")"
snapshot upgraded
expect_installed upgraded "$later" "$work/later"
[ -z "$(registry_value upgraded "$uninstall_key\\$(msi_property "$msi" ProductCode)" DisplayName)" ] \
  || fail "the earlier version is still listed"
use_objects
msiexec /x "$(windows_path "$later")"
snapshot upgrade_removed
expect_same_state fresh upgrade_removed "removing the upgraded package"

echo "== the package registers what regsvr32 writes"
mkdir -p "$folder"
for file in QarnUtil/QarnUtil.dll lorvex/lorvex.dll; do
  cp "$build/$file" "$folder/"
  "$wine_run" regsvr32 /s "$folder_windows\\$(basename "$file")" || fail "regsvr32 $file"
done
snapshot regsvr32
for state in installed regsvr32; do
  python3 "$regfile" classes "$work/fresh.system.reg" "$work/$state.system.reg" --ignore 'Installer\' \
    >"$work/$state.classes"
done
diff "$work/regsvr32.classes" "$work/installed.classes" || fail "the package's registration differs from regsvr32's"

echo "== the sample property file, named in the Logger key, turns logging on"
cp "$root/packaging/log4cplus.sample.properties" "$folder/"
"$wine_run" reg add 'HKLM\SOFTWARE\QARN Vesmoro\Logger' /v ConfigFile \
  /d "$folder_windows\log4cplus.sample.properties" /f >/dev/null
use_objects >/dev/null
log="$WINEPREFIX/drive_c/ProgramData/Qarn Vesmoro/QarnUtil.log"
grep -q 'INFO .* / DllMain QVS.QarnUtil .* - DLL_PROCESS_ATTACH' "$log" 2>/dev/null \
  || fail "no start of QarnUtil.dll in $log: $(cat "$log" 2>/dev/null)"
echo "package: install, use, reinstall, remove and upgrade as expected"
