#!/bin/sh
# Builds and runs the filter benchmark (ours beside ImageMagick single-threaded).
# Usage: scripts/bench-filters.sh [BUILD_DIR]
set -e
dir=${1:-build}
cmake --build "$dir" --target filters_bench -j2
"$dir/bench/filters_bench" --benchmark_counters_tabular=true
