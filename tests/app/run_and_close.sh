#!/bin/sh
# Runs inside an X server (xvfb-run): run_and_close.sh SECONDS COMMAND [ARG...] starts the command
# (the program, or a launcher that executes it in its own place, such as setpriv or env), waits up
# to SECONDS for its window " Quadrix v1.11", then sends SIGTERM, which the program handles as a
# window close. Prints how long the program took to end after the signal and exits with the
# program's exit code (97 when no window came, 137 when it had to be killed).
limit=$(( ${1:-30} * 10 ))
shift
# On a loaded machine the X server may not answer yet when this starts: wait for it (up to 10 s).
tries=0
until xwininfo -root >/dev/null 2>&1 || [ "$tries" -ge 100 ]; do
  tries=$((tries + 1))
  sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@" &
pid=$!
tries=0
while ! xwininfo -root -tree 2>/dev/null | grep -q '" Quadrix v1.11"'; do
  tries=$((tries + 1))
  if [ "$tries" -ge "$limit" ] || ! kill -0 "$pid" 2>/dev/null; then
    echo "no window" >&2
    kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    exit 97
  fi
  sleep 0.1
done
echo "window shown"
start=$(date +%s%N)
kill -TERM "$pid"
# A program held up by something (a message box) is killed after 10 s rather than left behind.
( sleep 10; kill -KILL "$pid" 2>/dev/null && echo "still running 10 s after SIGTERM: killed" ) &
watchdog=$!
wait "$pid"
rc=$?
echo "ended after $(( ($(date +%s%N) - start) / 1000000 )) ms"
kill "$watchdog" 2>/dev/null
exit $rc
