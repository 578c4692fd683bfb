#!/usr/bin/env bash
# Builds the installer package with wixl.
#   make-msi.sh OUT.msi VERSION x86|x64 BIN_DIR REGISTRATION_DIR
# BIN_DIR is a build folder with the three deliverables; REGISTRATION_DIR
# holds the *.registry.wxi that harvest.sh wrote. The product code follows
# from version and platform, so a package built again for the same version is
# the same product (installing it twice changes nothing) while a higher
# version is a new product that replaces the old one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1 version=$2 platform=$3 bin=$4 registration=$5
upgrade_code=8E0A62B4-3C51-4F7D-9B1E-5D2A7C4F6E19
product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
  "$upgrade_code" "$version-$platform")
case $platform in
  x86) win64=no program_files=ProgramFilesFolder ;;
  x64) win64=yes program_files=ProgramFiles64Folder ;;
  *) echo "make-msi.sh: platform x86 or x64, not $platform" >&2; exit 2 ;;
esac
# wixl takes the files from the folder of the WiX source.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
ln -s "$here/QarnVesmoro.wxs" "$here/log4cplus.sample.properties" "$registration"/*.registry.wxi \
  "$bin/QarnUtil/QarnUtil.dll" "$bin/lorvex/lorvex.dll" "$bin/TrayApplication/zarvek_agent.exe" "$stage/"
wixl -a "$platform" -o "$out" -I "$stage" \
  -D Version="$version" -D ProductCode="$product_code" -D UpgradeCode="$upgrade_code" \
  -D Win64="$win64" -D ProgramFiles="$program_files" "$stage/QarnVesmoro.wxs"
