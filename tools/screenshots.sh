#!/usr/bin/env bash
# Saves a picture of each window of the desktop program into docs/screenshots/: the main
# window, the card operations window on the demo card, its service-sector list, the record
# list after its scan and the block list of the first recording.
# Usage: tools/screenshots.sh [MEDIUM]   (default: the simulator's demo card, made afresh)
# Needs a build (scripts/build.sh). Runs on Qt's offscreen platform, so no display is needed;
# settings go to a temporary folder so that the user's window positions stay untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
medium=${1:-}
if [[ -z $medium ]]; then
  if [[ ! -x build/korvan-cardsim ]]; then
    echo "screenshots: build/korvan-cardsim missing; give a MEDIUM or build first" >&2
    exit 1
  fi
  build/korvan-cardsim demo "$work/demo" >/dev/null
  medium=$work/demo
fi
# Two volume images stand in for removable drives in the main window's list.
drives=()
if command -v mkfs.fat >/dev/null; then
  truncate -s 256M "$work/sdb1" && mkfs.fat -F 32 "$work/sdb1" >/dev/null
  truncate -s 64M "$work/sdc1" && mkfs.fat -F 16 "$work/sdc1" >/dev/null
  drives=(sdb1 sdc1)  # short names: the program runs in $work
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
korvan=$(pwd)/build/korvan
[[ $medium = /* ]] || medium=$(pwd)/$medium
cd "$work"
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$korvan" --screenshot "$out" "$medium" "${drives[@]}"
