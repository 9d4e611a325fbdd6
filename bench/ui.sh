#!/usr/bin/env bash
# Measures the main window while it works (bench/UiBench.cpp): start to first
# paint, adding 100 files, a full repaint with 100 rows at 1280x800, the
# longest time the UI thread is away from its message loop while pieces run,
# and the start-all click with 20 recordings of 200 MB each.
#   bench/ui.sh BUILD_DIR [RUNS]
# BUILD_DIR is an x86_64 build folder made by scripts/configure; each figure
# is the median of RUNS runs (default 5). The windows are drawn on the X
# display UI_BENCH_DISPLAY (default :18; an Xvfb 1280x800 is started there
# when none runs), in a Wine prefix of the bench's own: a copy of the tests'
# prefix whose graphics driver draws to X (the tests' has none). The large
# recordings (UI_BENCH_BIG_FILES of UI_BENCH_BIG_MB, default 20 of 200; 0
# files leaves the figure out) are written to BUILD_DIR/bench-big and deleted
# when the bench ends; they need that room twice over (their Temp copies).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: bench/ui.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
display=${UI_BENCH_DISPLAY:-:18}
bin=$build/bin
prefix=$build/wineprefix-uibench

to_windows() { echo "Z:${1//\//\\}"; }

cmake --build "$build" --target ui_bench Vantorin >/dev/null
python3 "$root/tests/media/make_speech.py" --duration 60 --seed 5 --out "$bin/bench_ui_speech.wav" >/dev/null

big=$build/bench-big
big_files=${UI_BENCH_BIG_FILES:-20}
big_mb=${UI_BENCH_BIG_MB:-200}
rm -rf "$big"
mkdir -p "$big"
# 16 kHz mono 16-bit WAV files of the given size, tone speech over and over,
# so that every byte is really written and read.
python3 - "$bin/bench_ui_speech.wav" "$big" "$big_files" "$big_mb" <<'PY'
import struct, sys
speech, folder, count, mb = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
with open(speech, "rb") as f:
    samples = f.read()[44:]
data = mb * 1024 * 1024 - 44
header = b"RIFF" + struct.pack("<I", 36 + data) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 16000, 32000, 2, 16)
header += b"data" + struct.pack("<I", data)
for i in range(count):
    with open("%s/big%d.wav" % (folder, i), "wb") as out:
        out.write(header)
        left = data
        while left > 0:
            block = samples[:left]
            out.write(block)
            left -= len(block)
PY

xvfb=
if ! [ -e "/tmp/.X11-unix/X${display#:}" ]; then
  Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
fi
export DISPLAY=$display WINEPREFIX=$prefix USER=张伟 LOGNAME=张伟
if ! [ -d "$prefix" ]; then
  cp -a "$build/wineprefix" "$prefix"
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
fi

"$root/scripts/service" start speechservice "$bin" python3 "$root/standins/speechservice/speechservice.py"
cleanup() {
  "$root/scripts/service" stop speechservice "$bin"
  wineserver -k 2>/dev/null || true
  rm -rf "$big"
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT
# wine-run names the tests' prefix; this bench runs in its own.
sed "s|^export WINEPREFIX=.*|export WINEPREFIX=\"$prefix\"|" "$build/wine-run" >"$build/wine-run-uibench"
chmod +x "$build/wine-run-uibench"
# The window base reads a skin folder relative to the program's own.
skins=$(realpath --relative-to="$bin" "$root/DlgRes")
(cd "$bin" && "$build/wine-run-uibench" "$bin/ui_bench.exe" "$(to_windows "$bin/bench_ui_speech.wav")" \
   "${skins//\//\\}\\" "$runs" "$(to_windows "$big")")
