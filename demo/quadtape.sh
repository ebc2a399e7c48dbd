#!/usr/bin/env bash
# quadtape demo: records the four simulated microphones for a few seconds,
# stops with SIGINT, and plots the first second of each WAV file to a PNG.
#   demo/quadtape.sh BUILD OUT
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
build="$1"
out="$2"
record_seconds=3

cd "$out"
"$build/tools/quadtape" >terminal.txt 2>&1 &
pid=$!
sleep "$record_seconds"
kill -INT "$pid"
status=0
wait "$pid" || status=$?

# The plot: one trace a file, 1000 columns for the first 16000 samples, each
# column drawn from the minimum to the maximum of its 16 samples.
/usr/bin/python3 - channel1.wav channel2.wav channel3.wav channel4.wav <<'PY'
import struct, sys, zlib

W, ROW, SAMPLES = 1000, 150, 16000
H = ROW * 4
pixels = bytearray(b"\x18\x18\x18" * (W * H))
colours = [(255, 200, 60), (90, 200, 255), (120, 255, 120), (255, 120, 200)]

def put(x, y, c):
    pixels[3 * (y * W + x):3 * (y * W + x) + 3] = bytes(c)

for ch, path in enumerate(sys.argv[1:]):
    data = open(path, "rb").read()[44:44 + 4 * SAMPLES]
    samples = struct.unpack("<%di" % (len(data) // 4), data)
    mid, half = ch * ROW + ROW // 2, ROW // 2 - 4
    for x in range(W):
        put(x, mid, (70, 70, 70))
    per = SAMPLES // W
    for x in range(min(W, len(samples) // per)):
        part = samples[x * per:(x + 1) * per]
        lo = mid - round(max(part) / 2147483647 * half)
        hi = mid - round(min(part) / 2147483647 * half)
        for y in range(lo, hi + 1):
            put(x, y, colours[ch])

def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", zlib.crc32(kind + body)))

rows = b"".join(b"\x00" + bytes(pixels[3 * W * y:3 * W * (y + 1)]) for y in range(H))
png = (b"\x89PNG\r\n\x1a\n"
       + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
open("first_second.png", "wb").write(png)
PY

{
  echo "Recorded ${record_seconds} s of the four simulated microphones (16 kHz, realtime), then"
  echo "SIGINT; status ${status}. File sizes in bytes:"
  echo
  echo '```'
  for f in channel*.wav; do printf '%-14s %s\n' "$f" "$(stat -c %s "$f")"; done
  echo '```'
  echo
  echo "The first second of channel 1 to 4, top to bottom (full scale = half a row):"
  echo
  echo "![first second](first_second.png)"
  echo
  echo "Terminal output (first and last lines):"
  echo
  echo '```'
  head -n 3 terminal.txt
  echo '...'
  tail -n 3 terminal.txt
  echo '```'
} >summary.md
exit "$status"
