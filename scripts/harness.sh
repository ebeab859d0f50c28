#!/usr/bin/env bash
# Runs a command inside the test harness: the build's own Wine prefix (created on first use),
# a persistent wineserver, a null ALSA playback device and a private Xvfb display.
# Usage: harness.sh BUILD_DIR COMMAND...   Set HURZ_USE_DISPLAY=1 to use the caller's $DISPLAY.
set -euo pipefail
build=$(cd "$1" && pwd); shift

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs; no PulseAudio, so audio goes through the ALSA set-up below.
export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d"
mkdir -p "$build/harness"

# A top-level ALSA configuration of our own whose default playback device is the null device;
# the user's ~/.asoundrc is left alone. HURZ_NO_AUDIO=1 gives a set-up with no device at all.
alsa="$build/harness/alsa-null.conf"
cat > "$alsa" <<'CONF'
</usr/share/alsa/alsa.conf>
pcm.!default { type null }
CONF
if [ "${HURZ_NO_AUDIO:-0}" = 1 ]; then
  alsa="$build/harness/alsa-none.conf"
  printf 'pcm.!default { type hw card 99 }\nctl.!default { type hw card 99 }\n' > "$alsa"
fi
export ALSA_CONFIG_PATH="$alsa"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ "${HURZ_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  fdfile="$build/harness/display"
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$fdfile" >"$build/harness/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  [ -s "$fdfile" ] || { echo "harness: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$fdfile")"
fi

export PATH="/usr/lib/wine:$PATH"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "harness: creating the Wine prefix $WINEPREFIX" >&2
  /usr/lib/wine/wine64 wineboot -i >"$build/harness/wineboot.log" 2>&1 || true
  wineserver -w
fi
# A persistent server makes each program start in a fraction of a second; its output goes to a
# file, since a daemon holding our stdout would keep the caller waiting.
wineserver -p >"$build/harness/wineserver.log" 2>&1 </dev/null
# Start Wine's own background processes (services, desktop) now, with their output in a file:
# started later by a test, they would inherit and hold that test's output pipes.
/usr/lib/wine/wine64 wineboot >"$build/harness/wineboot.log" 2>&1 </dev/null || true
# A crashing program must just end: Wine's default is to start its debugger, which waits forever
# for someone to attach and so hangs the run.
/usr/lib/wine/wine64 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
  >>"$build/harness/wineboot.log" 2>&1 </dev/null || true

"$@"
