#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/deps.txt that are missing.
# As root it calls apt-get; otherwise it prints the exact command to run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# The Ruffle player for the browser tests comes from npm, after the packages.
trap 'bash "$here/install-ruffle.sh" || true' EXIT
missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  status="$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done < "$here/deps.txt"
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi
echo "loopwright: missing packages: ${missing[*]}" >&2
if [[ "$(id -u)" -eq 0 ]]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "run as root: apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
