#!/usr/bin/env bash
# Starts the built pcxconv where it can have no window: a wrong command line is still a usage error
# (status 2), and a missing or unreachable display gets the program's own line and status 1, never
# Qt's abort.
# Usage: start_without_display.sh PCXCONV
set -uo pipefail

pcxconv=$1
# A display number that no X server holds.
for ((n = 90; n < 190; n++)); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
done
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

failures=0
# check ENV STATUS LINES LINE [ARG...]: run with `env ENV`; the exit status, the number of lines on
# standard error ("-" for any: Qt's own lines may come first), and the line that must be among them.
check() {
  local environment=$1 status=$2 lines=$3 line=$4
  shift 4
  local err actual
  # shellcheck disable=SC2086 # ENV is words for env
  err=$(env $environment "$pcxconv" "$@" 2>&1 >/dev/null)
  actual=$?
  if [[ $actual != "$status" ]] || ! grep -qxF -- "$line" <<<"$err" ||
     [[ $lines != - && $(wc -l <<<"$err") != "$lines" ]]; then
    echo "FAIL: env $environment pcxconv $*: status $actual, expected $status with \"$line\"" \
         "in $lines line(s); standard error:" >&2
    echo "$err" >&2
    failures=$((failures + 1))
  fi
}

none="-u DISPLAY"
unreachable="DISPLAY=:$n"
check "$none" 2 2 "pcxconv: unknown option '--bogus'" --bogus
check "$none" 2 2 "pcxconv: one FILE or DIR at most, 2 given" a b
check "$none" 1 1 "pcxconv: no display (DISPLAY is not set); to run it without one, start it under Xvfb: xvfb-run -a $pcxconv"
check "$unreachable" 2 2 "pcxconv: unknown option '--bogus'" --bogus
check "$unreachable" 1 1 "pcxconv: cannot connect to the X display ':$n'" /
check "$none QT_QPA_PLATFORM=nowhere" 1 - "pcxconv: cannot open the display 'nowhere'"
((failures == 0)) || exit 1
echo "pcxconv without a display: usage errors exit 2, display errors exit 1 with its own message"
