#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test.
# With --package also what building and checking the Debian package needs
# (scripts/package.sh, scripts/test-package.sh); any other argument names a
# further package (scripts/fuzz.sh names clang and the libFuzzer runtime).
# Idempotent: does nothing when everything is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtdeclarative5-dev libqt5serialport5-dev libqt5svg5-dev qtquickcontrols2-5-dev
  qml-module-qtquick2 qml-module-qtquick-controls2 qml-module-qtquick-window2
  qml-module-qtquick-layouts qml-module-qtquick-dialogs qml-module-qtquick-shapes
  qml-module-qtgraphicaleffects qml-module-qtquick-controls qml-module-qttest
  fonts-league-spartan python3-fonttools
  python3-yaml python3-numpy
  libbenchmark-dev
  openssl
)
PACKAGE_TOOLS=(
  dpkg-dev help2man gzip man-db lintian desktop-file-utils appstream python3-debian
)
for argument in "$@"; do
  if [ "$argument" = "--package" ]; then
    PACKAGES+=("${PACKAGE_TOOLS[@]}")
  else
    PACKAGES+=("$argument")
  fi
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
