#!/usr/bin/env bash
# GIF re-export against gifsicle -O3 and ImageMagick's -layers Optimize.
#
# For every GIF of the corpus folder (default /work/shared/corpus/gif; when it
# is absent a few animations are generated with ImageMagick) it writes
#   ours:   loopwright convert IN OUT.gif
#   gifsicle -O3 IN -o OUT
#   magick: convert IN -coalesce -layers Optimize OUT
# and prints a table of output bytes, wall time and fidelity: every output is
# coalesced by ImageMagick and compared with the coalesced input (runs of
# equal consecutive frames count once; transparent pixels compare by alpha):
# the largest channel difference and the lowest PSNR over all frames
# ("inf" when identical). "fits" tells whether the input's frames hold at
# most 256 colours, where ours must be identical.
#
# Usage: bench/gif_compare.sh [CORPUS_DIR]   (LOOPWRIGHT=path/to/loopwright)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
tool=${LOOPWRIGHT:-$here/build/bin/loopwright}
corpus=${1:-/work/shared/corpus/gif}
convert=/usr/bin/convert
py=/usr/bin/python3
for need in "$tool" "$convert" "$py"; do
  [ -x "$need" ] || { echo "gif_compare: $need not found (build loopwright, install imagemagick/python3)" >&2; exit 2; }
done
command -v gifsicle >/dev/null || { echo "gif_compare: gifsicle not installed (scripts/deps.txt)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/gif-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

inputs=()
if [ -d "$corpus" ]; then
  while IFS= read -r f; do inputs+=("$f"); done < <(find "$corpus" -maxdepth 1 -name '*.gif' | sort)
fi
if [ ${#inputs[@]} -eq 0 ]; then
  echo "gif_compare: no corpus at $corpus, generating animations" >&2
  mkdir -p "$work/gen"
  # A ball moving over a gradient, a palette cycling plasma, a blinking text banner.
  args=()
  for i in $(seq 0 15); do
    args+=( \( -size 160x120 gradient:'#3060c0-#f0f0a0' -fill '#d02020' -draw "circle $((20 + i * 8)),$((40 + i * 3)) $((32 + i * 8)),$((40 + i * 3))" \) )
  done
  "$convert" -delay 6 "${args[@]}" -loop 0 "$work/gen/ball.gif"
  args=()
  for i in $(seq 0 9); do args+=( \( -size 96x96 plasma:fractal -seed $i +dither -colors 64 \) ); done
  "$convert" -delay 10 "${args[@]}" -loop 0 "$work/gen/plasma.gif"
  args=()
  for i in $(seq 0 7); do
    args+=( \( -size 200x40 xc:none -fill "rgb($((i * 30)),80,200)" -draw "rectangle $((i * 20)),5 $((i * 20 + 40)),35" \) )
  done
  "$convert" -delay 8 -dispose background "${args[@]}" -loop 0 "$work/gen/banner.gif"
  inputs=("$work/gen/ball.gif" "$work/gen/plasma.gif" "$work/gen/banner.gif")
fi

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.4f\", $1 }"; }

cat > "$work/fidelity.py" <<'EOF'
import subprocess, sys, math
convert = "/usr/bin/convert"

def frames(path):
    info = subprocess.run([convert, path, "-coalesce", "-format", "%w %h\n", "info:"],
                          capture_output=True, text=True)
    sizes = [l.split() for l in info.stdout.split("\n") if l.strip()]
    if not sizes:
        return None
    w, h = int(sizes[0][0]), int(sizes[0][1])
    raw = subprocess.run([convert, path, "-coalesce", "RGBA:-"], capture_output=True).stdout
    n = w * h * 4
    out = []
    for at in range(0, len(raw) - n + 1, n):
        f = bytearray(raw[at:at + n])
        for i in range(3, n, 4):  # transparent pixels compare by alpha only
            if f[i] == 0:
                f[i - 3] = f[i - 2] = f[i - 1] = 0
        if not out or out[-1] != f:
            out.append(bytes(f))
    return w, h, out

def colours(fs):
    seen = set()
    for f in fs:
        for i in range(0, len(f), 4):
            if f[i + 3]:
                seen.add(f[i:i + 3])
                if len(seen) > 256:
                    return len(seen)
    return len(seen)

src = frames(sys.argv[1])
fits = colours(src[2]) <= 256 if src else False
print("fits" if fits else "over")
for out in sys.argv[2:]:
    got = frames(out)
    if not src or not got or got[:2] != src[:2] or len(got[2]) != len(src[2]):
        print("frames %s/%s" % (len(got[2]) if got else 0, len(src[2]) if src else 0))
        continue
    worst, psnr = 0, float("inf")
    for a, b in zip(src[2], got[2]):
        if a == b:
            continue
        d = [abs(x - y) for x, y in zip(a, b)]
        worst = max(worst, max(d))
        mse = sum(v * v for v in d) / len(d)
        psnr = min(psnr, 10 * math.log10(255 * 255 / mse))
    print("%d %s" % (worst, "inf" if psnr == float("inf") else "%.1f" % psnr))
EOF

printf '| input | bytes | ours | gifsicle -O3 | magick | ours/gifsicle | time ours | time gifsicle | time magick | fits | ours maxdiff/PSNR | gifsicle | magick |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|---|---|\n'
ratios=()
t_ours=0; t_gs=0; t_im=0
for in in "${inputs[@]}"; do
  name=$(basename "$in" .gif)
  o1="$work/$name.ours.gif"; o2="$work/$name.gifsicle.gif"; o3="$work/$name.magick.gif"
  s=$(now); "$tool" convert "$in" "$o1" >/dev/null 2>&1; r1=$?; e1=$(calc "$(now) - $s")
  s=$(now); gifsicle -O3 "$in" -o "$o2" >/dev/null 2>&1; r2=$?; e2=$(calc "$(now) - $s")
  s=$(now); "$convert" "$in" -coalesce -layers Optimize "$o3" >/dev/null 2>&1; r3=$?; e3=$(calc "$(now) - $s")
  if [ $r1 -ne 0 ] || [ $r2 -ne 0 ] || [ $r3 -ne 0 ]; then
    printf '| %s | %s | %s | %s | %s | - | - | - | - | - | - | - | - |\n' "$name" "$(stat -c %s "$in")" \
      "$([ $r1 -eq 0 ] && stat -c %s "$o1" || echo fail)" "$([ $r2 -eq 0 ] && stat -c %s "$o2" || echo fail)" \
      "$([ $r3 -eq 0 ] && stat -c %s "$o3" || echo fail)"
    continue
  fi
  b0=$(stat -c %s "$in"); b1=$(stat -c %s "$o1"); b2=$(stat -c %s "$o2"); b3=$(stat -c %s "$o3")
  mapfile -t fid < <("$py" "$work/fidelity.py" "$in" "$o1" "$o2" "$o3")
  ratio=$(calc "$b1 / $b2")
  ratios+=("$ratio")
  t_ours=$(calc "$t_ours + $e1"); t_gs=$(calc "$t_gs + $e2"); t_im=$(calc "$t_im + $e3")
  printf '| %s | %d | %d | %d | %d | %s | %.3f | %.3f | %.3f | %s | %s | %s | %s |\n' "$name" "$b0" "$b1" "$b2" "$b3" \
    "$ratio" "$e1" "$e2" "$e3" "${fid[0]}" "${fid[1]}" "${fid[2]}" "${fid[3]}"
done
if [ ${#ratios[@]} -gt 0 ]; then
  median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}')
  printf '\nfiles: %d  median size ours/gifsicle: %s  total time ours %.2fs, gifsicle %.2fs, magick %.2fs\n' \
    "${#ratios[@]}" "$median" "$t_ours" "$t_gs" "$t_im"
fi
