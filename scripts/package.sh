#!/usr/bin/env bash
# Builds the release programs and the Debian package
# build-package/orvel_VERSION_ARCH.deb (ORVEL_PACKAGE_BUILD_DIR instead of
# build-package/): the programs with Debian's hardening flags, their manual
# pages and completion, then CPack's DEB generator. Install it with
#   apt install ./build-package/orvel_1.00_amd64.deb
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_PACKAGE_BUILD_DIR:-$ROOT/build-package}"

"$ROOT/scripts/install-deps.sh" --package

# The flags Debian builds its own packages with (stack protector, fortified
# functions, read-only relocations, immediate binding, position-independent
# executables), which lintian checks for. Not the file-prefix map, which would
# win over the build's own and put "./src/" in front of every error report's
# source path.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
# The manual pages' date is the changelog's, whenever the package is built.
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l "$ROOT/packaging/changelog" -S Timestamp)"
export SOURCE_DATE_EPOCH

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEL_BUILD_TESTS=OFF -DORVEL_BUILD_BENCH=OFF \
  -DORVEL_PACKAGE=ON -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  > /dev/null
cmake --build "$BUILD" -j"$(nproc)"
rm -f "$BUILD"/orvel_*.deb
(cd "$BUILD" && cpack -G DEB > cpack.log 2>&1) || {
  cat "$BUILD/cpack.log" >&2
  exit 1
}
ls "$BUILD"/orvel_*.deb
