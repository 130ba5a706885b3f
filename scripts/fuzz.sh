#!/bin/sh
# Runs the libFuzzer targets of tests/fuzz under AddressSanitizer and
# UndefinedBehaviorSanitizer, one target at a time, at the lowest priority.
#
#   scripts/fuzz.sh [-runs=N] [-max_total_time=S] [TARGET...|all]
#
# TARGET is a fuzzer name without the suffix (gif, ico, ani, bmp, pcx, tga, psd,
# wmf, emf, png, jpeg, tiff, avi, project); "all" (the default) runs every one.
# Defaults: 1,000,000 executions, at most 240 seconds per target.
#
# It configures its own clang build in build-fuzz/ (the normal build does not
# need clang): the libraries get coverage instrumentation
# (-fsanitize=fuzzer-no-link) and the sanitizers, the targets link libFuzzer.
# Each target's corpus grows in build-fuzz/fuzz_work/TARGET, seeded from the
# generated seeds and the committed inputs in tests/fuzz/corpus/TARGET; crash
# reproducers land in build-fuzz/fuzz_crash/ and the log of each run in
# build-fuzz/fuzz_logs/TARGET.log. One summary line per target is printed.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${LW_FUZZ_BUILD:-$ROOT/build-fuzz}
RUNS=1000000
TIME=240
TARGETS=""
ALL="gif ico ani bmp pcx tga psd wmf emf png jpeg tiff avi project"

for arg in "$@"; do
  case "$arg" in
    -runs=*) RUNS=${arg#-runs=} ;;
    -max_total_time=*) TIME=${arg#-max_total_time=} ;;
    all) TARGETS="$ALL" ;;
    -h|--help) sed -n 2,17p "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $arg" >&2; exit 2 ;;
    *) TARGETS="$TARGETS $arg" ;;
  esac
done
[ -n "$TARGETS" ] || TARGETS="$ALL"
for t in $TARGETS; do
  case " $ALL " in *" $t "*) ;; *) echo "fuzz.sh: unknown target $t (one of: $ALL)" >&2; exit 2 ;; esac
done

command -v clang >/dev/null && command -v clang++ >/dev/null || { echo "fuzz.sh: clang is not installed" >&2; exit 1; }

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  LAUNCHER=""
  command -v ccache >/dev/null && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  # shellcheck disable=SC2086
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLW_BUILD_TESTS=ON -DLW_BUILD_BENCH=OFF -DLW_SANITIZE=ON \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link $LAUNCHER
fi

BINS="image_fuzz_seeds"
for t in $TARGETS; do BINS="$BINS ${t}_fuzzer"; done
case " $TARGETS " in *" project "*) BINS="$BINS project_fuzz_seeds" ;; esac
# shellcheck disable=SC2086
cmake --build "$BUILD" -j"${LW_FUZZ_JOBS:-2}" --target $BINS

SEEDS=$BUILD/fuzz_seeds
mkdir -p "$SEEDS" "$BUILD/fuzz_work" "$BUILD/fuzz_crash" "$BUILD/fuzz_logs"
"$BUILD/tests/image_fuzz_seeds" "$SEEDS/images" >/dev/null
[ -x "$BUILD/tests/project_fuzz_seeds" ] && "$BUILD/tests/project_fuzz_seeds" "$SEEDS/project" >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-max_allocation_size_mb=512:allocator_may_return_null=0:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
[ -f "$ROOT/tests/lsan.supp" ] && export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tests/lsan.supp}

status=0
for t in $TARGETS; do
  work=$BUILD/fuzz_work/$t
  mkdir -p "$work"
  if [ "$t" = project ]; then seeds=$SEEDS/project; else seeds=$SEEDS/images/$t; fi
  extra=""
  [ -d "$ROOT/tests/fuzz/corpus/$t" ] && extra="$ROOT/tests/fuzz/corpus/$t"
  log=$BUILD/fuzz_logs/$t.log
  # shellcheck disable=SC2086
  if nice -n 19 "$BUILD/tests/${t}_fuzzer" -runs="$RUNS" -max_total_time="$TIME" -rss_limit_mb=2048 \
      -malloc_limit_mb=512 -timeout=120 -print_final_stats=1 -artifact_prefix="$BUILD/fuzz_crash/$t-" \
      "$work" "$seeds" $extra >"$log" 2>&1; then
    result=ok
  else
    result="FINDING (see $log)"
    status=1
  fi
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(echo "$last" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$last" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')
  corp=$(ls "$work" | wc -l)
  echo "$t: runs=${execs:-?} exec/s=${speed:-?} cov=${cov:-?} ft=${ft:-?} corpus=$corp $result"
done
exit $status
