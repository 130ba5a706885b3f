#!/usr/bin/env bash
# Installs the Ruffle web player (npm @ruffle-rs/ruffle) into build-deps/ruffle
# for the browser tests of published movie pages. Does nothing without npm or
# when it is already there; a failed download only costs those tests (they skip).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dest="${LW_RUFFLE_DIR:-$root/build-deps/ruffle}"
if [[ -f "$dest/node_modules/@ruffle-rs/ruffle/ruffle.js" ]]; then
  exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
  echo "loopwright: npm not found; the browser movie tests will be skipped" >&2
  exit 0
fi
mkdir -p "$dest"
if ! timeout 300 npm install --prefix "$dest" --no-audit --no-fund --silent @ruffle-rs/ruffle >&2; then
  echo "loopwright: could not install @ruffle-rs/ruffle; the browser movie tests will be skipped" >&2
fi
exit 0
