#!/usr/bin/env bash
# Sets the triangle and linear resamplers of the blit engine against
# ImageMagick on the same task: a 2048 x 2048 RGBA image resampled to
# 1000 x 1000 and 3000 x 3000, one thread each.
#
#   bench/compare-imagemagick.sh            build (build/bench) and compare
#   BUILD_DIR=build/dev RUNS=9 bench/compare-imagemagick.sh
#
# ImageMagick is timed as whole `convert` runs reading a memory-mappable
# cache (.mpc) and writing nowhere (null:); the time of the same run without
# the resize is subtracted, leaving the resize alone. Each figure is the
# median of RUNS runs, as wall time and as CPU time (user + system; the
# steadier one on a shared machine). Our figures come from bench/blit_filters.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
runs=${RUNS:-7}
convert=convert-im6.q16

command -v "$convert" >/dev/null || { echo "$convert not found" >&2; exit 2; }

cmake -S "$root" -B "$build" -G Ninja -DTX_BUILD_TESTS=OFF -DTX_BUILD_VIEWER=OFF >/dev/null
cmake --build "$build" -j2 --target blit_filters >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- ours --------------------------------------------------------------------
"$build/bench/blit_filters" --benchmark_filter='BM_(Triangle|Linear)/' \
    --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    --benchmark_format=json --benchmark_out="$work/ours.json" \
    --benchmark_out_format=json >/dev/null 2>"$work/ours.log" || { cat "$work/ours.log" >&2; exit 1; }
ours() { # median "real cpu" time in ms of a benchmark
    python3 - "$work/ours.json" "$1" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
for b in data["benchmarks"]:
    if b["name"] == sys.argv[2] + "_median":
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        print("%.3f %.3f" % (b["real_time"] * scale, b["cpu_time"] * scale))
PY
}

# --- ImageMagick ---------------------------------------------------------------
# A smooth image with noise on top, like the benchmark's own.
MAGICK_THREAD_LIMIT=1 "$convert" -seed 7 -size 2048x2048 gradient:red-blue \
    \( -size 2048x2048 xc:gray50 +noise Uniform \) -compose overlay -composite \
    -alpha set -depth 8 "$work/in.mpc"

median_ms() { # median "real cpu" time in ms of a convert run with the given operators
    local reals=() cpus=() line
    for _ in $(seq "$runs"); do
        line=$({ TIMEFORMAT='%R %U %S'; time MAGICK_THREAD_LIMIT=1 "$convert" "$work/in.mpc" "$@" null:; } 2>&1)
        reals+=("$(awk '{printf "%.3f", $1 * 1000}' <<<"$line")")
        cpus+=("$(awk '{printf "%.3f", ($2 + $3) * 1000}' <<<"$line")")
    done
    local real cpu
    real=$(printf '%s\n' "${reals[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    cpu=$(printf '%s\n' "${cpus[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    echo "$real $cpu"
}

noop=$(median_ms)
im_tri1000=$(median_ms -filter Triangle -resize '1000x1000!')
im_tri3000=$(median_ms -filter Triangle -resize '3000x3000!')
im_lin1000=$(median_ms -interpolate Bilinear -interpolative-resize '1000x1000!')

report() { # name "ours_real ours_cpu" "im_real im_cpu"
    awk -v name="$1" -v ours="$2" -v total="$3" -v noop="$noop" 'BEGIN {
        split(ours, o, " "); split(total, t, " "); split(noop, n, " ")
        real = t[1] - n[1]; cpu = t[2] - n[2]
        printf "%-20s real: ours %8.2f ms  ImageMagick %8.2f ms  ratio %.2f | cpu: ours %8.2f ms  ImageMagick %8.2f ms  ratio %.2f\n",
            name, o[1], real, o[1] / real, o[2], cpu, o[2] / cpu
    }'
}

echo "ImageMagick no-op run (read + null write), real cpu: $noop ms (subtracted)"
report "triangle 2048->1000" "$(ours BM_Triangle/1000)" "$im_tri1000"
report "triangle 2048->3000" "$(ours BM_Triangle/3000)" "$im_tri3000"
report "linear   2048->1000" "$(ours BM_Linear/1000)" "$im_lin1000"
echo "(ratio = ours / ImageMagick; below 1 is faster)"
