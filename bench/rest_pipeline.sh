#!/usr/bin/env bash
# Recognises a generated 30-minute tone-speech recording end to end (real
# ffmpeg.exe, REST speech stand-in, no injected delay) and prints the wall
# time, the driver's peak working set and the time of one full ffmpeg.exe
# decode of the same file.
#   bench/rest_pipeline.sh BUILD_DIR [SECONDS]
# BUILD_DIR is an x86_64 build folder made by scripts/configure. Runs once
# with the main window's 1000 ms tick and once with a 50 ms tick, which shows
# what the pieces themselves cost.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: bench/rest_pipeline.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-1800}
bin=$build/bin

# Wine's view of a Unix path.
to_windows() { echo "Z:${1//\//\\}"; }

cmake --build "$build" --target rest_pipeline_bench >/dev/null
python3 "$root/tests/media/make_speech.py" --duration "$seconds" --seed 11 \
  --out "$bin/bench_speech.wav" --text-out "$bin/bench_speech.txt" >/dev/null

"$root/scripts/service" start speechservice "$bin" python3 "$root/standins/speechservice/speechservice.py"
trap '"$root/scripts/service" stop speechservice "$bin"' EXIT

for tick in 1000 50; do
  echo "== ${seconds} s recording, tick ${tick} ms"
  (cd "$bin" && "$build/wine-run" "$bin/rest_pipeline_bench.exe" \
     "$(to_windows "$bin/bench_speech.wav")" "$seconds" "$(to_windows "$bin/bench_speech.txt")" "$tick")
done
