#!/usr/bin/env bash
# Sets up this machine (installs what is missing, builds) and runs the whole test suite.
#   ./test.sh             build and run every test (JACK tests against a private server)
#   ./test.sh --sanitize  also build and run the suite under AddressSanitizer+UBSan
set -euo pipefail
PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$PW_ROOT/scripts/setup.sh"

sanitize=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

# Beyond the build: a JACK server for the MIDI tests; the desktop's own checkers and the
# Debian packaging tools for the install tests; a virtual display with a window manager.
pw_install_packages "${PW_PACKAGES[@]}" jackd2 desktop-file-utils appstream dpkg-dev file \
  xvfb xauth openbox x11-utils
pw_build "$PW_ROOT/build" -DPW_BUILD_TESTS=ON

# A JACK server of this run's own, with the dummy driver: a real MIDI system that needs
# no sound hardware. Stopped by its process id however the tests end.
export JACK_NO_AUDIO_RESERVATION=1
export JACK_DEFAULT_SERVER="pw-test-$$"
export PW_JACK_REQUIRED=1
# The full-disk tests mount a small tmpfs; here that must work, not be skipped.
export PW_REQUIRE_TMPFS=1
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
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure --timeout 600
}

status=0

# The input ring and the driver-thread callback under ThreadSanitizer. Only those tests are
# built there: a sanitised build of everything would double the run for no gain.
tsan_dir="$PW_ROOT/build-tsan"
cmake -S "$PW_ROOT" -B "$tsan_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPW_BUILD_TESTS=ON -DPW_SANITIZE=thread >/dev/null
cmake --build "$tsan_dir" --target tst_midiring tst_midiconcurrency
TSAN_OPTIONS="halt_on_error=1 suppressions=$PW_ROOT/tests/midi/tsan.supp" \
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$tsan_dir" -R '^tst_midi(ring|concurrency)$' \
  --output-on-failure --timeout 600 || status=1

if [ "$sanitize" -eq 1 ]; then
  pw_build "$PW_ROOT/build-asan" -DPW_BUILD_TESTS=ON -DPW_SANITIZE=address
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    run_suite "$PW_ROOT/build-asan" || status=1
fi

# The whole suite last, so that its summary closes the output.
run_suite "$PW_ROOT/build" || status=1
exit $status
