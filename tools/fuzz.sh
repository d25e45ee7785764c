#!/usr/bin/env bash
# Builds the fuzzers in build-fuzz with clang (ASan + UBSan) and runs each for SECONDS seconds
# on one core, starting from seeds made from samples/ and small generated files. Fails on the
# first finding; the input that caused it is left in build-fuzz/findings/<fuzzer>/.
#   tools/fuzz.sh SECONDS [FUZZER...]     (default: every fuzzer)
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:?usage: tools/fuzz.sh SECONDS [FUZZER...]}
shift
FUZZERS=("$@")
[ ${#FUZZERS[@]} -eq 0 ] && FUZZERS=(fuzz_bmp fuzz_jpeg fuzz_png fuzz_tiff fuzz_jpeg_roundtrip fuzz_cli_values)
BUILD=${KV_FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_BUILD_FUZZERS=ON \
  -DKV_BUILD_TESTS=OFF -DKV_BUILD_BENCH=OFF -DKV_BUILD_APP=OFF >/dev/null
cmake --build "$BUILD" -j "${KV_FUZZ_JOBS:-2}" --target kv_fuzzers >/dev/null

# Fresh seeds each run; what the fuzzers learnt before stays in corpus/.
rm -rf "$BUILD/seeds"
"$BUILD/fuzz/make_fuzz_seeds" samples "$BUILD/seeds"

export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=()
for fuzzer in "${FUZZERS[@]}"; do
  seeds=${fuzzer#fuzz_}
  corpus="$BUILD/corpus/$seeds"
  findings="$BUILD/findings/$fuzzer"
  mkdir -p "$corpus" "$findings"
  echo "== $fuzzer for ${SECONDS_EACH} s"
  # -rss_limit_mb and -timeout make memory hogs and hangs findings too.
  if ! "$BUILD/fuzz/$fuzzer" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$BUILD/seeds/$seeds" \
      >"$BUILD/findings/$fuzzer.log" 2>&1; then
    tail -n 40 "$BUILD/findings/$fuzzer.log"
    failed+=("$fuzzer")
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$BUILD/findings/$fuzzer.log" | tr '\n' ' '
    echo
  fi
done
passed=$(( ${#FUZZERS[@]} - ${#failed[@]} ))
if [ ${#failed[@]} -gt 0 ]; then
  echo "Findings in: ${failed[*]} (inputs in $BUILD/findings/)"
  echo "fuzzers: $passed passed, ${#failed[@]} failed"
  exit 1
fi
echo "fuzzers: $passed passed, 0 failed"
