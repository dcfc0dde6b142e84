#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it as a user's
# machine would take it: its file list, control fields and dependencies
# (every QML module the screens import), the menu entries
# (desktop-file-validate), the AppStream description (appstreamcli validate),
# the copyright file (Debian's machine-readable format), lintian (no error;
# the warnings it prints stay visible), and the programs, manual pages and
# completion extracted with dpkg-deb -x into a scratch folder. As root it
# also installs the package with apt-get, checks everything in place, runs
# /usr/bin/orvel-cli --version, purges the package and checks that no file
# is left. The udev rule is checked with "udevadm verify" where udev has it
# (Debian 12's does not: there the test Packaging_udev_rule reads and runs
# the rule). Exits non-zero when any check fails; prints how long it took.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_PACKAGE_BUILD_DIR:-$ROOT/build-package}"
export ORVEL_PACKAGE_BUILD_DIR="$BUILD"
STARTED=$SECONDS

bash "$ROOT/scripts/package.sh" > /dev/null
BUILT=$SECONDS
debs=("$BUILD"/orvel_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "test-package.sh: expected one package in $BUILD, found: ${debs[*]}" >&2
  exit 1
fi
DEB="${debs[0]}"
VERSION="$(dpkg-parsechangelog -l "$ROOT/packaging/changelog" -S Version)"
ARCH="$(dpkg --print-architecture)"
MULTIARCH="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
ICON=com.tessmark.OrvelLoader

WORK="$(mktemp -d)"
INSTALLED_BY_US=0
cleanup() {
  if [ "$INSTALLED_BY_US" = 1 ] && dpkg-query -W -f='${Status}' orvel 2> /dev/null | grep -q "ok installed"; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq orvel > /dev/null 2>&1 || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

passed=0
failed=0
# check NAME COMMAND...: runs the command, its output kept for a failure.
# The command runs as a job of its own: in an "if" bash would ignore set -e
# inside the checking functions, and a failed step could pass unseen.
check() {
  local name="$1"
  shift
  (
    set -e
    "$@"
  ) > "$WORK/check.log" 2>&1 &
  if wait $!; then
    echo "PASS: $name"
    passed=$((passed + 1))
  else
    echo "FAIL: $name"
    sed 's/^/    /' "$WORK/check.log"
    failed=$((failed + 1))
  fi
}

# Every file of the package, as dpkg-deb lists it.
EXPECTED_FILES="./lib/udev/rules.d/70-orvel.rules
./usr/bin/orvel-cli
./usr/bin/orvel-devsim
./usr/bin/orvel-editor
./usr/bin/orvel-loader
./usr/share/applications/com.tessmark.OrvelEditor.desktop
./usr/share/applications/com.tessmark.OrvelLoader.desktop
./usr/share/bash-completion/completions/orvel-cli
./usr/share/doc/orvel/changelog.gz
./usr/share/doc/orvel/copyright
$(for size in 128 16 22 24 256 32 48 64; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/$ICON.png"; done)
./usr/share/icons/hicolor/scalable/apps/$ICON.svg
./usr/share/man/man1/orvel-cli.1.gz
./usr/share/man/man1/orvel-devsim.1.gz
./usr/share/man/man1/orvel-editor.1.gz
./usr/share/man/man1/orvel-loader.1.gz
./usr/share/metainfo/$ICON.metainfo.xml"

file_list() {
  local listed
  listed="$(dpkg-deb -c "$DEB" | awk '$1 ~ /^-/ {print $6}' | sort)"
  diff <(echo "$EXPECTED_FILES" | sort) <(echo "$listed")
  # Owned by root; programs 0755, everything else 0644, folders 0755.
  dpkg-deb -c "$DEB" | awk '
    $2 != "root/root" {print "not root/root: " $0; bad = 1}
    $1 ~ /^d/ && $1 != "drwxr-xr-x" {print "folder mode: " $0; bad = 1}
    $1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" {print "program mode: " $0; bad = 1}
    $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" {print "file mode: " $0; bad = 1}
    END {exit bad}'
}
check "file list, owners and modes" file_list

control_fields() {
  [ "$(basename "$DEB")" = "orvel_${VERSION}_${ARCH}.deb" ]
  [ "$(dpkg-deb -f "$DEB" Package)" = orvel ]
  [ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ]
  [ "$(dpkg-deb -f "$DEB" Architecture)" = "$ARCH" ]
  # From dpkg-shlibdeps: the Qt libraries the programs link.
  local depends
  depends="$(dpkg-deb -f "$DEB" Depends | tr ',|' '\n\n' | sed -e 's/(.*//' -e 's/ //g')"
  for library in libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5qml5 libqt5quick5 libqt5serialport5 libqt5network5 \
    libqt5widgets5; do
    if ! grep -qxF "$library" <<< "$depends"; then
      echo "Depends lacks $library: $(dpkg-deb -f "$DEB" Depends)"
      return 1
    fi
  done
  dpkg-deb -I "$DEB" postinst > /dev/null
  dpkg-deb -I "$DEB" postrm > /dev/null
}
check "control fields and library dependencies" control_fields

# Every QML module a screen imports is either the program's own (registered
# by its code or a qmldir in src/qml) or installed from a Debian package that
# the package depends on. Qt looks for "import A.B 2.15" in A/B, A/B.2 and
# A.2/B below its QML folder.
qml_module_folders() {
  local module="$1" major="$2" base="/usr/lib/$MULTIARCH/qt5/qml"
  local -a parts
  IFS=. read -r -a parts <<< "$module"
  echo "$base/${module//.//}"
  local i j path
  for ((i = ${#parts[@]} - 1; i >= 0; i--)); do
    path="$base"
    for ((j = 0; j < ${#parts[@]}; j++)); do
      path="$path/${parts[j]}"
      if [ "$j" -eq "$i" ]; then path="$path.$major"; fi
    done
    echo "$path"
  done
}
qml_dependencies() {
  local depends module major folder owner missing=0
  depends="$(dpkg-deb -f "$DEB" Depends | tr ',|' '\n\n' | sed -e 's/(.*//' -e 's/ //g')"
  while read -r module major; do
    if grep -rqE "qmlRegister[A-Za-z]*(<[^>]*>)?\(\"$module\"" "$ROOT/src" ||
      [ -f "$ROOT/src/qml/${module//.//}/qmldir" ]; then
      continue
    fi
    owner=""
    for folder in $(qml_module_folders "$module" "${major%%.*}"); do
      if [ -f "$folder/qmldir" ]; then
        owner="$(dpkg-query -S "$folder/qmldir" | cut -d: -f1)"
        break
      fi
    done
    if [ -z "$owner" ]; then
      echo "import $module $major: neither the program's own nor installed"
      missing=1
    elif ! grep -qxF "$owner" <<< "$depends"; then
      echo "import $module $major comes from $owner, which Depends does not name"
      missing=1
    fi
    echo "import $module $major: $owner"
  done < <(grep -rhoE '^import +[A-Za-z][A-Za-z0-9.]* +[0-9.]+' "$ROOT/src/qml" | awk '{print $2, $3}' | sort -u)
  return "$missing"
}
check "every imported QML module is a dependency" qml_dependencies

EXTRACTED="$WORK/root"
dpkg-deb -x "$DEB" "$EXTRACTED"

check "desktop-file-validate" desktop-file-validate "$EXTRACTED"/usr/share/applications/*.desktop
check "appstreamcli validate" appstreamcli validate --no-net --explain "$EXTRACTED/usr/share/metainfo/$ICON.metainfo.xml"

# Debian's machine-readable format, and every licence named has its text.
copyright_format() {
  # The system's interpreter, which has python3-debian.
  /usr/bin/python3 - "$EXTRACTED/usr/share/doc/orvel/copyright" << 'PYTHON'
import sys
from debian import copyright

with open(sys.argv[1], encoding="utf-8") as stream:
    parsed = copyright.Copyright(stream, strict=True)
texts = {p.license.synopsis for p in parsed.all_license_paragraphs() if p.license.text}
named = set()
for files in parsed.all_files_paragraphs():
    named.add(files.license.synopsis)
    if not files.copyright:
        sys.exit("no Copyright for " + " ".join(files.files))
missing = named - texts
if missing or named != {"LicenseRef-proprietary", "OFL-1.1"}:
    sys.exit("licences named %s, texts for %s" % (sorted(named), sorted(texts)))
for needle in ("Copyright (c) 2026 Tessmark. All rights reserved.", "SIL OPEN FONT LICENSE Version 1.1"):
    if needle not in open(sys.argv[1], encoding="utf-8").read():
        sys.exit("no " + needle)
PYTHON
}
check "copyright file (DEP-5)" copyright_format

# lintian's verdict: no error. Its warnings and notes are printed as they
# are, so that each one stays in sight.
run_lintian() {
  lintian --fail-on error --display-info --no-tag-display-limit "$DEB" | tee "$WORK/lintian.txt"
}
check "lintian: no error" run_lintian
if [ -s "$WORK/lintian.txt" ]; then
  echo "  lintian says:"
  sed 's/^/    /' "$WORK/lintian.txt" | grep -E '^    [EWIPX]:' || true
fi

extracted_programs() {
  local version help
  version="$("$EXTRACTED/usr/bin/orvel-cli" --version)"
  [ "$version" = "orvel-cli $VERSION" ] || { echo "orvel-cli --version: $version"; return 1; }
  help="$("$EXTRACTED/usr/bin/orvel-devsim" --help)"
  grep -q "^Usage: .*orvel-devsim \[options\]" <<< "$help" || { echo "orvel-devsim --help: $help"; return 1; }
  version="$("$EXTRACTED/usr/bin/orvel-loader" --version)"
  [ "$version" = "Orvel Loader V$VERSION" ] || { echo "orvel-loader --version: $version"; return 1; }
  help="$("$EXTRACTED/usr/bin/orvel-editor" --help)"
  grep -q "^Usage: orvel-editor" <<< "$help" || { echo "orvel-editor --help: $help"; return 1; }
  # Error reports name their source below src/, as in every other build.
  local report
  printf '%064d' 0 > "$WORK/zeros.cfg"
  report="$("$EXTRACTED/usr/bin/orvel-cli" show "$WORK/zeros.cfg" 2>&1 || true)"
  grep -qF "(file:///OrvelGUI/Core/SavesManager:" <<< "$report" || { echo "report: $report"; return 1; }
}
check "extracted orvel-cli --version, orvel-devsim --help, report paths" extracted_programs

# The pages render without complaint and describe their program.
manual_pages() {
  local program page
  for program in orvel-loader orvel-editor orvel-cli orvel-devsim; do
    page="$EXTRACTED/usr/share/man/man1/$program.1.gz"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" > "$WORK/$program.txt" 2> "$WORK/$program.err"
    if [ -s "$WORK/$program.err" ]; then
      cat "$WORK/$program.err"
      return 1
    fi
    grep -q "^NAME" "$WORK/$program.txt" && grep -q "$program" "$WORK/$program.txt" &&
      grep -q "^SEE ALSO" "$WORK/$program.txt" || { echo "$program's page lacks its sections"; return 1; }
  done
  grep -q "recall FILE" "$WORK/orvel-cli.txt"
}
check "manual pages" manual_pages

# The completion as bash runs it: $1 the words typed so far (the last one
# being completed), prints the candidates.
# It runs in an empty folder, where no file name joins the candidates.
complete_words() {
  mkdir -p "$WORK/empty"
  cd "$WORK/empty"
  PATH="$EXTRACTED/usr/bin:$PATH" ORVEL_SERIAL_PORTS=/nonexistent/ttyORV7 bash -c '
    source "$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _orvel_cli
    echo "${COMPREPLY[*]}"' completion "$EXTRACTED/usr/share/bash-completion/completions/orvel-cli" "$@"
}
completion() {
  local got
  expect() {
    local want="$1"
    shift
    got="$(complete_words "$@")"
    [ "$got" = "$want" ] || { echo "orvel-cli $*: \"$got\", not \"$want\""; return 1; }
  }
  expect "recall remote response" orvel-cli re
  expect "--help --version" orvel-cli --
  expect "rew camilladsp text" orvel-cli export a.cfg --format ""
  expect "left right both" orvel-cli import a.txt --side ""
  expect "left right" orvel-cli export a.cfg --side ""
  expect "--panel --sum --side --csv --png --help" orvel-cli response a.cfg --
  expect "find" orvel-cli remote 127.0.0.1 fi
  expect "find get set watch" orvel-cli remote 127.0.0.1 ""
  expect "" orvel-cli recall ""
  expect "ttyORV7" orvel-cli version --port ""
}
check "bash completion" completion

udev_verify() {
  if udevadm verify --help > /dev/null 2>&1; then
    udevadm verify --no-summary "$EXTRACTED/lib/udev/rules.d/70-orvel.rules"
  else
    echo "udevadm verify is not available here (the test Packaging_udev_rule checks the rule)"
  fi
}
check "udev rule (udevadm verify where available)" udev_verify

installed_files() {
  local path
  for path in /usr/bin/orvel-loader /usr/bin/orvel-editor /usr/bin/orvel-cli /usr/bin/orvel-devsim \
    /usr/share/applications/com.tessmark.OrvelLoader.desktop /usr/share/applications/com.tessmark.OrvelEditor.desktop \
    /usr/share/icons/hicolor/48x48/apps/$ICON.png /usr/share/icons/hicolor/scalable/apps/$ICON.svg \
    /lib/udev/rules.d/70-orvel.rules /usr/share/metainfo/$ICON.metainfo.xml \
    /usr/share/bash-completion/completions/orvel-cli /usr/share/doc/orvel/copyright; do
    [ -f "$path" ] || { echo "missing after install: $path"; return 1; }
  done
  for program in orvel-loader orvel-editor orvel-cli orvel-devsim; do
    [ "$(man -w "$program")" = "/usr/share/man/man1/$program.1.gz" ] || { echo "man -w $program"; return 1; }
  done
  desktop-file-validate /usr/share/applications/com.tessmark.Orvel*.desktop
  [ "$(/usr/bin/orvel-cli --version)" = "orvel-cli $VERSION" ]
}

purged_clean() {
  local left=0 path
  if dpkg-query -W -f='${Status}' orvel 2> /dev/null | grep -q "installed"; then
    echo "orvel is still known to dpkg: $(dpkg-query -W -f='${Status}' orvel)"
    left=1
  fi
  while IFS= read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then
      echo "left behind: $path"
      left=1
    fi
  done < "$WORK/installed-files"
  [ ! -e /usr/share/doc/orvel ] || { echo "left behind: /usr/share/doc/orvel"; left=1; }
  return "$left"
}

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: install, check in place and purge (needs root)"
elif dpkg-query -W -f='${Status}' orvel 2> /dev/null | grep -q "ok installed"; then
  # Someone's own installation is not replaced and removed by a test.
  echo "SKIP: install, check in place and purge (orvel is installed on this machine already)"
else
  INSTALLED_BY_US=1
  check "apt-get install ./$(basename "$DEB")" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "$DEB"
  dpkg-query -L orvel 2> /dev/null | while IFS= read -r path; do [ -d "$path" ] || echo "$path"; done \
    > "$WORK/installed-files" || true
  check "installed: menu entries, icons, rule, manual pages, /usr/bin/orvel-cli --version" installed_files
  check "apt-get purge orvel" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq orvel
  check "no file left behind" purged_clean
fi

echo "test-package.sh: $passed checks passed, $failed failed; $((SECONDS - STARTED)) s in all," \
  "$((BUILT - STARTED)) s of them building the package"
[ "$failed" -eq 0 ]
