#!/bin/sh
# Runs the libFuzzer targets of tests/fuzz, one target at a time.
#
#   scripts/fuzz.sh [--fast] [-runs=N] [-max_total_time=S] [TARGET...|all]
#
# TARGET is a fuzzer name without the suffix (gif, ico, ani, bmp, pcx, tga, psd,
# wmf, emf, png, jpeg, tiff, avi, project); "all" (the default) runs every one.
# Defaults: 1,000,000 executions, at most 240 seconds per target. LW_FUZZ_NICE
# sets the priority (default 19, the lowest; 0 for a machine of its own).
#
# It configures its own clang build in build-fuzz/ (the normal build does not
# need clang): the libraries get coverage instrumentation
# (-fsanitize=fuzzer-no-link) and AddressSanitizer with
# UndefinedBehaviorSanitizer, the targets link libFuzzer. With --fast the
# targets run in a second build, build-fuzz-fast/, with
# UndefinedBehaviorSanitizer only (no memory checks on every access, so
# more executions per second), and each grown corpus is then replayed once under the
# AddressSanitizer build, so every input that reached new code also ran with
# memory checks.
# Both builds leave the functions in tests/fuzz/coverage_ignore.txt
# uninstrumented; a build folder configured before a change of its flags is
# kept as it is (delete it to reconfigure).
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
FAST=0
NICE=${LW_FUZZ_NICE:-19}
ALL="gif ico ani bmp pcx tga psd wmf emf png jpeg tiff avi project"

for arg in "$@"; do
  case "$arg" in
    -runs=*) RUNS=${arg#-runs=} ;;
    -max_total_time=*) TIME=${arg#-max_total_time=} ;;
    all) TARGETS="$ALL" ;;
    --fast) FAST=1 ;;
    -h|--help) sed -n 2,24p "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $arg" >&2; exit 2 ;;
    *) TARGETS="$TARGETS $arg" ;;
  esac
done
[ -n "$TARGETS" ] || TARGETS="$ALL"
for t in $TARGETS; do
  case " $ALL " in *" $t "*) ;; *) echo "fuzz.sh: unknown target $t (one of: $ALL)" >&2; exit 2 ;; esac
done

command -v clang >/dev/null && command -v clang++ >/dev/null || { echo "fuzz.sh: clang is not installed" >&2; exit 1; }

LAUNCHER=""
command -v ccache >/dev/null && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# configure DIR SANITIZE FLAGS: a clang build of the fuzz targets.
configure() {
  [ -f "$1/CMakeCache.txt" ] && return 0
  # shellcheck disable=SC2086
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLW_BUILD_TESTS=ON -DLW_BUILD_BENCH=OFF -DLW_SANITIZE="$2" "-DCMAKE_C_FLAGS=$3" "-DCMAKE_CXX_FLAGS=$3" \
    "-DCMAKE_EXE_LINKER_FLAGS=$4" $LAUNCHER
}
COVER="-fsanitize=fuzzer-no-link -fsanitize-coverage-ignorelist=$ROOT/tests/fuzz/coverage_ignore.txt"
configure "$BUILD" ON "$COVER" ""
FASTBUILD=${LW_FUZZ_FAST_BUILD:-$ROOT/build-fuzz-fast}
UBSAN="-fsanitize=undefined -fno-sanitize-recover=undefined"
[ "$FAST" = 1 ] && configure "$FASTBUILD" OFF "$COVER $UBSAN" "$UBSAN"

BINS="image_fuzz_seeds"
for t in $TARGETS; do BINS="$BINS ${t}_fuzzer"; done
case " $TARGETS " in *" project "*) BINS="$BINS project_fuzz_seeds" ;; esac
# shellcheck disable=SC2086
cmake --build "$BUILD" -j"${LW_FUZZ_JOBS:-2}" --target $BINS
RUNBUILD=$BUILD
if [ "$FAST" = 1 ]; then
  # shellcheck disable=SC2086
  cmake --build "$FASTBUILD" -j"${LW_FUZZ_JOBS:-2}" --target $BINS
  RUNBUILD=$FASTBUILD
fi

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
  if nice -n "$NICE" "$RUNBUILD/tests/${t}_fuzzer" -runs="$RUNS" -max_total_time="$TIME" -rss_limit_mb=2048 \
      -malloc_limit_mb=512 -timeout=120 -print_final_stats=1 -artifact_prefix="$BUILD/fuzz_crash/$t-" \
      "$work" "$seeds" $extra >"$log" 2>&1; then
    result=ok
    # The fast build has no memory checks: replay what it found under them.
    if [ "$FAST" = 1 ] && ! nice -n "$NICE" "$BUILD/tests/${t}_fuzzer" -runs=0 -rss_limit_mb=2048 \
        -malloc_limit_mb=512 -timeout=120 "$work" >"$log.replay" 2>&1; then
      result="FINDING in the replay under AddressSanitizer (see $log.replay)"
      status=1
    fi
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
