#!/usr/bin/env bash
# Runs each fuzz target built by build_fuzz.sh for SECONDS (default 30), one after another,
# from its seed corpus and its kept regression inputs. A crash stops with status 1 and leaves
# the reproducer in <build>/artifacts/<target>/ (copy it to tests/data/fuzz/<target>/ once
# mended, so that the tests replay it). Extra arguments name the targets to run.
# usage: run_fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${KORVAN_FUZZ_BUILD:-build-fuzz}
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(volume_open ring_scan conversion mux_parsers mp4_postprocess)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
status=0
for t in "${targets[@]}"; do
  regress=tests/data/fuzz/$t
  [ "$t" = mp4_postprocess ] && regress=tests/data/mp4_fuzz
  mkdir -p "$out/artifacts/$t" "$out/corpus/$t" "$regress"
  maxlen=()
  case $t in
    volume_open|mux_parsers|mp4_postprocess) maxlen=(-max_len=65536) ;;
    ring_scan) maxlen=(-max_len=16896) ;;
    conversion) maxlen=(-max_len=1200000) ;;
  esac
  echo "== $t: ${seconds}s"
  if ! "$out/${t}_fuzz" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 "${maxlen[@]}" \
      -artifact_prefix="$out/artifacts/$t/" -print_final_stats=1 \
      "$out/corpus/$t" "$regress" 2>"$out/$t.log"; then
    status=1
    tail -40 "$out/$t.log"
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$out/$t.log" || true
done
exit $status
