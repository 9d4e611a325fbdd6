#!/usr/bin/env bash
# Recognises a generated 30-minute tone-speech recording end to end (real
# ffmpeg.exe, REST speech stand-in) and prints, per tick, the wall time, the
# floor that the one-start-per-tick rule and the stand-in's own service times
# set, the program's overhead over it, the process's CPU time and peak working
# set, and the time of one full ffmpeg.exe decode of the same file.
#   bench/rest_pipeline.sh BUILD_DIR [SECONDS]
# BUILD_DIR is an x86_64 build folder made by scripts/configure. Runs with the
# main window's 1000 ms tick and with a 50 ms tick, each once against the
# stand-in as fast as it goes and once with its latency model
# (BENCH_LATENCY="FIXED PER_SECOND", default "0.3 0.03": 2 s for a piece).
# First it prints the stand-in's own rate, so that it is known not to be the
# bottleneck.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: bench/rest_pipeline.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-1800}
latency=${BENCH_LATENCY:-0.3 0.03}
bin=$build/bin

# Wine's view of a Unix path.
to_windows() { echo "Z:${1//\//\\}"; }

cmake --build "$build" --target rest_pipeline_bench >/dev/null
python3 "$root/tests/media/make_speech.py" --duration "$seconds" --seed 11 \
  --out "$bin/bench_speech.wav" --text-out "$bin/bench_speech.txt" >/dev/null

python3 "$root/bench/standin_rate.py" --workers 0 --workers "$(python3 -c 'import os; print(min(10, os.cpu_count()))')"

"$root/scripts/service" start speechservice "$bin" python3 "$root/standins/speechservice/speechservice.py"
trap '"$root/scripts/service" stop speechservice "$bin"' EXIT

status=0
for model in "0 0" "$latency"; do
  for tick in 1000 50; do
    echo "== ${seconds} s recording, tick ${tick} ms, stand-in latency ${model% *} s + ${model#* } s per audio second"
    (cd "$bin" && "$build/wine-run" "$bin/rest_pipeline_bench.exe" \
       "$(to_windows "$bin/bench_speech.wav")" "$seconds" "$(to_windows "$bin/bench_speech.txt")" "$tick" $model) \
      || status=1
  done
done
exit $status
