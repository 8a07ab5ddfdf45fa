#!/usr/bin/env bash
# Writes a picture of the main window and of the MIDI mixer under each of the 14 skins
# into screenshots/ (or the folder given), and all of them on one page, on a virtual X
# display, so the skins can be checked by eye on a machine without a screen. The README's
# pictures in docs/ are taken from these.
#
# The program runs as a player would have it: on a JACK server of this script's own (dummy
# driver, no sound hardware), with a small sequencer playing into it as "Stage Keyboard"
# and a MIDI monitor as "Rack Synth", and the set list of docs/demo-set loaded.
#
#   scripts/screenshots.sh [OUT_DIR]
#
# Uses build/ (or $PW_BUILD_DIR) when it holds a built program, else builds it there first.
set -euo pipefail

PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export PW_ROOT
# shellcheck source=setup.sh
source "$PW_ROOT/scripts/setup.sh"

out=${1:-$PW_ROOT/screenshots}
build=${PW_BUILD_DIR:-$PW_ROOT/build}
program=$build/src/app/patchwarden

pw_install_packages "${PW_PACKAGES[@]}" xvfb xauth jackd2

if [ ! -x "$program" ]; then
  pw_build "$build"
else
  # Cheap when nothing changed; keeps the skins beside the program up to date.
  cmake --build "$build" --target patchwarden pw_skins
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
# A data folder of its own, so taking pictures never touches the user's set lists,
# and a settings folder of its own, so the stored skin choice is left alone.
scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

export JACK_NO_AUDIO_RESERVATION=1
export JACK_DEFAULT_SERVER="pw-shots-$$"
jackd --no-realtime -t 5000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$scratch/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 20 >/dev/null || { cat "$scratch/jackd.log" >&2; exit 1; }
# The clients go first in the list, so they are stopped before their server.
jack_midiseq "Stage Keyboard" 24000 0 60 8000 12000 63 8000 >/dev/null 2>&1 &
pids=($! "${pids[@]}")
jack_midi_dump "Rack Synth" >/dev/null 2>&1 &
pids=($! "${pids[@]}")
for port in "Stage Keyboard:out" "Rack Synth:input"; do
  for _ in $(seq 1 100); do
    jack_lsp | grep -qx "$port" && break
    sleep 0.1
  done
done

cp -r "$PW_ROOT/docs/demo-set" "$scratch/data"
XDG_CONFIG_HOME="$scratch/config" \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$program" --midi-api jack --data-dir "$scratch/data" --skin-screenshots "$out"
# The README's pictures.
cp "$out/skins.png" "$PW_ROOT/docs/skins.png"
cp "$out/songs-page.png" "$PW_ROOT/docs/songs-page.png"
cp "$out/mxskin11-main.png" "$PW_ROOT/docs/midi-setup.png"
cp "$out/mxskin20-mixer.png" "$PW_ROOT/docs/mixer.png"
cp "$out/performance-view.png" "$PW_ROOT/docs/performance-view.png"
cp "$out/skin-choice.png" "$PW_ROOT/docs/skin-choice.png"

count=$(find "$out" -maxdepth 1 -name '*-main.png' | wc -l)
echo "$count main-window pictures and $(find "$out" -maxdepth 1 -name '*-mixer.png' | wc -l) mixer pictures in $out"
[ "$count" -eq 14 ]
