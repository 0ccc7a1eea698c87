#!/usr/bin/env bash
# Set-up, build, then the main job on the built-in demo card: its state.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
demo=build/demo-card
if [ -x build/korvan-cardsim ]; then
  rm -rf "$demo" && build/korvan-cardsim demo "$demo"
fi
build/korvan-cli info "$demo"
