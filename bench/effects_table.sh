#!/usr/bin/env bash
# Runs bench/effects_bench with repetitions in random order and prints the
# README table: the median CPU time per rendered frame of every effect (from
# the frames-per-second counter) and its ratio to the median memcpy.
# Usage: bench/effects_table.sh [build-folder] [repetitions]
set -euo pipefail
build="${1:-build}"
reps="${2:-5}"
{
  "$build/bench/effects_bench" --benchmark_list_tests=true | sed 's/^/order,/'
  "$build/bench/effects_bench" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null
} | awk -F, '
    function short(s) { gsub(/"/, "", s); sub(/_median$/, "", s); sub(/^RunEffect\//, "", s); sub(/^BM_/, "", s); return s }
    $1 == "order" { order[++n] = short($2); next }
    /_median"/ { t[short($1)] = $7 != "" ? 1e9 / $7 : $4 }
    END {
      m = t["Memcpy"]
      printf "memcpy of the picture: %.0f µs\n\n| effect | µs per frame | x memcpy |\n|---|---:|---:|\n", m / 1000
      for (i = 1; i <= n; ++i) {
        if (order[i] == "Memcpy") continue
        per = t[order[i]]
        printf "| %s | %.0f | %.1f |\n", order[i], per / 1000, per / m
      }
    }'
