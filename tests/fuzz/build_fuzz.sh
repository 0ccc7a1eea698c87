#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, ASan + UBSan, everything instrumented)
# into build-fuzz/ (or $KORVAN_FUZZ_BUILD) and writes each target's seed corpus, made at run
# time by the recorder simulator and mkfs.fat, into <build>/corpus/<target>/.
# Then run them with tests/fuzz/run_fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${KORVAN_FUZZ_BUILD:-build-fuzz}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVAN_FUZZ=ON "${launcher[@]}" >/dev/null
targets=(volume_open ring_scan conversion mux_parsers)
build=(mp4_postprocess_fuzz make_seed_corpus)
for t in "${targets[@]}"; do build+=("${t}_fuzz" "${t}_fuzz_replay"); done
cmake --build "$out" -j"$(nproc)" --target "${build[@]}"

export ASAN_OPTIONS=detect_leaks=0
for t in "${targets[@]}"; do
  rm -rf "$out/corpus/$t" && mkdir -p "$out/corpus/$t"
  "$out/${t}_fuzz_replay" --seeds "$out/corpus/$t"
done
rm -rf "$out/corpus/mp4_postprocess" && mkdir -p "$out/corpus/mp4_postprocess"
"$out/make_seed_corpus" "$out/corpus/mp4_postprocess"
if command -v ffmpeg >/dev/null; then
  ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=47 -f lavfi -i sine=sample_rate=8000 \
    -t 0.3 -c:v libx264 -bf 0 -c:a aac -chunk_duration 1 -f mp4 -y \
    "$out/corpus/mp4_postprocess/ffmpeg.mp4"
fi
echo "built the fuzz targets in $out"
