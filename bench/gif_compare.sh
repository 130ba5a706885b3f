#!/usr/bin/env bash
# GIF re-export against gifsicle -O3 and ImageMagick's -layers Optimize.
#
# For every GIF of the corpus folder (default /work/shared/corpus/gif) plus
# generated animations (a 300-frame 640 x 480 clip whose frames carry their
# own colour tables, unless CLIP=0; a few small ones when there is no corpus)
# it writes
#   ours:     loopwright convert IN OUT.gif --optimize=L   for L = 1, 2, 3
#   gifsicle: gifsicle -O3 IN -o OUT
#   magick:   convert IN -coalesce -layers Optimize OUT
# and prints a table of output bytes, wall time, peak resident memory
# (/usr/bin/time) and fidelity: every output is coalesced by ImageMagick and
# compared with the coalesced input (runs of equal consecutive frames count
# once; transparent pixels compare by alpha): the largest channel difference
# and the lowest PSNR over all frames ("0 inf" when identical).
#
# Usage: bench/gif_compare.sh [CORPUS_DIR]   (LOOPWRIGHT=path/to/loopwright, CLIP=0 skips the clip)
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

if [ "${CLIP:-1}" != 0 ]; then
  # 300 frames of a gradient whose hue turns, with a ball crossing it, each
  # frame reduced to its own 256 colours: ImageMagick writes local tables.
  mkdir -p "$work/gen"
  for i in $(seq 0 299); do
    "$convert" -size 640x480 gradient:"hsl($(( (i * 3) % 360 )),80%,40%)-hsl($(( (i * 3 + 120) % 360 )),80%,70%)" \
      -fill '#d02020' -draw "circle $((60 + (i * 5) % 520)),$((100 + i)) $((100 + (i * 5) % 520)),$((100 + i))" \
      +dither -colors 256 "$work/gen/f$(printf %03d "$i").gif"
  done
  "$convert" -delay 4 "$work/gen"/f*.gif -loop 0 "$work/gen/clip300.gif"
  rm -f "$work/gen"/f*.gif
  inputs+=("$work/gen/clip300.gif")
fi

now() { date +%s.%N; }
# Runs a command; prints "seconds peakKB exitcode".
measure() {
  local s e
  s=$(now)
  /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null 2>&1
  local rc=$?
  e=$(calc "$(now) - $s")
  echo "$e $(tail -1 "$work/mem") $rc"
}
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

printf '| input | bytes | ours -O1 | ours -O2 | ours -O3 | gifsicle -O3 | magick | O2/gifsicle | O3/gifsicle | time O1 / O2 / O3 | time gifsicle | time magick | peak MB O2 | peak MB gifsicle | exact O1/O2/O3 | gifsicle | magick |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|---|---|---|\n'
r2=(); r3=()
declare -A total=([1]=0 [2]=0 [3]=0 [gs]=0 [im]=0)
inexact=0 imfailed=0
for in in "${inputs[@]}"; do
  name=$(basename "$in" .gif)
  declare -A bytes=() secs=() peak=() ok=()
  for lv in 1 2 3; do
    read -r t m rc < <(measure "$tool" convert "$in" "$work/$name.o$lv.gif" --optimize=$lv)
    secs[$lv]=$t; peak[$lv]=$m; ok[$lv]=$rc
  done
  read -r t m rc < <(measure gifsicle -O3 "$in" -o "$work/$name.gs.gif"); secs[gs]=$t; peak[gs]=$m; ok[gs]=$rc
  read -r t m rc < <(measure "$convert" "$in" -coalesce -layers Optimize "$work/$name.im.gif"); secs[im]=$t; ok[im]=$rc
  fail=0
  for k in 1 2 3 gs; do [ "${ok[$k]}" -eq 0 ] || fail=1; done
  if [ $fail -ne 0 ]; then
    printf '| %s | %s | failed:%s%s%s%s%s |\n' "$name" "$(stat -c %s "$in")" "${ok[1]}" "${ok[2]}" "${ok[3]}" "${ok[gs]}" "${ok[im]}"
    continue
  fi
  # ImageMagick failing on a file (it does on some) leaves the comparison
  # of ours with gifsicle standing; its columns then say so.
  tools="1 2 3 gs im"; [ "${ok[im]}" -eq 0 ] || { tools="1 2 3 gs"; bytes[im]=0; secs[im]=0; imfailed=$((imfailed + 1)); }
  for k in $tools; do
    f="$work/$name.o$k.gif"; [ "$k" = gs ] && f="$work/$name.gs.gif"; [ "$k" = im ] && f="$work/$name.im.gif"
    bytes[$k]=$(stat -c %s "$f")
    total[$k]=$(calc "${total[$k]} + ${secs[$k]}")
  done
  mapfile -t fid < <("$py" "$work/fidelity.py" "$in" "$work/$name.o1.gif" "$work/$name.o2.gif" "$work/$name.o3.gif" \
                     "$work/$name.gs.gif" "$work/$name.im.gif")
  [ "${ok[im]}" -eq 0 ] || fid[5]="failed"
  for k in 1 2 3; do [ "${fid[$k]}" = "0 inf" ] || inexact=$((inexact + 1)); done
  q2=$(calc "${bytes[2]} / ${bytes[gs]}"); q3=$(calc "${bytes[3]} / ${bytes[gs]}")
  r2+=("$q2"); r3+=("$q3")
  printf '| %s | %d | %d | %d | %d | %d | %d | %s | %s | %.2f / %.2f / %.2f | %.2f | %.2f | %d | %d | %s / %s / %s | %s | %s |\n' \
    "$name" "$(stat -c %s "$in")" "${bytes[1]}" "${bytes[2]}" "${bytes[3]}" "${bytes[gs]}" "${bytes[im]}" "$q2" "$q3" \
    "${secs[1]}" "${secs[2]}" "${secs[3]}" "${secs[gs]}" "${secs[im]}" "$(( peak[2] / 1024 ))" "$(( peak[gs] / 1024 ))" \
    "${fid[1]}" "${fid[2]}" "${fid[3]}" "${fid[4]}" "${fid[5]}"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
if [ ${#r2[@]} -gt 0 ]; then
  printf '\nfiles: %d  median size ours/gifsicle: -O2 %s, -O3 %s  re-exports not exact: %d\n' "${#r2[@]}" \
    "$(median "${r2[@]}")" "$(median "${r3[@]}")" "$inexact"
  printf 'total time: ours -O1 %.2fs, -O2 %.2fs, -O3 %.2fs, gifsicle %.2fs, magick %.2fs (files magick failed on: %d)\n' \
    "${total[1]}" "${total[2]}" "${total[3]}" "${total[gs]}" "${total[im]}" "$imfailed"
fi
