#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine and
# builds the third-party libraries into the deps folder. Safe to run again:
# anything already in place is left alone.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS=${QARN_DEPS_DIR:-$ROOT/.deps}
export DEBIAN_FRONTEND=noninteractive

log() { printf '[bootstrap] %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi
}

PACKAGES=(
  wine32:i386 wine64 wine
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  mingw-w64-tools
  xvfb xauth x11-utils imagemagick fonts-dejavu-core
  cmake make g++ clang libclang-rt-14-dev googletest dpkg-dev tcl openssl locales python3
  wixl msitools
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

ensure_sources() {
  local changed=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386; changed=1
  fi
  local src=/etc/apt/sources.list.d/qarn-debian-src.sources
  if [ ! -f "$src" ]; then
    as_root tee "$src" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    changed=1
  fi
  if [ "$changed" = 1 ] || [ ! -f "$DEPS/.apt-updated" ]; then
    log "apt-get update"
    as_root apt-get update -qq || log "apt-get update reported errors; carrying on"
    mkdir -p "$DEPS" && touch "$DEPS/.apt-updated"
  fi
}

install_packages() {
  local missing
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  ensure_sources
  log "installing:" $missing
  # shellcheck disable=SC2086
  as_root apt-get install -y -qq --no-install-recommends $missing >"$DEPS/apt-install.log" 2>&1 \
    || { cat "$DEPS/apt-install.log"; exit 1; }
}

# Fetches a Debian source package into $DEPS/src/<name> (unpacked).
fetch_source() {
  local name=$1
  local dir="$DEPS/src/$name"
  if [ ! -f "$dir/.unpacked" ]; then
    ensure_sources
    log "fetching Debian source package $name"
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && apt-get source -qq -o APT::Sandbox::User=root --download-only "$name" >/dev/null \
       && dpkg-source -x --no-check ./*.dsc tree >/dev/null)
    touch "$dir/.unpacked"
  fi
  echo "$dir/tree"
}

# Static libraries per architecture: i686 for the deliverables, x86_64 too
# when the tests run as 64-bit (see test-arch.sh).
prefix_of() { if [ "$1" = i686 ]; then echo "$DEPS/mingw"; else echo "$DEPS/mingw64"; fi; }
TOOLCHAIN="$ROOT/cmake/toolchain-mingw32.cmake"

build_log4cplus() {
  local arch=$1 PREFIX; PREFIX=$(prefix_of "$1")
  [ -f "$PREFIX/lib/liblog4cplus.a" ] && return 0
  local src; src=$(fetch_source log4cplus)
  log "building log4cplus for $arch-w64-mingw32"
  cmake -S "$src" -B "$DEPS/build/log4cplus-$arch" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQARN_ARCH="$arch" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DUNICODE=OFF -DLOG4CPLUS_BUILD_TESTING=OFF -DWITH_UNIT_TESTS=OFF \
    -DLOG4CPLUS_BUILD_LOGGINGSERVER=OFF -DLOG4CPLUS_ENABLE_DECORATED_LIBRARY_NAME=OFF \
    -DLOG4CPLUS_ENABLE_THREAD_POOL=OFF >"$DEPS/build-log4cplus-$arch.log" 2>&1
  cmake --build "$DEPS/build/log4cplus-$arch" -j"$(nproc)" >>"$DEPS/build-log4cplus-$arch.log" 2>&1
  cmake --install "$DEPS/build/log4cplus-$arch" >>"$DEPS/build-log4cplus-$arch.log" 2>&1
}

build_googletest() {
  local arch=$1 PREFIX; PREFIX=$(prefix_of "$1")
  [ -f "$PREFIX/lib/libgtest.a" ] && return 0
  log "building googletest for $arch-w64-mingw32"
  cmake -S /usr/src/googletest -B "$DEPS/build/googletest-$arch" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQARN_ARCH="$arch" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -Dgtest_disable_pthreads=OFF >"$DEPS/build-googletest-$arch.log" 2>&1
  cmake --build "$DEPS/build/googletest-$arch" -j"$(nproc)" >>"$DEPS/build-googletest-$arch.log" 2>&1
  cmake --install "$DEPS/build/googletest-$arch" >>"$DEPS/build-googletest-$arch.log" 2>&1
}

collect_idl() {
  [ -f "$DEPS/idl/oaidl.idl" ] && return 0
  local src; src=$(fetch_source mingw-w64)
  log "collecting the mingw-w64 IDL files"
  mkdir -p "$DEPS/idl"
  cp "$src"/mingw-w64-headers/include/*.idl "$DEPS/idl/"
}

make_sqlite_amalgamation() {
  [ -f "$DEPS/sqlite/sqlite3.c" ] && return 0
  local src; src=$(fetch_source sqlite3)
  log "making the sqlite amalgamation"
  rm -rf "$DEPS/build/sqlite" && mkdir -p "$DEPS/build/sqlite"
  (cd "$DEPS/build/sqlite" && "$src/configure" --disable-tcl >"$DEPS/build-sqlite.log" 2>&1 \
     && make sqlite3.c >>"$DEPS/build-sqlite.log" 2>&1)
  mkdir -p "$DEPS/sqlite"
  cp "$DEPS/build/sqlite/sqlite3.c" "$DEPS/build/sqlite/sqlite3.h" "$DEPS/sqlite/"
}

main() {
  mkdir -p "$DEPS"
  install_packages
  local arch
  for arch in $(printf '%s\n' i686 "$("$ROOT/scripts/test-arch.sh")" | sort -u); do
    build_log4cplus "$arch"
    build_googletest "$arch"
  done
  collect_idl
  make_sqlite_amalgamation
}

main "$@"
