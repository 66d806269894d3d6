#!/usr/bin/env bash
# The offline demo: the local stand-in for the news site and its comment service, and a copy
# of the program in demo/ whose settings point at a sample address list and an output folder.
# The program reaches the site through http_proxy, so it runs with its real host names and
# without the internet.
#
#   tools/demo.sh                      prepare demo/, start the site, start the program there
#   tools/demo.sh --prepare-only DIR   only write the address list, the output folder and the
#                                      settings file into DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Writes DIR/新闻地址.txt, DIR/文章/ and DIR/栎岚文摘机.ini.
prepare() {
    python3 - "$1" <<'PY'
import os
import sys

folder = os.path.abspath(sys.argv[1])
articles = os.path.join(folder, "文章")
os.makedirs(articles, exist_ok=True)

# Pages of the fixture site's built-in news: the kinds of entry an address list may hold.
addresses = [
    "http://news.qq.com/a/20130829/004583.htm",
    "http://news.qq.com/a/20130829/010201.htm",
    "http://news.qq.com/a/20130829/020305.htm",
    "http://view.news.qq.com/intouchtoday/index.htm?2534",
    "http://coral.qq.com/1003419917",
]
address_list = os.path.join(folder, "新闻地址.txt")
with open(address_list, "wb") as f:
    f.write("".join(a + "\r\n" for a in addresses).encode("gb18030"))

# The settings file's own format: local text, lines joined by CR LF and none after the last.
# Keys that are missing keep the window's defaults.
lines = [
    "[基本配置]",
    "新闻地址=" + address_list,
    "保存文件夹=" + articles,
    "等待=300",
    "[新闻地址采集器]",
    "保存文件=" + os.path.join(folder, "采集的地址.txt"),
]
with open(os.path.join(folder, "栎岚文摘机.ini"), "wb") as f:
    f.write("\r\n".join(lines).encode("gb18030"))
PY
}

if [ "${1:-}" = "--prepare-only" ]; then
    [ -n "${2:-}" ] || { echo "usage: tools/demo.sh --prepare-only DIR" >&2; exit 2; }
    prepare "$2"
    exit 0
fi

program="$root/build/lilan-digest"
if [ ! -x "$program" ]; then
    echo "build/lilan-digest is missing: build it first with ./run" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "The demo opens a window and needs a desktop session (or try: xvfb-run -a ./run --demo)." >&2
    exit 1
fi

demo="$root/demo"
mkdir -p "$demo"
# Each demo starts with an empty output folder, so what it holds afterwards is this run's.
rm -rf "$demo/文章"
prepare "$demo"
cp "$program" "$demo/lilan-digest"
[ -f "$root/build/manual.html" ] && cp "$root/build/manual.html" "$demo/manual.html"

rm -f "$demo/fixture-site.port"
python3 "$root/tools/fixture-site/server.py" --port 0 >"$demo/fixture-site.port" 2>"$demo/fixture-site.log" &
site=$!
trap 'kill "$site" 2>/dev/null || true; wait "$site" 2>/dev/null || true' EXIT

port=""
for _ in $(seq 100); do
    port="$(sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$demo/fixture-site.port" 2>/dev/null)"
    [ -n "$port" ] && break
    kill -0 "$site" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "The fixture site did not start; see demo/fixture-site.log" >&2
    exit 1
fi

cat <<TEXT
The local news site is running on 127.0.0.1:$port.
Starting the demo copy of the program in demo/ ...
  - Press "开始采集" to collect the comments of the five sample addresses in demo/新闻地址.txt.
  - The articles appear in demo/文章/.
  - "新闻地址采集器" also works offline; it writes demo/采集的地址.txt.
Close the program's window to end the demo; the site stops with it.
TEXT

cd "$demo"
unset no_proxy NO_PROXY
http_proxy="http://127.0.0.1:$port" HTTP_PROXY="http://127.0.0.1:$port" ./lilan-digest
