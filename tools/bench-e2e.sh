#!/usr/bin/env bash
# The cost of a whole run beside the cost of its page fetches.
#
# Serves 200 news pages and their comment threads (5 pages of 20 comments and the empty
# page that ends paging) as static files from nginx on loopback, answering for the
# program's real host names as an HTTP proxy. Then, in alternating rounds, times
#   run:  a collection run with no wait, through the program's own driver, web client and
#         article writer, with the default settings and every cleaning option on;
#   bare: the same requests in the same order through one reused libcurl handle;
# and prints both times, their medians and the ratio run / bare. A third pass, client, makes
# the same requests through the program's web client alone, which tells how much of the
# difference is the request object's. The first round checks in nginx's log that all three
# made exactly the same requests with the same answers.
#
# Usage: tools/bench-e2e.sh            (ROUNDS=5 PAGES=200 BUILD_DIR=build-bench by default)
#        PROFILE=perf.data tools/bench-e2e.sh   also records three more runs with perf
#                                              (call graphs from DWARF) into that file;
#                                              CALL_GRAPH=fp for a build with frame pointers,
#                                              PROFILE_PASS=client for the client pass
# Installs nginx from Debian's packages when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
ROUNDS=${ROUNDS:-5}
PAGES=${PAGES:-200}

find_nginx() { command -v nginx 2>/dev/null || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true; }
NGINX=$(find_nginx)
if [ -z "$NGINX" ]; then
    echo "Installing nginx from Debian's packages..."
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends nginx >/dev/null
    NGINX=$(find_nginx)
    [ -n "$NGINX" ] || { echo "nginx could not be installed" >&2; exit 1; }
fi

source tools/bench-common.sh
build_runner lilan_e2e_run

start_workdir e2e

echo "Generating $PAGES news pages and their comment pages..."
python3 tools/bench-site/generate.py --out "$work/site" --pages "$PAGES"
expected=$(awk '/^articles/ {print $2}' "$work/site/expected.txt")
requests=$(wc -l <"$work/site/urls.txt")

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/temp"
user_line=""
# Workers of a master started by root would run as "nobody" and could not read the files.
if [ "$(id -u)" -eq 0 ]; then user_line="user root;"; fi
cat >"$work/nginx.conf" <<EOF
$user_line
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 256; }
http {
    types { text/html htm; application/json json; }
    default_type application/octet-stream;
    log_format bench '\$request \$status \$body_bytes_sent';
    access_log $work/access.log bench;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    sendfile on;
    tcp_nodelay on;
    keepalive_requests 1000000;
    keepalive_timeout 120s;
    open_file_cache max=4096;

    # A request sent to a proxy names its host in the request line; nginx picks the server
    # by that name, so these two answer for the program's real hosts.
    server {
        listen 127.0.0.1:$port;
        server_name news.qq.com;
        root $work/site/news;
    }
    server {
        listen 127.0.0.1:$port;
        server_name coral.qq.com;
        root $work/site/coral;
        location ~ ^/article/(\d+)/comment\$ {
            default_type application/json;
            try_files /c/\$1/p\$arg_commentid.json =404;
        }
    }
}
EOF
"$NGINX" -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
SERVER_PID=$!
for _ in $(seq 50); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/"; then break; fi
    sleep 0.1
done

export http_proxy="http://127.0.0.1:$port" HTTP_PROXY="http://127.0.0.1:$port"
unset no_proxy NO_PROXY

log_lines() { wc -l <"$work/access.log"; }
# nginx writes a request's log line after answering it: let the last one land.
settle() { sleep 0.3; }

"$RUNNER" bare "$work/site/urls.txt" >/dev/null # warms nginx's caches and the page cache
settle

ms_of() { sed -n 's/^[a-z]* ms=\([0-9.]*\).*/\1/p' <<<"$1"; }
cpu_of() { sed -n 's/.* cpu-ms=\([0-9.]*\).*/\1/p' <<<"$1"; }
times="$work/times.txt"
: >"$times"
for round in $(seq "$ROUNDS"); do
    rm -rf "$work/out"
    before_run=$(log_lines)
    run_line=$("$RUNNER" run "$work/site/addresses.txt" "$work/out" "$expected")
    settle
    before_client=$(log_lines)
    client_line=$("$RUNNER" client "$work/site/urls.txt")
    settle
    before_bare=$(log_lines)
    bare_line=$("$RUNNER" bare "$work/site/urls.txt")
    settle
    after=$(log_lines)
    if [ "$round" -eq 1 ]; then
        sed -n "$((before_run + 1)),${before_client}p" "$work/access.log" >"$work/run-requests.txt"
        sed -n "$((before_client + 1)),${before_bare}p" "$work/access.log" >"$work/client-requests.txt"
        sed -n "$((before_bare + 1)),${after}p" "$work/access.log" >"$work/bare-requests.txt"
        for other in client bare; do
            if ! cmp -s "$work/run-requests.txt" "$work/$other-requests.txt"; then
                echo "The run and the $other loop did not make the same requests:" >&2
                diff "$work/run-requests.txt" "$work/$other-requests.txt" | head -20 >&2
                exit 1
            fi
        done
        if [ "$(wc -l <"$work/run-requests.txt")" -ne "$requests" ] ||
            grep -qv ' 200 [0-9]*$' "$work/run-requests.txt"; then
            echo "The run did not make its $requests requests with answers 200." >&2
            exit 1
        fi
        echo "Checked: the run and both loops made the same $requests requests, all answered 200."
        printf '%s\n' "$run_line" "$client_line" "$bare_line"
    fi
    echo "$round $(ms_of "$run_line") $(ms_of "$client_line") $(ms_of "$bare_line")" \
        "$(cpu_of "$run_line") $(cpu_of "$client_line") $(cpu_of "$bare_line")" >>"$times"
done

if [ -n "${PROFILE:-}" ]; then
    export RUNNER work expected PROFILE_PASS=${PROFILE_PASS:-run}
    perf record -q --call-graph "${CALL_GRAPH:-dwarf,32768}" -F 4000 -o "$PROFILE" -- bash -c '
        for i in 1 2 3; do
            rm -rf "$work/out"
            if [ "$PROFILE_PASS" = client ]; then
                "$RUNNER" client "$work/site/urls.txt" >/dev/null
            else
                "$RUNNER" run "$work/site/addresses.txt" "$work/out" "$expected" >/dev/null
            fi
        done'
    echo "Profile of three runs in $PROFILE (perf report -i $PROFILE --no-children)"
fi

python3 - "$times" "$PAGES" "$requests" "$expected" <<'EOF'
import os, statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
pages, requests, articles = sys.argv[2:5]
model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
print("\nMachine: %d cores, %s" % (os.cpu_count(), model))
print("%s addresses, %s requests, %s articles written per run" % (pages, requests, articles))
print("round     run (ms)  client (ms)    bare (ms)  run/bare")
for r, run, client, bare, *_ in rows:
    print("%5s %12.1f %12.1f %12.1f %9.3f" % (r, float(run), float(client), float(bare), float(run) / float(bare)))
run, client, bare, run_cpu, client_cpu, bare_cpu = (statistics.median(float(r[k]) for r in rows) for k in range(1, 7))
print("median %11.1f %12.1f %12.1f %9.3f" % (run, client, bare, run / bare))
n = int(requests)
print("per request (medians): run %.1f us, client %.1f us, bare %.1f us" % (1000 * run / n, 1000 * client / n, 1000 * bare / n))
print("beyond the bare fetches: the request object %.1f us, the rest of the run %.1f us per request"
      % (1000 * (client - bare) / n, 1000 * (run - client) / n))
print("processor time (medians): run %.1f ms, client %.1f ms, bare %.1f ms; the run's own work %.1f us per article"
      % (run_cpu, client_cpu, bare_cpu, 1000 * (run_cpu - client_cpu) / int(articles)))
print("ratio run / bare: %.3f" % (run / bare))
EOF
