#!/usr/bin/env bash
# A long run, watched for memory growth.
#
# Starts the fixture site, writes an address list of its news pages
# "http://news.qq.com/a/20130829/000001.htm" onwards (each with a thread of 45 comments),
# and runs a collection run over it with no wait through the program's own driver, web
# client and article writer, articles into a temporary folder. After every 100 addresses
# the run prints its resident memory (VmRSS) and peak (VmHWM); the verdict says whether both
# stayed flat from the first hundred addresses to the last. Takes a few minutes.
#
# Usage: tools/soak.sh    (ADDRESSES=2000 EVERY=100 ALLOWED_KB=4096 BUILD_DIR=build-bench)
# Exits 0 when the memory stayed flat, 1 when it grew or the run did not cover the list.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
ADDRESSES=${ADDRESSES:-2000}
EVERY=${EVERY:-100}
ALLOWED_KB=${ALLOWED_KB:-4096}

source tools/bench-common.sh
build_runner lilan_soak_run

start_workdir soak

# The site keeps the last requests it answered for tests to read; a soak run needs none.
python3 tools/fixture-site/server.py --port 0 --max-recorded 100 >"$work/site.out" 2>"$work/site.err" &
SERVER_PID=$!
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$work/site.out")
    [ -n "$port" ] && break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "The fixture site did not start:" >&2
    cat "$work/site.err" >&2
    exit 1
fi

for n in $(seq "$ADDRESSES"); do
    printf 'http://news.qq.com/a/20130829/%06d.htm\r\n' "$n"
done >"$work/addresses.txt"

export http_proxy="http://127.0.0.1:$port" HTTP_PROXY="http://127.0.0.1:$port"
unset no_proxy NO_PROXY

echo "Soak run: $ADDRESSES addresses from the fixture site on port $port, no wait."
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
"$RUNNER" "$work/addresses.txt" "$work/articles" "$EVERY" "$ALLOWED_KB"
