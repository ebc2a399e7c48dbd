#!/usr/bin/env bash
# quadtape demo: records the four simulated microphones for a few seconds,
# stops with SIGINT, and plots the first second of each WAV file to a PNG.
#   demo/quadtape.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
record_seconds=3

cd "$out"
"$build/tools/quadtape" >terminal.txt 2>&1 &
pid=$!
sleep "$record_seconds"
kill -INT "$pid"
status=0
wait "$pid" || status=$?

# Two plots, one trace a file over 1000 columns: the first second (16 samples
# a column) and its first 40 ms (640 samples), each column drawn from the
# minimum to the maximum of its samples and of the last sample before them.
/usr/bin/python3 - <<'PY'
import struct, zlib

W, ROW = 1000, 150
H = ROW * 4
colours = [(255, 200, 60), (90, 200, 255), (120, 255, 120), (255, 120, 200)]
channels = []
for ch in range(4):
    data = open("channel%d.wav" % (ch + 1), "rb").read()[44:]
    channels.append(struct.unpack("<%di" % (len(data) // 4), data[:len(data) // 4 * 4]))

def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", zlib.crc32(kind + body)))

def plot(count, path):
    pixels = bytearray(b"\x18\x18\x18" * (W * H))
    def put(x, y, c):
        pixels[3 * (y * W + x):3 * (y * W + x) + 3] = bytes(c)
    for ch, samples in enumerate(channels):
        mid, half = ch * ROW + ROW // 2, ROW // 2 - 4
        for x in range(W):
            put(x, mid, (70, 70, 70))
        for x in range(W):
            first, end = x * count // W, max((x + 1) * count // W, x * count // W + 1)
            part = samples[max(first - 1, 0):end]
            if end > len(samples) or not part:
                break
            lo = mid - round(max(part) / 2147483647 * half)
            hi = mid - round(min(part) / 2147483647 * half)
            for y in range(lo, hi + 1):
                put(x, y, colours[ch])
    rows = b"".join(b"\x00" + bytes(pixels[3 * W * y:3 * W * (y + 1)]) for y in range(H))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    open(path, "wb").write(png)

plot(16000, "first_second.png")
plot(640, "first_40ms.png")
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
  echo "The first 40 ms (640 samples) of the same:"
  echo
  echo "![first 40 ms](first_40ms.png)"
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
