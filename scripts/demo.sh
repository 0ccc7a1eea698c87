#!/usr/bin/env bash
# Set-up, build, then the main job on the built-in demo card: make the card with the recorder
# simulator, show its state, list its recordings, convert them all to .mp4 (with the GPS
# track, subtitles and telemetry beside each) and verify each; then prepare a new blank card
# image for the recorder (format, mark, settings) and check it with fsck.fat.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
demo=build/demo-card
out=build/demo-out
rm -rf "$demo" "$out" && mkdir -p "$out"
build/korvan-cardsim demo "$demo" >/dev/null
echo "== korvan-cli info $demo"
build/korvan-cli info "$demo"
echo "== korvan-cli list $demo"
build/korvan-cli list "$demo"
echo "== korvan-cli convert $demo $out --all --telemetry"
build/korvan-cli convert "$demo" "$out" --all --telemetry | tee build/demo-files.txt
echo "== korvan-cli verify"
while IFS= read -r mp4; do
  build/korvan-cli verify "$mp4"
  if command -v ffprobe >/dev/null; then
    ffprobe -v error -show_entries format=duration:stream=codec_name,nb_frames -of compact "$mp4"
  fi
done < build/demo-files.txt
echo "== GPS track and subtitles of the last recording"
last=$(tail -n 1 build/demo-files.txt)
if command -v gpsbabel >/dev/null; then
  gpsbabel -t -i gpx -f "${last%.mp4}.gpx" -o unicsv -F -
fi
head -n 12 "${last%.mp4}.srt"
echo "== a new 256 MiB card image prepared for the recorder: format, mark, settings"
blank=build/demo-new-card.img
rm -f "$blank" && truncate -s 256M "$blank"
build/korvan-cli format "$blank" --yes
build/korvan-cli mark "$blank" --yes
build/korvan-cli settings "$blank" --set quality=medium vox=3 timer1=daily,2026-12-09,07:30,01:00 --yes >/dev/null
build/korvan-cli settings "$blank"
if command -v fsck.fat >/dev/null; then fsck.fat -n "$blank" | tail -n 1; fi
build/korvan-cli info "$blank" | head -n 3
