#!/usr/bin/env bash
# Runs every benchmark of a build folder (default build/) and prints the tables.
set -euo pipefail
build="${1:-build}"
for b in "$build"/bench/*_bench; do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.5
done
