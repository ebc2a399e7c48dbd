#!/bin/sh
# private_net.sh COMMAND [ARGS...]
# Runs COMMAND in a private network namespace with only the loopback up (with
# multicast on, as a real network's interfaces have it, so that DDS discovery
# works as it does there) and with its own /dev/shm, with
# ROS_LOCALHOST_ONLY=1: DDS traffic then never
# leaves the machine, and participants of tests running side by side never
# meet (shared-memory discovery goes through /dev/shm). Needs root. When the
# namespace cannot be made, it says why and fails; it never runs COMMAND
# outside one.
set -e
if [ "$1" != "--inside" ]; then
  exec unshare --net --mount --propagation private "$0" --inside "$@"
fi
shift
fail() {
  echo "private_net: $*" >&2
  exit 1
}
ip link set lo up multicast on ||
  fail "cannot bring up the loopback with multicast in the private network namespace"
mount -t tmpfs -o size=512m,mode=1777 private_shm /dev/shm || fail "cannot mount a private /dev/shm"
export ROS_LOCALHOST_ONLY=1
exec "$@"
