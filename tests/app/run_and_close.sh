#!/bin/sh
# Runs inside an X server (xvfb-run): starts the program given as $1 with no arguments, waits up to
# $2 seconds for its window " Quadrix v1.11", then sends SIGTERM, which the program handles as a
# window close, and exits with the program's exit code (97 when no window came).
exe="$1"
limit=$(( ${2:-30} * 10 ))
QT_QPA_PLATFORM=xcb "$exe" &
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
kill -TERM "$pid"
wait "$pid"
exit $?
