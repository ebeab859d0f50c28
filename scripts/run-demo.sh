#!/usr/bin/env bash
# Starts the demo under Wine: on $DISPLAY when there is one, otherwise on a private Xvfb.
set -uo pipefail
top=$(cd "${1:-build}" && pwd)
if [ -n "${DISPLAY:-}" ]; then export HURZ_USE_DISPLAY=1; fi
export HURZ_RUN_BIN="$top/bin" HURZ_RUN_WINE="$top/x86_64/wine-run"
"$(dirname "$0")/harness.sh" "$top/x86_64" bash -c \
  'cd "$HURZ_RUN_BIN" && "$HURZ_RUN_WINE" ./hurz.exe; echo "hurz.exe exited with code $?"'
