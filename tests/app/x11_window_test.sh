#!/usr/bin/env bash
# The real player under a virtual X server with a window manager: the outer size and place
# include the frame that the manager draws, and Esc, Alt+F4 (the manager's close) and the
# exit button each end the process with status 0. Every wait has a limit.
#   x11_window_test.sh <path of the tunaro executable>
set -uo pipefail
player_bin=$1
for tool in Xvfb openbox xdotool xwininfo xprop xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

display=""
for n in $(seq 161 230); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display"; exit 1; }
export DISPLAY=$display SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

xvfb_pid="" wm_pid="" player_pid=""
cleanup() {
  for p in $player_pid $wm_pid $xvfb_pid; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

start_player() {
  "$player_bin" >/dev/null 2>&1 &
  player_pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tunaro$' 2>/dev/null | head -n1)
  [ -n "$window" ] || { fail "the window did not appear"; return 1; }
}

# The frame's outer rectangle: the client's place and size widened by _NET_FRAME_EXTENTS.
outer_geometry() {
  local x y w h l r t b
  x=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
  y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
  w=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
  h=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
  read -r l r t b < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  echo "$((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))"
}

expect_exit_zero() {
  local what=$1 status=""
  for _ in $(seq 100); do
    kill -0 "$player_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$player_pid" 2>/dev/null; then
    fail "$what: still running after 10 s"
    kill "$player_pid"
  fi
  wait "$player_pid"
  status=$?
  player_pid=""
  [ "$status" -eq 0 ] || fail "$what: exit status $status"
}

expected="$(((1024 - 322) / 2)) $(((768 - 501) / 2)) 322 501"
if start_player; then
  got=""
  for _ in $(seq 50); do
    got=$(outer_geometry)
    [ "$got" = "$expected" ] && break
    sleep 0.1
  done
  [ "$got" = "$expected" ] || fail "outer geometry '$got', expected '$expected'"
  xdotool windowfocus --sync "$window" key Escape
  expect_exit_zero "Esc"
fi

if start_player; then
  sleep 0.5
  xdotool windowactivate --sync "$window" key alt+F4 2>/dev/null
  expect_exit_zero "Alt+F4"
fi

if start_player; then
  sleep 0.5
  x=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
  y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
  # The exit button's centre: left 232 + 24, top 56 + 16 in the client area.
  xdotool mousemove --sync "$((x + 256))" "$((y + 72))" click 1
  expect_exit_zero "exit button"
fi

[ "$failures" -eq 0 ] && echo "passed"
exit "$failures"
