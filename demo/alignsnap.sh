#!/usr/bin/env bash
# alignsnap demo: one run on the simulated Kinect, leaving the four dumps and
# PNG renderings of the colour frame and the three depth frames.
#   demo/alignsnap.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

cd "$out"
status=0
"$build/tools/alignsnap" >stdout.txt 2>stderr.txt || status=$?

convert registration_test_rgb.ppm rgb.png
# 16-bit depth spans only part of 0..65535: stretch each to full range so the
# picture is visible (no-reading pixels are 0 in mm, 2047 in raw depth).
for kind in raw registered mm; do
  convert "registration_test_depth_$kind.pgm" -auto-level "depth_$kind.png"
done

{
  echo "One run (status ${status}) wrote the four Netpbm dumps; sizes in bytes:"
  echo
  echo '```'
  for f in registration_test_*; do printf '%-40s %s\n' "$f" "$(stat -c %s "$f")"; done
  echo '```'
  echo
  echo "Standard output:"
  echo
  fence stdout.txt
  echo
  echo "Colour, and depth raw / registered / mm (each stretched to full contrast):"
  echo
  echo "![colour](rgb.png) ![raw depth](depth_raw.png)"
  echo "![registered depth](depth_registered.png) ![depth in mm](depth_mm.png)"
} >summary.md
exit "$status"
