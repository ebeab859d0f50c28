#!/usr/bin/env bash
# A short guided tour of the demo on the current X display, as a user would take it: start
# hurz.exe, hold the space bar and sweep the pointer across the flock, let go, and press Escape.
# Screenshots of the window's client area and an animated GIF of the sweep land in the output
# folder. Usage: tour.sh BIN_DIR WINE_RUN OUT_DIR
set -uo pipefail
bin=$1 wine_run=$2 out=$3
mkdir -p "$out"
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

cd "$bin"
"$wine_run" ./hurz.exe &
demo=$!

window=""
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^hurz$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "tour: the demo's window did not appear" >&2
  wait "$demo"
  echo "hurz.exe exited with code $?"
  exit 1
fi
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT of the client area

shot() { import -window "$window" "$1" 2>/dev/null; }
# Whether a picture shows the white "Cols=" count at the bottom left.
shows_count() {
  local mean
  mean=$(convert "$1" -crop 120x20+0+580 +repage -fill black -fuzz 2% +opaque white -format '%[fx:mean]' info: 2>/dev/null)
  [ -n "$mean" ] && [ "$mean" != 0 ]
}

xdotool mousemove $((X + 400)) $((Y + 300))
sleep 0.5
shot "$out/shot-start.png"

# Hold the space bar and sweep the pointer in a zigzag over the screen.
xdotool mousemove $((X + 60)) $((Y + 80))
sleep 0.2
xdotool keydown space
n=0
held=""
pass=0
for row in 80 250 420 540; do
  pass=$((pass + 1))
  for step in $(seq 0 11); do
    if [ $((pass % 2)) = 1 ]; then px=$((60 + step * 60)); else px=$((720 - step * 60)); fi
    xdotool mousemove $((X + px)) $((Y + row))
    sleep 0.05
    frame=$(printf '%s/frame-%03d.png' "$frames" "$n")
    shot "$frame"
    if [ -z "$held" ] && shows_count "$frame"; then held=$frame; fi
    n=$((n + 1))
  done
done
[ -n "$held" ] || held=$(printf '%s/frame-%03d.png' "$frames" $((n / 2)))
cp "$held" "$out/shot-held.png"
xdotool keyup space
xdotool mousemove $((X + 400)) $((Y + 300))
sleep 0.4
shot "$out/shot-released.png"
convert -delay 10 -loop 0 "$frames"/frame-*.png -layers Optimize "$out/tour.gif" 2>/dev/null

xdotool keydown Escape
sleep 0.3
xdotool keyup Escape
wait "$demo"
code=$?
echo "hurz.exe exited with code $code"
echo "pictures of the tour: $out/shot-start.png, $out/shot-held.png, $out/shot-released.png, $out/tour.gif"
exit $code
