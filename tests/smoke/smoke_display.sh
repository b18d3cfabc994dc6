#!/usr/bin/env bash
# Starts the built pcxconv on a real X display (its own Xvfb) with a fresh configuration, checks
# the main window's caption, position and size, moves it, leaves through the exit button and checks
# the settings file that the exit wrote; then starts it again on a file with the automatic save on;
# then on a damaged file, and ends it by a signal while it shows the error box; last, kills the X
# server under it, and checks that it still saved its settings and removed its private temporary
# directory.
# Usage: smoke_display.sh PCXCONV
set -euo pipefail

pcxconv=$1
readonly kCaption="Korvale PCX Converter"
readonly kClientWidth=506 kClientHeight=307
readonly kExitButtonX=233 kExitButtonY=13   # centre of ToolButton14 in the client area
readonly kMovedLeft=120 kMovedTop=80
readonly kWaitSeconds=20

work=$(mktemp -d "${TMPDIR:-/tmp}/pcxconv-smoke.XXXXXX")
xvfb_pid="" app_pid=""
cleanup() {
  if [[ -n $app_pid ]]; then kill "$app_pid" 2>/dev/null || true; fi
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/xvfb.log "$work"/pcxconv.log; do
    [[ -s $log ]] && { echo "--- ${log##*/}:" >&2; cat "$log" >&2; }
  done
  exit 1
}

for tool in Xvfb xauth xdotool xwininfo mcookie; do
  command -v "$tool" >/dev/null ||
    fail "$tool is missing (install the packages of scripts/packages-test.txt)"
done
[[ -x $pcxconv ]] || fail "$pcxconv is not an executable"

# A display of our own, guarded by a cookie, so no other client can reach it and we reach no other;
# -noreset, or the server resets when the readiness probe disconnects and refuses the program.
export XAUTHORITY="$work/Xauthority"
: >"$XAUTHORITY"
start_xvfb() {
  local n
  for ((n = 60 + $$ % 100, tries = 0; tries < 40; n++, tries++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    xauth -q add ":$n" MIT-MAGIC-COOKIE-1 "$(mcookie)"
    Xvfb ":$n" -nolisten tcp -noreset -auth "$XAUTHORITY" -screen 0 1024x768x24 >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for ((i = 0; i < 50; i++)); do
      if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        break   # lost the race for this number, try the next
      fi
      if DISPLAY=":$n" xwininfo -root >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.2
    done
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  return 1
}
start_xvfb || fail "could not start Xvfb on any free display"

# A first run: no settings yet, and a small home directory to list.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
settings="$XDG_CONFIG_HOME/Tavik PCX Converter.ini"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# Waits up to kWaitSeconds for the command to succeed, or fails saying that $1 did not happen.
wait_until() {
  local what=$1
  shift
  for ((i = 0; i < kWaitSeconds * 5; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  fail "$what"
}

# Starts pcxconv with the given arguments and waits for its main window.
start_window() {
  "$pcxconv" "$@" >"$work/pcxconv.log" 2>&1 &
  app_pid=$!
  window=""
  for ((i = 0; i < kWaitSeconds * 5; i++)); do
    kill -0 "$app_pid" 2>/dev/null || fail "pcxconv ended before it showed its window"
    window=$(xdotool search --onlyvisible --name "^$kCaption\$" 2>/dev/null | head -n 1) || true
    [[ -n $window ]] && return 0
    sleep 0.2
  done
  fail "no visible window named \"$kCaption\" within $kWaitSeconds s"
}

# Waits for a clean end after what $1 says.
wait_for_end() {
  local status=""
  for ((i = 0; i < kWaitSeconds * 5; i++)); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid" && status=0 || status=$?
      break
    fi
    sleep 0.2
  done
  [[ -n $status ]] || fail "pcxconv still runs $kWaitSeconds s after $1"
  app_pid=""
  [[ $status == 0 ]] || fail "pcxconv ended with status $status after $1"
}

# Clicks the exit button and waits for a clean end.
exit_through_button() {
  xdotool mousemove --window "$window" "$kExitButtonX" "$kExitButtonY" sleep 0.2 click 1
  wait_for_end "the exit button was clicked"
}

start_window

geometry() {
  xwininfo -id "$window" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
         /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}
read -r x y width height < <(geometry)
[[ "$width x $height" == "$kClientWidth x $kClientHeight" ]] ||
  fail "client area is $width x $height, expected $kClientWidth x $kClientHeight"
# With no window manager the first run places the window at the default 0, 0.
[[ "$x,$y" == "0,0" ]] || fail "window at $x,$y on the first run, expected 0,0"

# Moves the window and waits until the program can have seen its new place.
window_at() { read -r x y _ < <(geometry) && [[ "$x,$y" == "$1,$2" ]]; }
move_window() {
  xdotool windowmove "$window" "$1" "$2"
  wait_until "window did not move to $1,$2" window_at "$1" "$2"
  sleep 0.5
}

# Move it, so the saved position shows that the exit wrote the settings.
move_window "$kMovedLeft" "$kMovedTop"

exit_through_button

[[ -f $settings ]] || fail "no settings file at $settings"
expected="Left=$kMovedLeft
Top=$kMovedTop
VLeft=550
VTop=0
WView=1
AutoSave=0
Dir=$HOME"
actual=$(grep -E '^(Left|Top|VLeft|VTop|WView|AutoSave|Dir)=' "$settings")
diff <(sort <<<"$expected") <(sort <<<"$actual") >&2 ||
  fail "settings file differs from the expected values (< expected, > written):
$(cat "$settings")"
echo "pcxconv showed \"$kCaption\" at $kClientWidth x $kClientHeight, left through ToolButton14" \
     "and saved its settings"

# Second run: `pcxconv DIR/x.pcx` with the automatic save on selects the file at start, so its BMP
# is written beside it, and the exit saves DIR as the directory, over the one saved before.
pictures="$work/pictures"
mkdir -p "$pictures"
# An 8-bit LOD PCX picture of 2 x 2: header (data size, width, height), rows, palette.
{ printf '\x04\0\0\0\x02\0\0\0\x02\0\0\0\x00\x01\x02\x03'; head -c 768 /dev/zero; } >"$pictures/x.pcx"
sed -i 's/^AutoSave=0$/AutoSave=1/' "$settings"
grep -qx 'AutoSave=1' "$settings" || fail "could not turn the automatic save on in $settings"
start_window "$pictures/x.pcx"
wait_until "pcxconv $pictures/x.pcx wrote no $pictures/x.bmp" test -s "$pictures/x.bmp"
[[ $(head -c 2 "$pictures/x.bmp") == BM ]] || fail "$pictures/x.bmp is no BMP file"
exit_through_button
grep -qxF "Dir=$pictures" "$settings" ||
  fail "the exit saved no Dir=$pictures:
$(cat "$settings")"
echo "pcxconv $pictures/x.pcx wrote x.bmp at start and saved its directory at exit"

# A termination signal while the start shows an error box (an 8-bit picture cut short) ends the run,
# not the box alone: the main event loop does not run yet.
{ printf '\x04\0\0\0\x02\0\0\0\x02\0\0\0\x00\x01'; } >"$pictures/short.pcx"
start_window "$pictures/short.pcx"
wait_until "pcxconv $pictures/short.pcx showed no error box" \
  xdotool search --onlyvisible --name "^${pcxconv##*/}\$"
kill -TERM "$app_pid"
wait_for_end "SIGTERM came during the error box of the start"
echo "pcxconv ended on SIGTERM while the start showed its error box"

# Last run: the display goes away under the program, as at a logout. With no runtime directory of
# its own, the picture lives in a private directory under TMPDIR, which must go too.
export TMPDIR="$work/tmp"
mkdir "$TMPDIR"
unset XDG_RUNTIME_DIR
start_window "$pictures/x.pcx"
wait_until "no temporary picture in $TMPDIR" compgen -G "$TMPDIR/pcxconv-*/temppic.bmp"
move_window 40 30
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=""
status=0
wait "$app_pid" || status=$?
app_pid=""
[[ $status == 1 ]] || fail "pcxconv ended with status $status when its display went away, expected 1"
[[ $(grep -E '^(Left|Top)=' "$settings" | sort | tr '\n' ' ') == "Left=40 Top=30 " ]] ||
  fail "the lost display saved no Left=40, Top=30:
$(cat "$settings")"
leftover=$(compgen -G "$TMPDIR/pcxconv-*" || true)
[[ -z $leftover ]] || fail "the lost display left $leftover behind"
echo "pcxconv saved its settings and removed $TMPDIR/pcxconv-* when its display went away"
