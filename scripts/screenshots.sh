#!/usr/bin/env bash
# Writes a picture of the main window and of the MIDI mixer under each of the 14 skins
# into screenshots/ (or the folder given), on a virtual X display, so the skins can be
# checked by eye on a machine without a screen.
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

pw_install_packages "${PW_PACKAGES[@]}" xvfb xauth

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
trap 'rm -rf "$scratch"' EXIT
XDG_CONFIG_HOME="$scratch/config" \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$program" --midi-api virtual --data-dir "$scratch/data" --skin-screenshots "$out"

count=$(find "$out" -maxdepth 1 -name '*-main.png' | wc -l)
echo "$count main-window pictures and $(find "$out" -maxdepth 1 -name '*-mixer.png' | wc -l) mixer pictures in $out"
[ "$count" -eq 14 ]
