#!/usr/bin/env bash
# Rips a 40-minute synthesised disc image to WMA, MP3 and Ogg Vorbis at 128 kbps, to FLAC
# (level 5), to Opus at 160 kbps and to AAC at 192 kbps with tunecrest-rip (--jobs 1 and
# --jobs 2), and in the same run with the pipeline a user would use instead: cd-paranoia reading
# each track into ffmpeg (wmav2), lame, oggenc, flac -5, opusenc or ffmpeg (aac). Prints x real
# time, our/their ratios and peak memory.
#
#   bash bench/rip_bench.sh [BUILD_DIR] [MINUTES] [RUNS]
# Each figure is the best of RUNS runs (default 2), since a shared machine's timings wander.
# FORMATS (default "wma mp3 ogg flac opus aac") picks the formats.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
MINUTES=${2:-40}
RUNS=${3:-2}
FORMATS=${FORMATS:-wma mp3 ogg flac opus aac}
TRACKS=10
RIP="$BUILD/src/tunecrest-rip"
MAKE_DISC="$BUILD/tests/fixtures/tunecrest-make-disc"
for tool in "$RIP" "$MAKE_DISC"; do
    [ -x "$tool" ] || { echo "missing $tool: build first (cmake --build $BUILD)"; exit 1; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
IMAGE="$WORK/bench.cue"
"$MAKE_DISC" --minutes "$MINUTES" --tracks "$TRACKS" "$IMAGE" >/dev/null
AUDIO_SECONDS=$((MINUTES * 60))

# Settings: defaults (128 kbps for WMA, MP3 and Ogg Vorbis, 160 for Opus, 192 for AAC, FLAC
# level 5, Synch reads), in a folder of their own.
export XDG_CONFIG_HOME="$WORK/cfg"
mkdir -p "$XDG_CONFIG_HOME"

# time_run OUTVAR_SECONDS OUTVAR_KB OUTPUT_DIR command...: the best wall seconds and the largest
# peak resident memory over RUNS runs; OUTPUT_DIR is emptied before each run.
time_run() {
    local stats="$WORK/time.txt" best="" peak=0 secs kb
    for ((run = 0; run < RUNS; run++)); do
        rm -rf "$3"
        /usr/bin/time -f '%e %M' -o "$stats" "${@:4}" >/dev/null 2>"$WORK/stderr.txt" || {
            cat "$WORK/stderr.txt"; exit 1; }
        read -r secs kb <"$stats"
        if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$secs
        fi
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    printf -v "$1" '%s' "$best"
    printf -v "$2" '%s' "$peak"
}

their_pipeline() {
    local format=$1 out=$2
    mkdir -p "$out"
    for ((n = 1; n <= TRACKS; n++)); do
        case $format in
        wma) cd-paranoia -q -d "$IMAGE" "$n" - | ffmpeg -loglevel error -i - -c:a wmav2 -b:a 128k "$out/$n.wma" ;;
        mp3) cd-paranoia -q -d "$IMAGE" "$n" - | lame --quiet -b 128 - "$out/$n.mp3" ;;
        ogg) cd-paranoia -q -d "$IMAGE" "$n" - | oggenc -Q -b 128 -o "$out/$n.ogg" - ;;
        flac) cd-paranoia -q -d "$IMAGE" "$n" - | flac -s -5 -o "$out/$n.flac" - ;;
        opus) cd-paranoia -q -d "$IMAGE" "$n" - | opusenc --quiet --bitrate 160 - "$out/$n.opus" ;;
        aac) cd-paranoia -q -d "$IMAGE" "$n" - | ffmpeg -loglevel error -i - -c:a aac -b:a 192k "$out/$n.m4a" ;;
        esac
    done
}
export -f their_pipeline
export IMAGE TRACKS

xrt() { awk -v a="$AUDIO_SECONDS" -v s="$1" 'BEGIN { printf "%.1f", a / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }

echo "Rip benchmark: ${MINUTES} min disc image, ${TRACKS} tracks, $(nproc) cores, best of $RUNS"
printf '%-5s %12s %12s %12s %10s %10s %14s %8s\n' format "ours -j1" "ours -j2" theirs "j1/theirs" "j2/j1" "peak MB j1/j2" theirs_MB
for format in $FORMATS; do
    time_run t1 m1 "$WORK/out" "$RIP" -q -d "$IMAGE" -f "$format" -j 1 -o "$WORK/out"
    time_run t2 m2 "$WORK/out" "$RIP" -q -d "$IMAGE" -f "$format" -j 2 -o "$WORK/out"
    time_run t3 m3 "$WORK/out" bash -c "their_pipeline $format '$WORK/out'"
    printf '%-5s %11sx %11sx %11sx %10s %10s %7s/%-6s %8s\n' "$format" \
        "$(xrt "$t1")" "$(xrt "$t2")" "$(xrt "$t3")" \
        "$(ratio "$t1" "$t3")" "$(ratio "$t2" "$t1")" \
        "$((m1 / 1024))" "$((m2 / 1024))" "$((m3 / 1024))"
done
echo "(theirs_MB: the largest single process of the pipeline)"
