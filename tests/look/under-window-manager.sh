#!/usr/bin/env bash
# Runs a test program on a virtual X display with a window manager, where a window is
# mapped only after the manager has placed it (what offscreen never shows).
#   under-window-manager.sh PROGRAM [TEST FUNCTION...]
set -euo pipefail
if [ -z "${PW_UNDER_WM:-}" ]; then
  PW_UNDER_WM=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true; wait "$wm" 2>/dev/null || true' EXIT
# The manager has taken the screen once it has set its check window on the root.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@"
