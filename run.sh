#!/usr/bin/env bash
# Sets up this machine (installs what is missing, builds) and starts Patchwarden.
# Every argument is passed on to the program: ./run.sh --help lists them.
set -euo pipefail
PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$PW_ROOT/scripts/setup.sh"

pw_install_packages "${PW_PACKAGES[@]}"
pw_build "$PW_ROOT/build" -DPW_BUILD_TESTS=OFF
exec "$PW_ROOT/build/src/app/patchwarden" "$@"
