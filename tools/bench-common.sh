# What the whole-run scripts (bench-e2e.sh, soak.sh) share; sourced, not run.
#
#   build_runner TARGET   builds bench/TARGET in $BUILD_DIR (configured without the windows
#                         when new) and sets RUNNER to it
#   start_workdir NAME    makes a temporary folder work=/tmp/lilan-NAME.XXXXXX; on exit the
#                         server whose pid is in SERVER_PID (if any) is stopped and the folder removed

build_runner() {
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S . -B "$BUILD_DIR" -G Ninja -DLILAN_BUILD_UI=OFF -DLILAN_BUILD_BENCH=ON >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target "$1" >/dev/null
    RUNNER="$BUILD_DIR/bench/$1"
}

SERVER_PID=""
stop_and_clean() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    rm -rf "$work"
}

start_workdir() {
    work=$(mktemp -d "/tmp/lilan-$1.XXXXXX")
    trap stop_and_clean EXIT
}
