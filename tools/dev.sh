#!/usr/bin/env bash
# Set-up, build, run and test in one place.
#   tools/dev.sh run    install what is missing, build, start the program with the simulator
#   tools/dev.sh test   install what is missing, build, run the whole test suite
#   tools/dev.sh bench  build and print the link, monitoring and start-up benchmarks
#   tools/dev.sh soak [length]  the window against a misbehaving simulator for a long run
#                       (default 1h; 10m, 90s also do): memory, descriptors, growth per hour
#   tools/dev.sh sanitize address|thread  build in build-asan / build-tsan, run the suite;
#                       any sanitizer report fails
#   tools/dev.sh fuzz [seconds]  build the fuzzers with clang and run each (default 60 s)
#   tools/dev.sh translations  refresh translations/hartconfig_en.ts from the sources, keeping
#                       every translation made; new texts come in unfinished for Qt Linguist
#   tools/dev.sh package  build the .deb, install it, start the installed program with
#                       --version, remove it again
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

PACKAGES=(cmake make g++ pkg-config ccache qtbase5-dev libqt5serialport5-dev libqcustomplot-dev
          xvfb xauth fonts-wqy-microhei qttools5-dev qttools5-dev-tools desktop-file-utils appstream
          dpkg-dev file tshark poppler-utils libqt5sql5-sqlite libqt5sql5-psql postgresql)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
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

# On a shared machine HART_BUILD_LOCK names a lock file that serialises every build.
build_in() {
    if [ -n "${HART_BUILD_LOCK:-}" ]; then
        flock "$HART_BUILD_LOCK" cmake --build "$@" -j2
    else
        cmake --build "$@" -j2
    fi
}

# ccache keyed on paths below /work's parent, so work trees of one checkout share their objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$ROOT")}
LAUNCHER=()
command -v ccache >/dev/null 2>&1 && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

build() {
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LAUNCHER[@]}" \
        -DHART_FACTORY_EDITION="$EDITION_FLAG" "$@" >/dev/null
    build_in "$BUILD"
}

# The whole suite under ASan+UBSan or ThreadSanitizer. Reports end the test program with
# an error, so ctest fails on any of them. One test at a time: instrumented, the end-to-end
# tests are slow enough that two at once on two cores starve the simulators' line timing.
sanitize() {
    local kind=${1:-address} dir
    case "$kind" in
    address) dir=$ROOT/build-asan ;;
    thread) dir=$ROOT/build-tsan ;;
    *) echo "sanitize: address or thread" >&2; return 2 ;;
    esac
    install_missing
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE="$kind" "${LAUNCHER[@]}" >/dev/null
    build_in "$dir"
    cd "$dir"
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/tests/tsan.supp" \
        ctest --output-on-failure -j1 --timeout 300
}

# Runs every fuzz_* program of build-fuzz for the given seconds, at the lowest priority,
# on a working corpus seeded from tests/fuzz/corpus/<name>. A finding stops with failure.
fuzz() {
    local seconds=${1:-60}
    local fbuild=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
    install_missing clang libclang-rt-14-dev
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$fbuild" -DHART_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LAUNCHER[@]}" >/dev/null
    build_in "$fbuild" --target fuzzers
    local status=0
    for exe in "$fbuild"/tests/fuzz/fuzz_*; do
        [ -x "$exe" ] && [ -f "$exe" ] || continue
        local name work log
        name=$(basename "$exe")
        work="$fbuild/corpus/$name"
        log="$fbuild/$name.log"
        mkdir -p "$work" "$fbuild/findings"
        [ -d "$ROOT/tests/fuzz/corpus/$name" ] && cp -n "$ROOT/tests/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
        echo "== $name: $seconds s"
        if (cd "$fbuild/findings" && nice -n 19 "$exe" -max_total_time="$seconds" \
                -print_final_stats=1 "$work" >"$log" 2>&1); then
            grep -E "^Done [0-9]+ runs" "$log" || tail -n 3 "$log"
        else
            echo "$name found a fault; see $log and $fbuild/findings" >&2
            tail -n 40 "$log" >&2
            status=1
        fi
    done
    return $status
}

translations() {
    install_missing
    lupdate -no-obsolete -locations none -source-language zh_CN -target-language en \
        "$ROOT/src" -ts "$ROOT/translations/hartconfig_en.ts"
}

# The Debian package end to end, as a user installs it: dpkg -i, the dependencies apt-get
# finds for it, the installed program started headless, and the package removed again.
package() {
    install_missing
    build
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    (cd "$BUILD" && rm -f hartconfig_*.deb && cpack -G DEB >/dev/null)
    local deb
    deb=$(ls "$BUILD"/hartconfig_*.deb)
    echo "Built $deb"
    dpkg-deb --field "$deb" Package Version Depends
    if ! $sudo dpkg -i "$deb"; then
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -f -y -qq --no-install-recommends
    fi
    local status=0 version
    version=$(cd / && QT_QPA_PLATFORM=offscreen /usr/bin/hartconfig --version) || status=1
    echo "Installed: $version"
    [ "$version" = "hartconfig $(dpkg-deb --field "$deb" Version)" ] || status=1
    [ -x /usr/bin/hart-transmitter-sim ] || status=1
    desktop-file-validate /usr/share/applications/io.github.hartconfig.HartConfig.desktop || status=1
    $sudo dpkg -r hartconfig
    return $status
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
    # A job started with & reads /dev/null; hand the simulator the terminal instead, so
    # that bench control lines (transmitter-sim --help) typed here reach it.
    if [ -t 0 ]; then
        "$BUILD/tools/transmitter-sim/transmitter-sim" --link "$SIM_LINK" <&0 &
    else
        "$BUILD/tools/transmitter-sim/transmitter-sim" --link "$SIM_LINK" &
    fi
    sim=$!
    trap 'kill $sim 2>/dev/null || true' EXIT
    echo "Simulated transmitter on $SIM_LINK: choose it, press 打开端口, then 查询仪表."
    [ -t 0 ] && echo "Bench lines for the simulator (keys 7, t vminus, pv zero, help) go here."
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found: starting under Xvfb."
        (cd "$RUN_DIR" && xvfb-run -a "$BUILD/src/app/hartconfig")
    else
        (cd "$RUN_DIR" && "$BUILD/src/app/hartconfig")
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
    # The history store against SQLite and a throwaway PostgreSQL cluster.
    pg_state=$BUILD/bench-pgcluster.state
    if bash "$ROOT/tests/history/pgcluster.sh" start "$pg_state"; then
        QT_QPA_PLATFORM=offscreen "$BUILD/tools/bench/historybench" "$(cat "$pg_state.url")" || true
        bash "$ROOT/tests/history/pgcluster.sh" stop "$pg_state"
    else
        QT_QPA_PLATFORM=offscreen "$BUILD/tools/bench/historybench"
    fi
    QT_QPA_PLATFORM=offscreen "$BUILD/tools/bench/certificatebench"
    ;;
soak)
    install_missing
    build
    QT_QPA_PLATFORM=offscreen nice "$BUILD/tools/bench/soakrun" "${2:-1h}"
    ;;
sanitize)
    sanitize "${2:-address}"
    ;;
fuzz)
    fuzz "${2:-60}"
    ;;
translations)
    translations
    ;;
package)
    package
    ;;
*)
    echo "usage: $0 run|test|bench|sanitize address|thread|fuzz [seconds]|translations|package" >&2
    exit 2
    ;;
esac
