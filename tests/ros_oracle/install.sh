#!/bin/sh
# Installs the oracle's two npm packages, exactly as package-lock.json pins
# them, into DIR/node_modules (default: this folder), with the machine's npm
# from the npm registry. decode.mjs finds them there through
# ROS_ORACLE_MODULES=DIR (or beside itself). No package runs install scripts.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-$here}
mkdir -p "$dir"
if [ "$dir" != "$here" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$dir/"
fi
cd "$dir"
exec npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
