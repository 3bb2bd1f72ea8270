#!/usr/bin/env bash
# Set-up, build, run and test in one place.
#   tools/dev.sh run    install what is missing, build, start the program with the simulator
#   tools/dev.sh test   install what is missing, build, run the whole test suite
#   tools/dev.sh bench  build and print the link, monitoring and start-up benchmarks
# EDITION=factory builds the factory edition (its own build folder) instead of the user edition.
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$PWD
EDITION=${EDITION:-user}
case "$EDITION" in
user) DEFAULT_BUILD=$ROOT/build; EDITION_FLAG=OFF ;;
factory) DEFAULT_BUILD=$ROOT/build-factory; EDITION_FLAG=ON ;;
*) echo "EDITION must be user or factory" >&2; exit 2 ;;
esac
BUILD=${BUILD_DIR:-$DEFAULT_BUILD}
SIM_LINK=/tmp/ttyHARTSIM0

PACKAGES=(cmake make g++ pkg-config qtbase5-dev libqt5serialport5-dev libqcustomplot-dev
          xvfb xauth fonts-wqy-microhei)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DHART_FACTORY_EDITION="$EDITION_FLAG" "$@" >/dev/null
    cmake --build "$BUILD" -j2
}

case "${1:-}" in
run)
    install_missing
    build
    # The program loads ./kt-310-default.vqmbk at start-up: run it where our own tool has
    # written the simulated transmitter's parameters as that default backup.
    RUN_DIR=$BUILD/run
    mkdir -p "$RUN_DIR"
    "$BUILD/tools/make-default-backup/make-default-backup" "$RUN_DIR/kt-310-default.vqmbk"
    "$BUILD/tools/transmitter-sim/transmitter-sim" --link "$SIM_LINK" &
    sim=$!
    trap 'kill $sim 2>/dev/null || true' EXIT
    echo "Simulated transmitter on $SIM_LINK: choose it, press 打开端口, then 查询仪表."
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found: starting under Xvfb."
        (cd "$RUN_DIR" && xvfb-run -a "$BUILD/src/hartconfig")
    else
        (cd "$RUN_DIR" && "$BUILD/src/hartconfig")
    fi
    ;;
test)
    install_missing
    build
    cd "$BUILD"
    ctest --output-on-failure -j2
    ;;
bench)
    install_missing
    build
    "$BUILD/tools/bench/linkbench"
    QT_QPA_PLATFORM=offscreen "$BUILD/tools/bench/monitorbench"
    "$BUILD/tools/bench/startupbench"
    ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
