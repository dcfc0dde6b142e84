#!/usr/bin/env bash
# Writes every examples/NAME.cfg from examples/NAME.json with orvel-cli create.
# Usage: examples/make-examples.sh [PATH-TO-orvel-cli]   (default: build/bin/orvel-cli,
# built first by scripts/run.sh or any build of the project)
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CLI="${1:-$HERE/../build/bin/orvel-cli}"
if [ ! -x "$CLI" ]; then
  echo "make-examples.sh: $CLI is not there; build the project or give the path to orvel-cli" >&2
  exit 2
fi
# The tool keeps a scratch storage region; its home folder is a temporary one.
SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
for json in "$HERE"/*.json; do
  HOME="$SCRATCH" "$CLI" create "$json" "${json%.json}.cfg"
  echo "${json%.json}.cfg"
done
