#!/usr/bin/env bash
# Set-up, build and run on a fresh Debian 12 machine (as root, or with sudo available):
#   ./build.sh demo       install packages, build, run the demonstration test station
#   ./build.sh test       install packages, build, run the whole test suite (ctest)
#   ./build.sh sanitize   address+undefined build of the unit tests, thread sanitizer run of the logging tests
#   ./build.sh fuzz       each fuzz target under libFuzzer (clang) for TEVRA_FUZZ_SECONDS (15) seconds
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config git clang clang-format clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev
  libtirpc-dev rpcbind rpcsvc-proto
  python3 python3-pyvisa python3-pyvisa-py python3-pytest python3-numpy python3-scipy
  libnl-3-dev libnl-route-3-dev iproute2 util-linux
  qtbase5-dev libqcustomplot-dev libxcb1-dev xvfb xauth xdotool imagemagick
  libfftw3-dev libliquid-dev nlohmann-json3-dev ccache
)
JOBS=$(nproc 2>/dev/null || echo 2)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# configure_and_build DIR [--target TARGET] [CMAKE OPTIONS...]
configure_and_build() {
  local dir=$1
  shift
  local target=()
  if [ "${1:-}" = "--target" ]; then
    target=(--target "$2")
    shift 2
  fi
  # ccache makes rebuilds in several checkouts of the tree cheap; the build does not depend on it.
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -G Ninja -DTEVRA_WERROR=ON "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS" "${target[@]}"
}

run_demo() {
  install_packages
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  TEVRA_REGISTRY="${TEVRA_REGISTRY:-$PWD/build/registry/tevra.reg}" \
    ./build/examples/station/tevra-station ./build/tools/q7730-sim/q7730-sim /tmp/tevra-station.log.txt
}

run_tests() {
  install_packages
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 300
}

run_sanitizers() {
  install_packages
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTEVRA_SANITIZE=address,undefined -DTEVRA_BUILD_BENCH=OFF
  ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 600 -L 'unit|fuzz|integration'
  configure_and_build build-tsan --target tevra_unit_tests -DCMAKE_BUILD_TYPE=Debug -DTEVRA_SANITIZE=thread \
    -DTEVRA_BUILD_BENCH=OFF
  TSAN_OPTIONS="halt_on_error=1" ./build-tsan/tests/unit/tevra_unit_tests --gtest_filter='Log*'
}

# Each fuzz target under libFuzzer with the address and undefined sanitizers, for a bounded time on a copy of
# its seed corpus (the corpus in the tree stays as it is); a crash, leak or timeout fails the run.
run_fuzz() {
  install_packages
  CC=clang CXX=clang++ configure_and_build build-fuzz --target tevra_fuzz_targets -DCMAKE_BUILD_TYPE=Debug \
    -DTEVRA_FUZZ=ON -DTEVRA_BUILD_BENCH=OFF
  local seconds=${TEVRA_FUZZ_SECONDS:-15}
  for corpus in tests/fuzz/corpus/*/; do
    local name work
    name=$(basename "$corpus")
    work=$(mktemp -d)
    cp -r "$corpus". "$work"
    echo "fuzzing $name for ${seconds} s"
    ./build-fuzz/tests/fuzz/"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "$work" 2>&1 | tail -n 12
    [ "${PIPESTATUS[0]}" -eq 0 ] || { rm -rf "$work"; return 1; }
    rm -rf "$work"
  done
}

case "${1:-}" in
  demo) run_demo ;;
  test) run_tests ;;
  sanitize) run_sanitizers ;;
  fuzz) run_fuzz ;;
  *)
    echo "usage: $0 demo|test|sanitize|fuzz" >&2
    exit 2
    ;;
esac
