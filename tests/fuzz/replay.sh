#!/bin/sh
# Replays a fuzz target's seeds (written afresh) and its kept regression inputs.
# usage: replay.sh TARGET_REPLAY_BINARY REGRESSION_DIR
set -e
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
"$1" --seeds "$seeds"
if [ -d "$2" ]; then "$1" "$seeds" "$2"; else "$1" "$seeds"; fi
