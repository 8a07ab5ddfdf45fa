#!/usr/bin/env bash
# Measures the program against baselines in the same run and writes docs/PERFORMANCE.md.
#   ./bench.sh           the full run (3 rounds, 10 000 latency messages, 5 s streams, 300 recalls)
#   ./bench.sh --quick   every figure, briefly: a few minutes
# Release build in build-bench; a JACK dummy server of this run's own at 64 and 256 frames,
# stopped by its process id.
set -euo pipefail
PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$PW_ROOT/scripts/setup.sh"

for arg in "$@"; do
  case "$arg" in
    --quick) ;;
    *) echo "bench.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

pw_install_packages "${PW_PACKAGES[@]}" jackd2 libbenchmark-dev python3
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# As in test.sh: another clone on the machine finds these objects too.
export CCACHE_BASEDIR="$PW_ROOT" CCACHE_NOHASHDIR=1
cmake -S "$PW_ROOT" -B "$PW_ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPW_BUILD_TESTS=OFF \
  -DPW_BUILD_BENCH=ON "${launcher[@]}" >/dev/null
cmake --build "$PW_ROOT/build-bench" -j2 --target patchwarden bench_midiinput pw_probe pw_passthru \
  pw_rtforward pw_barewindow bench_songchange bench_guistall

"$PW_ROOT/scripts/jack-free-slots.sh"
exec python3 "$PW_ROOT/bench/run_bench.py" --build "$PW_ROOT/build-bench" "$@"
