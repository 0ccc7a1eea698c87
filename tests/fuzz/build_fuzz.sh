#!/usr/bin/env bash
# Builds the mp4 fuzz target with libFuzzer and AddressSanitizer into build-fuzz/ and writes a
# seed corpus of valid files (hand-built and ffmpeg-made). Run it afterwards, e.g.
#   build-fuzz/mp4_postprocess_fuzz -max_total_time=600 -max_len=65536 build-fuzz/corpus tests/data/mp4_fuzz
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz
mkdir -p "$out/corpus"
core=(src/base/crc32.cpp src/card/servsectclass.cpp src/convert/etenc.cpp src/convert/etdec.cpp
      src/convert/local_seconds.cpp src/convert/integrity_block.cpp src/convert/mp4_file.cpp
      src/convert/mp4_box_walk.cpp src/convert/mp4_time_fix.cpp src/convert/sample_crc.cpp
      src/convert/mp4_postprocess.cpp src/convert/mp4_verify.cpp)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -Isrc \
  tests/fuzz/mp4_postprocess_fuzz.cpp "${core[@]}" -lz -o "$out/mp4_postprocess_fuzz"
clang++ -std=c++20 -O1 -Isrc -Itests tests/fuzz/make_seed_corpus.cpp tests/support/mp4_builder.cpp \
  -o "$out/make_seed_corpus"
"$out/make_seed_corpus" "$out/corpus"
if command -v ffmpeg >/dev/null; then
  ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=47 -f lavfi -i sine=sample_rate=8000 \
    -t 0.3 -c:v libx264 -bf 0 -c:a aac -chunk_duration 1 -f mp4 -y "$out/corpus/ffmpeg.mp4"
fi
echo "built $out/mp4_postprocess_fuzz"
