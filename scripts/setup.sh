# Sourced by run.sh and test.sh: installs what is missing from Debian's packages and
# builds the program. Nothing is installed on a machine that has everything.

PW_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev librtmidi-dev libjpeg-dev libasound2-dev libjack-jackd2-dev
  fonts-dejavu-core
)
# The fuzz build: clang with libFuzzer and its sanitizer runtimes.
PW_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

pw_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  echo "${missing[@]}"
}

# pw_install_packages pkg... : installs the ones that are missing, as root directly,
# else through sudo; otherwise prints the line to run and fails.
pw_install_packages() {
  local missing
  missing=$(pw_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local cmd=(apt-get install -y --no-install-recommends $missing)
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: $missing"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    echo "Installing: $missing"
    sudo DEBIAN_FRONTEND=noninteractive apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
  else
    echo "These packages are missing. Install them as root, then run this again:" >&2
    echo "  apt-get update && ${cmd[*]}" >&2
    return 1
  fi
}

# pw_build <build dir> [cmake options...]
pw_build() {
  local dir=$1
  shift
  cmake -S "$PW_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir"
}
