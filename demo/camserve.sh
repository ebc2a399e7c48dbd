#!/usr/bin/env bash
# camserve demo: the Camera service on the simulated Kinect, called three
# times with camcall at three angles; the pictures, camcall's lines with
# their round trips, and the tilts the driver received. Then the node's
# topics as camtap receives them for 5 s: each topic's rate, the rgb and the
# registered depth pictures it saved (the depth coloured by pictures.py), a
# rendering of the cloud it saved, and the rgb camera info.
#   demo/camserve.sh BUILD OUT
# As root it runs in its own network namespace (tests/harness/private_net.sh);
# otherwise on this machine's loopback only (ROS_LOCALHOST_ONLY=1).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if ((EUID == 0)) && [[ "${KESTREL_DEMO_NETNS:-}" != 1 ]]; then
  KESTREL_DEMO_NETNS=1 exec "$here/../tests/harness/private_net.sh" "$0" "$@"
fi
source "$here/lib.sh"
export ROS_LOCALHOST_ONLY=1
angles=(-20 0 20)

cd "$out"
KSIM_TRACE=trace.txt "$build/service/camserve" >camserve_stdout.txt 2>camserve_stderr.txt &
server=$!
trap 'kill -INT $server 2>/dev/null || true' EXIT
for ((i = 0; i < 200; i++)); do
  grep -q '^Serving' camserve_stdout.txt && break
  sleep 0.1
done

status=0
for angle in "${angles[@]}"; do
  "$build/service/camcall" --angle "$angle" --out "angle_$angle.png" \
    >>camcall_stdout.txt 2>>camcall_stderr.txt || status=$?
done
"$build/service/camtap" --seconds 5 --save tap >camtap_stdout.txt 2>camtap_stderr.txt ||
  status=$?
python3 "$here/pictures.py" depth tap/depth_registered_image_raw.png depth_coloured.png || status=$?
python3 "$here/pictures.py" cloud tap/depth_registered_points.ply cloud.png || status=$?
kill -INT "$server"
wait "$server" || status=$?
trap - EXIT

{
  echo "camserve served the simulated Kinect (status ${status}); camcall asked for"
  echo "angles ${angles[*]}:"
  echo
  fence camserve_stdout.txt
  echo
  echo "camcall, one line per call (size, encoding, stamp, frame id, round trip):"
  echo
  fence camcall_stdout.txt
  echo
  echo "Tilts the driver received:"
  echo
  grep '^freenect_set_tilt_degs' trace.txt >tilts.txt || true
  fence tilts.txt
  echo
  for angle in "${angles[@]}"; do echo -n "![angle $angle](angle_$angle.png) "; done
  echo
  echo
  echo "The topics, as camtap took them for 5 s (messages, rate, bandwidth):"
  echo
  grep -E '^[a-z_/]+: ' camtap_stdout.txt >rates.txt || true
  fence rates.txt
  echo
  echo "rgb, registered depth (log scale: near red, far blue, no reading black) and the"
  echo "XYZRGB cloud seen from 25 degrees to the left:"
  echo
  echo "![rgb](tap/rgb_image_raw.png) ![registered depth](depth_coloured.png) ![cloud](cloud.png)"
  echo
  echo "The rgb camera info camtap saved (the calibrator's YAML):"
  echo
  fence tap/rgb_camera_info.yaml
  if [[ -s camcall_stderr.txt || -s camserve_stderr.txt || -s camtap_stderr.txt ]]; then
    echo
    echo "Standard error:"
    echo
    cat camserve_stderr.txt camcall_stderr.txt camtap_stderr.txt >stderr.txt
    fence stderr.txt
  fi
} >summary.md
exit "$status"
