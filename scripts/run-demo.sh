#!/usr/bin/env bash
# Starts the demo under Wine: on $DISPLAY when there is one; otherwise on a private Xvfb, where a
# short guided tour drives it and saves pictures of it under out/ (or $HURZ_OUT).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "${1:-build}" && pwd)
bin="$top/bin" wine_run="$top/x86_64/wine-run"
if [ -n "${DISPLAY:-}" ]; then
  export HURZ_USE_DISPLAY=1
  "$here/harness.sh" "$top/x86_64" bash -c 'cd "$1" && "$2" ./hurz.exe; echo "hurz.exe exited with code $?"' \
    run "$bin" "$wine_run"
else
  out=${HURZ_OUT:-$(pwd)/out}
  echo "no display: running a guided tour of the demo on a private X display"
  "$here/harness.sh" "$top/x86_64" "$here/tour.sh" "$bin" "$wine_run" "$out"
fi
