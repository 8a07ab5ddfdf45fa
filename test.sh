#!/usr/bin/env bash
# Sets up this machine (installs what is missing, builds) and runs the whole test suite,
# four times over:
#   plain  the suite as shipped (RelWithDebInfo)
#   asan   the suite again under AddressSanitizer+UBSan, leak detection on
#   tsan   the ring, callback and input-feed tests under ThreadSanitizer
#   fuzz   every libFuzzer target for a few seconds (clang)
# Any failure or sanitizer report fails the run.
#   ./test.sh                  all four
#   ./test.sh --only NAME      one of them (plain, asan, tsan, fuzz); may be repeated
#   ./test.sh --fuzz SECONDS   run each fuzz target that long instead of the smoke run
# --sanitize is accepted for old scripts: the sanitizer builds always run now.
set -euo pipefail
PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$PW_ROOT/scripts/setup.sh"

fuzz_seconds=5
only=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) ;;
    --fuzz) fuzz_seconds=${2:?--fuzz needs a number of seconds}; shift ;;
    --only) only+=("${2:?--only needs plain, asan, tsan or fuzz}"); shift ;;
    *) echo "test.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
wanted() {
  [ ${#only[@]} -eq 0 ] && return 0
  local o
  for o in "${only[@]}"; do [ "$o" = "$1" ] && return 0; done
  return 1
}

# Beyond the build: a JACK server for the MIDI tests, and a synth with a small General MIDI
# font to play on it; the desktop's own checkers and the Debian packaging tools for the
# install tests; a virtual display with a window manager; ccache, so that the four trees
# share their objects and a machine's later runs rebuild little.
packages=("${PW_PACKAGES[@]}" ccache jackd2 fluidsynth timgm6mb-soundfont desktop-file-utils appstream dpkg-dev lintian file xvfb xauth openbox x11-utils)
wanted fuzz && packages+=("${PW_FUZZ_PACKAGES[@]}")
pw_install_packages "${packages[@]}"
# Four trees share most objects: ccache makes the later runs cheap.
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Another clone of the project on the same machine finds these objects too: paths are taken
# relative to the clone, and the build folder is left out of the key of debug builds.
export CCACHE_BASEDIR="$PW_ROOT" CCACHE_NOHASHDIR=1

# A JACK server of this run's own, with the dummy driver: a real MIDI system that needs
# no sound hardware. Stopped by its process id however the tests end.
export JACK_NO_AUDIO_RESERVATION=1
export JACK_DEFAULT_SERVER="pw-test-$$"
export PW_JACK_REQUIRED=1
export PW_REQUIRE_FLUIDSYNTH=1
# The full-disk tests mount a small tmpfs; here that must work, not be skipped.
export PW_REQUIRE_TMPFS=1
"$PW_ROOT/scripts/jack-free-slots.sh"
jack_log=$(mktemp)
jackd --no-realtime -t 5000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$jack_log" 2>&1 &
jack_pid=$!
cleanup() {
  # A server wedged by a client that died mid-cycle ignores SIGTERM: give it ten seconds,
  # then end it for good, so that the run itself never hangs.
  kill "$jack_pid" 2>/dev/null || true
  for _ in $(seq 1 100); do
    kill -0 "$jack_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$jack_pid" 2>/dev/null || true
  wait "$jack_pid" 2>/dev/null || true
  rm -f "$jack_log"
}
trap cleanup EXIT
if ! jack_wait -w -t 20 >/dev/null 2>&1; then
  echo "test.sh: the JACK server did not start:" >&2
  cat "$jack_log" >&2
  exit 1
fi

run_suite() {
  local dir=$1
  shift
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@"
}

status=0
summary=()
stage() { # stage NAME COMMAND...: runs one build's tests, times it, notes the outcome
  local name=$1 start=$SECONDS
  shift
  if "$@"; then
    summary+=("$name: passed in $((SECONDS - start)) s")
  else
    summary+=("$name: FAILED after $((SECONDS - start)) s")
    status=1
  fi
}

# Every sanitizer report ends the test process with an error, so ctest counts it as failed.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PW_ROOT/tests/lsan.supp:print_suppressions=0"

tsan_stage() {
  local dir="$PW_ROOT/build-tsan"
  # Only the code that threads touch: a sanitised build of everything would double the
  # run for no gain. The JACK tests with a peer client in the test's own process stay
  # out: libjack hands a port buffer from one client's process thread to the next through
  # its own futexes in shared memory, which the sanitizer, with libjack uninstrumented,
  # cannot see, so it reports the two threads as racing. The sustained flood has its only
  # peer in another process and runs the whole program's threads under the sanitizer.
  cmake -S "$PW_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DPW_BUILD_TESTS=ON -DPW_SANITIZE=thread >/dev/null &&
    cmake --build "$dir" --target tst_midiring tst_midiconcurrency tst_midiinput tst_jackstream jack_flood &&
    # die_after_fork=0: tests that start a helper through QProcess, whose child runs exec
    # at once and so never meets the forked copy of another thread's state.
    TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$PW_ROOT/tests/midi/tsan.supp" \
      run_suite "$dir" -R '^tst_midi(ring|concurrency|input)$' &&
    TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$PW_ROOT/tests/midi/tsan.supp" \
      PW_FLOOD_SECONDS=3 QT_QPA_PLATFORM=offscreen "$dir/tests/app/tst_jackstream" sustainedFlood
}

asan_stage() {
  pw_build "$PW_ROOT/build-asan" -DPW_BUILD_TESTS=ON -DPW_SANITIZE=address "${launcher[@]}" &&
    # The sustained flood runs three seconds instead of ten: the sanitizer slows the
    # program several times over, and the figures that matter come from the plain build.
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0" PW_FLOOD_SECONDS=3 \
      run_suite "$PW_ROOT/build-asan"
}

fuzz_stage() {
  local dir="$PW_ROOT/build-fuzz"
  cmake -S "$PW_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPW_BUILD_TESTS=OFF -DPW_FUZZ=ON >/dev/null &&
    cmake --build "$dir" --target pw_fuzz_targets &&
    "$PW_ROOT/scripts/fuzz.sh" "$dir" "$fuzz_seconds"
}

plain_stage() {
  pw_build "$PW_ROOT/build" -DPW_BUILD_TESTS=ON "${launcher[@]}" && run_suite "$PW_ROOT/build"
}

wanted tsan && stage tsan tsan_stage
wanted asan && stage asan asan_stage
wanted fuzz && stage fuzz fuzz_stage
# The plain suite last, so that its summary sits just above this run's.
wanted plain && stage plain plain_stage

printf '%s\n' "${summary[@]}"
# A late cycle can lose or repeat events between clients: a failure is read with this beside it.
echo "test.sh: the JACK server reported $(grep -ci xrun "$jack_log") late cycles"
echo "test.sh: $SECONDS s in all"
exit $status
