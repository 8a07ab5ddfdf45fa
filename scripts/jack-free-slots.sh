#!/usr/bin/env bash
# JACK keeps a table of eight running servers in shared memory. A server that ended
# without stopping (killed, or its machine's session torn down) keeps its row until a
# server of the same name starts again, so rows with made-up names pile up until no
# server can start ("Too many servers already active"). This starts each such name once
# and stops it cleanly, which is how JACK itself gives a row back. Rows of servers that
# still run are left alone.
#
# The table: a 24-byte head, then eight rows of a process id (4 bytes) and a name of
# 257 bytes, padded to 264: "jack-<uid>:<server>:".
set -u
registry=/dev/shm/jack-shm-registry
[ -r "$registry" ] || exit 0
for row in 0 1 2 3 4 5 6 7; do
  offset=$((24 + row * 264))
  pid=$(od -An -t d4 -j "$offset" -N 4 "$registry" | tr -d ' ')
  [ -n "$pid" ] && [ "$pid" -gt 0 ] || continue
  [ -d "/proc/$pid" ] && continue
  entry=$(od -An -c -j $((offset + 4)) -N 257 -w257 "$registry" | tr -d ' \n' | sed 's/\\0.*//')
  server=${entry#*:}
  server=${server%:}
  [ -n "$server" ] || continue
  JACK_NO_AUDIO_RESERVATION=1 jackd --no-realtime -n "$server" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
  jack=$!
  JACK_DEFAULT_SERVER=$server jack_wait -w -t 5 >/dev/null 2>&1
  kill "$jack" 2>/dev/null
  wait "$jack" 2>/dev/null
  echo "jack-free-slots: gave back the row of server \"$server\" (process $pid had ended)" >&2
done
exit 0
