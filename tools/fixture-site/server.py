#!/usr/bin/env python3
"""A local stand-in for the news site, its comment service and its topic pages.

Start it with `python3 server.py --port N` (0 picks a free port); the first line it prints
is "PORT <n>". It answers on 127.0.0.1:

* as an HTTP proxy: a request whose target is an absolute address is answered by the site
  that the address names (news.qq.com, coral.qq.com, view.news.qq.com; 502 for any other);
* directly: a plain path is answered for the host of the Host header when it is one of those
  sites, otherwise by the union of all of them (their paths do not collide).

Tests shape what is served through /__fixture/ (JSON over HTTP) and provoke faults through
/__fault/. See README.md beside this file.

Only the standard library is used, so that the server runs wherever python3 does.
"""

import argparse
import base64
import binascii
import json
import random
import re
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs

NEWS_HOST = "news.qq.com"
COMMENT_HOST = "coral.qq.com"
TOPIC_HOST = "view.news.qq.com"
KNOWN_HOSTS = (NEWS_HOST, COMMENT_HOST, TOPIC_HOST)
ANY_SITE = "*"  # a direct request for a host we do not play: serve every site's paths
LOOPBACK_NAMES = ("127.0.0.1", "localhost", "::1")

PAGE_SIZE = 20
MAX_PAGE_SIZE = 100
DATASET_COMMENTS = 45
COLUMN_PAGES = 3
MAX_REQUEST_BODY = 64 * 1024 * 1024
MAX_HUGE_MB = 4096
MAX_SLOW_MS = 10 * 60 * 1000

# Thread ids of the built-in dataset are derived from the page numbers, one range per kind
# of page, so that a test can tell from an id which page led to it.
GBK_THREAD_BASE = 1000000000
UTF8_THREAD_BASE = 2000000000
TOPIC_THREAD_BASE = 3000000000

# The eight news columns: list-page path before the page suffix, and how the links are boxed.
COLUMNS = (
    ("/newsgn/zhxw/shizhengxinwen", "newslist"),
    ("/newsgn/gdxw/gedixinwen", "newslist"),
    ("/l/newsgj/rdzh/guojishishi", "newslist"),
    ("/l/newsgj/chouwe/guojihuabian", "newslist"),
    ("/newssh/shwx/shehuiwanxiang", "newslist"),
    ("/l/newssh/qwqs/qiwenqushi", "newslist"),
    ("/l/milite/milgn/list2010122872223", "box"),
    ("/l/milite/zhoubiansaomiao/list2012095132256", "box"),
)


class Response:
    """One answer: status, header pairs and body bytes, or a special action."""

    def __init__(self, status=200, headers=None, body=b"", action=None, **params):
        self.status = status
        self.headers = list(headers or [])
        self.body = body
        self.action = action  # None, "truncate", "stream", "reset"
        self.params = params


def html_response(text, status=200, charset="gbk", declared="GB2312"):
    body = text.encode(charset)
    return Response(status, [("Content-Type", "text/html; charset=" + declared)], body)


# ---------------------------------------------------------------------------------------
# The built-in dataset. Everything is derived from the ids with seeded generators, so the
# same address always gives the same page, across runs and machines.
# ---------------------------------------------------------------------------------------

SUBJECTS = ("国务院", "教育部", "北京市", "深圳市政府", "一名男子", "专家", "网友", "气象台",
            "铁路部门", "某小区业主", "外交部发言人", "多地交警")
VERBS = ("发布", "回应", "宣布", "呼吁", "否认", "调查", "启动", "关注")
OBJECTS = ("新规定", "房价调控措施", "中秋假期安排", "高温预警", "校车安全问题", "食品安全检查",
           "交通整治行动", "油价调整", "景区门票涨价", "网络谣言")
SHORT_COMMENTS = ("顶", "支持", "呵呵", "沙发", "路过")
FRAGMENTS = ("这个问题早就该解决了", "不知道什么时候能落实", "楼上说得对", "希望有关部门重视",
             "我们小区也是这样", "看看再说", "转发给朋友看看", "有没有人知道具体情况",
             "1/3的人都不信", "说得好", "这才是真正的民生", "详情见http://t.qq.com/lilan",
             "老百姓最关心的还是物价", "记者辛苦了", "坐等后续报道")
ENDINGS = ("。", "！", "？", "……", "")
NICKS = ("江南布衣", "老王", "北漂一族", "深圳打工仔", "小鱼儿", "qq用户", "路人甲", "明月清风",
         "Tom猫", "星空\U0001F600")
REGIONS = ("北京:北京:", "广东:深圳:", "上海:上海:", "湖北:武汉:", "四川:成都:", "浙江:杭州:",
           "山东:济南:", "广东:广州:")


def headline(seed):
    rng = random.Random("headline:" + str(seed))
    text = rng.choice(SUBJECTS) + rng.choice(VERBS) + rng.choice(OBJECTS)
    return text + ("（图）" if rng.random() < 0.25 else "")


def dataset_comments(thread_id):
    """The 45 comments of a thread that no scenario defines."""
    base = int(thread_id) * 1000
    comments = []
    for i in range(DATASET_COMMENTS):
        rng = random.Random("comment:%s:%d" % (thread_id, i))
        if i % 7 == 3:
            content = rng.choice(SHORT_COMMENTS)  # fewer than 5 characters
        else:
            parts = rng.sample(FRAGMENTS, rng.randint(1, 3))
            content = "，".join(parts) + rng.choice(ENDINGS)
        region = "::" if i % 9 == 4 else rng.choice(REGIONS)
        comments.append({
            "id": str(base + i + 1),
            "content": content,
            "nick": rng.choice(NICKS),
            "region": region,
            "userid": str(rng.randint(10000000, 999999999)),
            "time": str(1380000000 + 60 * i),
            "up": str(rng.randint(0, 99)),
        })
    return comments


def page_head(title, declared):
    return (
        '<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN" '
        '"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd">\r\n'
        '<html xmlns="http://www.w3.org/1999/xhtml">\r\n<head>\r\n'
        '<meta http-equiv="Content-Type" content="text/html; charset=%s" />\r\n'
        "<title>%s</title>\r\n" % (declared, title)
    )


def news_page(number, thread, charset, declared, id_style):
    """A news article page; id_style is "cmt_id", "empty-vid" or "vid"."""
    title = headline(thread)
    script = "" if id_style == "vid" else "cmt_id = %s;\r\n" % thread
    player = ""
    if id_style == "vid":
        player = '<div id="mod_player" vid="%s"></div>\r\n' % thread
    elif id_style == "empty-vid":
        player = '<div id="mod_player" vid=""></div>\r\n'
    rng = random.Random("article:%s" % number)
    paragraphs = "".join("<p>%s</p>\r\n" % "，".join(rng.sample(FRAGMENTS, 3)) for _ in range(3))
    text = (
        page_head(title + "_新闻_腾讯网", declared)
        + '<meta name="keywords" content="新闻,%s" />\r\n' % title
        + '<script type="text/javascript">\r\nvar ARTICLE_INFO = window.ARTICLE_INFO || {};\r\n'
        + script
        + "</script>\r\n</head>\r\n<body>\r\n"
        + '<div id="C-Main-Article-QQ">\r\n<h1>%s</h1>\r\n' % title
        + player
        + '<div id="Cnt-Main-Article-QQ">\r\n' + paragraphs + "</div>\r\n</div>\r\n"
        + "</body>\r\n</html>\r\n"
    )
    return html_response(text, charset=charset, declared=declared)


def gbk_news_page(number):
    # One page in five carries its id in a vid attribute only, one in five has an empty vid
    # attribute beside the cmt_id statement; the rest have the statement alone.
    n = int(number)
    style = {3: "empty-vid", 4: "vid"}.get(n % 5, "cmt_id")
    return news_page(n, str(GBK_THREAD_BASE + n), "gbk", "gb2312", style)


def utf8_news_page(number):
    n = int(number)
    return news_page(n, str(UTF8_THREAD_BASE + n), "utf-8", "utf-8", "cmt_id")


def topic_page(number):
    n = int(number)
    thread = str(TOPIC_THREAD_BASE + n)
    title = headline(thread)
    text = (
        page_head(title + "_今日话题_腾讯网", "gb2312")
        + '<script type="text/javascript">\r\ncmt_id = %s;\r\n</script>\r\n' % thread
        + "</head>\r\n<body>\r\n<h1>今日话题：%s</h1>\r\n</body>\r\n</html>\r\n" % title
    )
    return html_response(text)


def comment_thread_page(thread, title):
    text = (
        '<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset="utf-8">\r\n'
        "<title>%s_评论_腾讯网</title>\r\n</head>\r\n<body>\r\n"
        '<div id="allComments" data-targetid="%s"><h2>%s</h2></div>\r\n</body>\r\n</html>\r\n'
        % (title, thread, title)
    )
    return html_response(text, charset="utf-8", declared="utf-8")


def not_found():
    text = (
        page_head("404 - 您访问的页面不存在", "gb2312")
        + "</head>\r\n<body>\r\n<h1>对不起，您访问的页面不存在。</h1>\r\n</body>\r\n</html>\r\n"
    )
    return html_response(text, status=404)


def column_links(column, page):
    """(address, headline) of the links in the link block of one list page."""
    links = []
    for k in range(1, 9):
        n = column * 10000 + page * 100 + k
        links.append(("http://news.qq.com/a/20130829/%06d.htm" % n, headline(GBK_THREAD_BASE + n)))
        if k == 4:
            # A link to another site in the middle of the block, which must not be kept.
            links.append(("http://sports.qq.com/a/20130829/%06d.htm" % (n + 50), "体育新闻"))
    n = column * 10000 + page * 100 + 9
    links.append(("http://NEWS.QQ.COM/a/20130829/%06d.htm" % n, headline(GBK_THREAD_BASE + n)))
    return links


def column_page(column, page):
    prefix, box = COLUMNS[column - 1]
    items = "".join(
        '<li><a href="%s" target="_blank">%s</a><span class="pub_time">08-29 10:%02d</span></li>\r\n'
        % (address, title, i)
        for i, (address, title) in enumerate(column_links(column, page))
    )
    # Links outside the block (navigation, recommendations) must never be collected.
    nav = ('<div class="nav"><a href="http://news.qq.com/">新闻首页</a> '
           '<a href="http://news.qq.com/a/20130829/999999.htm">推荐</a></div>\r\n')
    if box == "newslist":
        block = '<div class="mod newslist">\r\n<ul>\r\n' + items + "</ul>\r\n</div>\r\n"
    else:
        marker = '<div class="box_hr16"></div>\r\n'
        block = (marker + '<div class="list01">\r\n<ul>\r\n' + items + "</ul>\r\n</div>\r\n"
                 + marker + '<div class="more"><a href="http://news.qq.com/a/20130829/999998.htm">'
                 "更多</a></div>\r\n")
    text = (page_head("第%d页_新闻_腾讯网" % page, "gb2312") + "</head>\r\n<body>\r\n"
            + nav + block + '<div class="pager">%s</div>\r\n' % prefix
            + "</body>\r\n</html>\r\n")
    return html_response(text)


COLUMN_PATH = re.compile(
    "^(" + "|".join(re.escape(prefix) for prefix, _ in COLUMNS) + r")(?:_([2-9]|[1-9]\d+))?\.htm$")


def column_route(path):
    match = COLUMN_PATH.match(path)
    if not match:
        return None
    column = [prefix for prefix, _ in COLUMNS].index(match.group(1)) + 1
    page = int(match.group(2) or 1)
    return column_page(column, page) if page <= COLUMN_PAGES else not_found()


# ---------------------------------------------------------------------------------------
# The comment service's answers.
# ---------------------------------------------------------------------------------------


def js(text):
    """A JSON string as the comment service writes it: ASCII only, with "\\/"."""
    out = ['"']
    for ch in text:
        code = ord(ch)
        if ch == '"':
            out.append('\\"')
        elif ch == "\\":
            out.append("\\\\")
        elif ch == "/":
            out.append("\\/")
        elif ch == "\r":
            out.append("\\r")
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif code < 0x20:
            out.append("\\u%04x" % code)
        elif code < 0x7F:
            out.append(ch)
        elif code > 0xFFFF:
            code -= 0x10000
            out.append("\\u%04x\\u%04x" % (0xD800 + (code >> 10), 0xDC00 + (code & 0x3FF)))
        else:
            out.append("\\u%04x" % code)
    out.append('"')
    return "".join(out)


def comment_record(thread, comment, index):
    userid = comment.get("userid") or str(100000 + index)
    return (
        '{"id":%s,"rootid":"0","targetid":%s,"parent":"0","time":%s,"content":%s,'
        '"up":%s,"rep":"0","userinfo":{"userid":%s,"nick":%s,"head":%s,"region":%s,'
        '"remark":""}}'
        % (js(comment["id"]), js(thread), js(comment.get("time") or "1380000000"),
           js(comment.get("content", "")), js(comment.get("up") or "3"), js(userid),
           js(comment.get("nick", "")), js("http://q.qlogo.cn/%s/40" % userid),
           js(comment.get("region", "")))
    )


def comment_page(thread, comments, cursor, reqnum):
    """The page after the record whose id is the cursor (the first page for no cursor)."""
    start = 0
    if cursor:
        ids = [c["id"] for c in comments]
        # An id the thread does not hold has nothing after it: an empty page ends paging.
        start = ids.index(cursor) + 1 if cursor in ids else len(comments)
    chosen = comments[start:start + reqnum]
    records = ",".join(comment_record(thread, c, start + i) for i, c in enumerate(chosen))
    text = (
        '{"errCode":0,"data":{"targetid":%s,"reqnum":%d,"retnum":%d,"first":%s,"last":%s,'
        '"hasnext":%s,"commentid":[%s]}}'
        % (thread, reqnum, len(chosen), js(chosen[0]["id"] if chosen else ""),
           js(chosen[-1]["id"] if chosen else ""),
           "true" if start + len(chosen) < len(comments) else "false", records)
    )
    return Response(200, [("Content-Type", "application/json")], text.encode("ascii"))


def comment_service_error():
    text = '{"errCode":7,"info":"bad request"}'
    return Response(200, [("Content-Type", "application/json")], text.encode("ascii"))


# ---------------------------------------------------------------------------------------
# Fault modes.
# ---------------------------------------------------------------------------------------


def query_int(query, name, default, low, high):
    try:
        value = int(query.get(name, [str(default)])[0])
    except ValueError:
        return None
    return value if low <= value <= high else None


def bad_request(text):
    return Response(400, [("Content-Type", "text/plain; charset=utf-8")], text.encode("utf-8"))


def fault(name, query, handler):
    if name == "slow":
        ms = query_int(query, "ms", 1000, 0, MAX_SLOW_MS)
        if ms is None:
            return bad_request("ms must be 0..%d\n" % MAX_SLOW_MS)
        time.sleep(ms / 1000.0)
        return html_response("<html><head><title>slow</title></head><body>%d ms</body></html>" % ms)
    if name == "status":
        code = query_int(query, "code", 500, 200, 599)
        if code is None:
            return bad_request("code must be 200..599\n")
        return html_response(
            "<html><head><title>%d</title></head><body><h1>错误 %d</h1></body></html>" % (code, code),
            status=code)
    if name == "truncated":
        body = page_head("断开的页面_新闻_腾讯网", "gb2312").encode("gbk")
        return Response(200, [("Content-Type", "text/html; charset=GB2312")], body,
                        action="truncate", claimed=len(body) + 4096)
    if name == "invalid-utf8":
        body = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8" />'
                "<title>坏字节").encode("utf-8") + b"\xff\xfe\xc3\x28\xe4\xb8" + \
            "_新闻_腾讯网</title></head><body>cmt_id = 1234;</body></html>".encode("utf-8")
        return Response(200, [("Content-Type", "text/html; charset=utf-8")], body)
    if name == "backslash":
        comment = {"id": "9001", "content": "反斜杠结尾", "nick": "测试", "region": "北京:北京:"}
        body = comment_page("9000", [comment], "", PAGE_SIZE).body + b"\\"
        return Response(200, [("Content-Type", "application/json")], body)
    if name == "huge":
        mb = query_int(query, "mb", 16, 0, MAX_HUGE_MB)
        if mb is None:
            return bad_request("mb must be 0..%d\n" % MAX_HUGE_MB)
        return Response(200, [("Content-Type", "text/html; charset=utf-8")], b"",
                        action="stream", size=mb * 1024 * 1024)
    if name == "reset":
        return Response(action="reset")
    if name == "redirect":
        target = query.get("to", [""])[0]
        if not target or "\r" in target or "\n" in target:
            return bad_request("to must be an address\n")
        return Response(302, [("Location", target), ("Content-Type", "text/html")],
                        b"<html><body>moved</body></html>")
    if name == "setcookie":
        return Response(200, [("Set-Cookie", "k=v; path=/"), ("Set-Cookie", "second=2; path=/"),
                              ("Content-Type", "text/html")],
                        b"<html><body>cookies set</body></html>")
    if name == "echo":
        head = "%s %s %s\r\n" % (handler.command, handler.path, handler.request_version)
        head += "".join("%s: %s\r\n" % pair for pair in handler.headers.items())
        body = head.encode("latin-1", "replace") + b"\r\n" + handler.request_body
        return Response(200, [("Content-Type", "text/plain")], body)
    return None


# ---------------------------------------------------------------------------------------
# Scenario state and routing.
# ---------------------------------------------------------------------------------------


def raw_text(value):
    """Request paths travel as one character per byte; wider characters are taken as UTF-8."""
    if any(ord(ch) > 0xFF for ch in value):
        return value.encode("utf-8").decode("latin-1")
    return value


class Scenario:
    """What tests installed, and what was asked of us. Shared by every handler thread."""

    def __init__(self, max_recorded):
        self.lock = threading.Lock()
        self.max_recorded = max_recorded
        self.reset()

    def reset(self):
        with self.lock:
            self.pages = {}  # (host or None, path, query or None) -> Response
            self.threads = {}  # id -> {"comments": [...], "title": str}
            self.raw_threads = {}  # id -> {"pages": [bytes], "next": int}
            self.requests = []
            self.dropped = 0

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)
            if len(self.requests) > self.max_recorded:
                del self.requests[0]
                self.dropped += 1

    def page(self, host, path, query):
        with self.lock:
            for key in ((host, path, query), (host, path, None), (None, path, query),
                        (None, path, None)):
                if key[0] == ANY_SITE:
                    continue
                if key in self.pages:
                    return self.pages[key]
        return None

    def thread_answer(self, thread, cursor, reqnum):
        with self.lock:
            raw = self.raw_threads.get(thread)
            if raw is not None:
                # Raw pages are served in order, one per request; no cursor starts over.
                index = 0 if not cursor else raw["next"]
                raw["next"] = index + 1
                if index < len(raw["pages"]):
                    return Response(200, [("Content-Type", "application/json")], raw["pages"][index])
                return comment_page(thread, [], "", reqnum)
            defined = self.threads.get(thread)
        comments = defined["comments"] if defined else dataset_comments(thread)
        return comment_page(thread, comments, cursor, reqnum)

    def thread_title(self, thread):
        with self.lock:
            defined = self.threads.get(thread)
        if defined and defined.get("title") is not None:
            return defined["title"]
        return headline(thread)


NEWS_PAGE = re.compile(r"^/a/\d{8}/(\d{6})\.htm$")
UTF8_PAGE = re.compile(r"^/a/utf8/(\d{1,8})\.htm$")
THREAD_PAGE = re.compile(r"^/(\d{1,20})$")
COMMENT_PATH = re.compile(r"^/article/(\d{1,20})/comment$")


def news_route(scenario, path, query):
    match = NEWS_PAGE.match(path)
    if match:
        return gbk_news_page(match.group(1))
    match = UTF8_PAGE.match(path)
    if match:
        return utf8_news_page(match.group(1))
    return column_route(path)


def comment_route(scenario, path, query):
    match = COMMENT_PATH.match(path)
    if match:
        fields = parse_qs(query or "", keep_blank_values=True)
        reqnum = query_int(fields, "reqnum", PAGE_SIZE, 1, MAX_PAGE_SIZE)
        if reqnum is None:
            return comment_service_error()
        cursor = fields.get("commentid", [""])[0]
        return scenario.thread_answer(match.group(1), cursor, reqnum)
    match = THREAD_PAGE.match(path)
    if match:
        return comment_thread_page(match.group(1), scenario.thread_title(match.group(1)))
    return None


def topic_route(scenario, path, query):
    if path == "/intouchtoday/index.htm":
        number = query if (query or "").isdigit() and len(query) <= 8 else "0"
        return topic_page(number)
    return None


ROUTES = {
    NEWS_HOST: (news_route,),
    COMMENT_HOST: (comment_route,),
    TOPIC_HOST: (topic_route,),
    ANY_SITE: (comment_route, news_route, topic_route),
}


def site_answer(scenario, host, target, handler):
    path, _, query = target.partition("?")
    query = query if "?" in target else None
    if path.startswith("/__fault/"):
        answer = fault(path[len("/__fault/"):], parse_qs(query or "", keep_blank_values=True),
                       handler)
        if answer is not None:
            return answer
    installed = scenario.page(host, path, query)
    if installed is not None:
        return installed
    for route in ROUTES[host]:
        answer = route(scenario, path, query)
        if answer is not None:
            return answer
    return not_found()


# ---------------------------------------------------------------------------------------
# The control interface under /__fixture/.
# ---------------------------------------------------------------------------------------


def json_answer(value, status=200):
    body = (json.dumps(value, ensure_ascii=True) + "\n").encode("ascii")
    return Response(status, [("Content-Type", "application/json")], body)


def decode_base64(text, what):
    try:
        return base64.b64decode(text.encode("ascii"), validate=True)
    except (binascii.Error, ValueError, UnicodeEncodeError):
        raise ControlError(what + " is not base64")


class ControlError(Exception):
    pass


def install_page(scenario, spec):
    path = spec.get("path")
    if not isinstance(path, str) or not path.startswith("/"):
        raise ControlError("path must begin with /")
    status = spec.get("status", 200)
    if not isinstance(status, int) or not 200 <= status <= 599:
        raise ControlError("status must be 200..599")
    host = spec.get("host") or None
    if host is not None and (not isinstance(host, str) or host.lower() not in KNOWN_HOSTS):
        raise ControlError("host must be one of " + ", ".join(KNOWN_HOSTS))
    headers = []
    for pair in spec.get("headers", []):
        if (not isinstance(pair, list) or len(pair) != 2 or not all(isinstance(x, str) for x in pair)
                or any(ch in "\r\n" for x in pair for ch in x)):
            raise ControlError("headers must be [name, value] pairs of one line each")
        # Framing is ours to decide: the body length is always the real one.
        if pair[0].lower() not in ("content-length", "transfer-encoding", "connection"):
            headers.append((pair[0], pair[1]))
    if not any(name.lower() == "content-type" for name, _ in headers):
        headers.append(("Content-Type", "text/html"))
    if "body_base64" in spec:
        body = decode_base64(spec["body_base64"], "body_base64")
    else:
        body = str(spec.get("body", "")).encode("utf-8")
    path = raw_text(path)
    base, mark, query = path.partition("?")
    key = (host.lower() if host else None, base, query if mark else None)
    with scenario.lock:
        scenario.pages[key] = Response(status, headers, body)


def install_thread(scenario, spec):
    thread = spec.get("id")
    if not isinstance(thread, str) or not re.fullmatch(r"\d{1,20}", thread):
        raise ControlError("id must be digits")
    if "raw" in spec or "raw_base64" in spec:
        pages = [str(p).encode("utf-8") for p in spec.get("raw", [])]
        pages += [decode_base64(p, "raw_base64") for p in spec.get("raw_base64", [])]
        with scenario.lock:
            scenario.raw_threads[thread] = {"pages": pages, "next": 0}
            scenario.threads.pop(thread, None)
        return
    comments = []
    for index, item in enumerate(spec.get("comments", [])):
        if not isinstance(item, dict):
            raise ControlError("every comment must be an object")
        comment = {key: str(item.get(key, "")) for key in ("content", "nick", "region")}
        comment["id"] = str(item.get("id") or (int(thread) * 1000 + index + 1))
        if not comment["id"].isdigit():
            raise ControlError("comment ids must be digits")
        for key in ("userid", "time", "up"):
            if key in item:
                comment[key] = str(item[key])
        comments.append(comment)
    title = spec.get("title")
    with scenario.lock:
        scenario.threads[thread] = {"comments": comments, "title": title}
        scenario.raw_threads.pop(thread, None)


def control(scenario, method, name, body):
    try:
        if method == "GET" and name == "requests":
            with scenario.lock:
                return json_answer(list(scenario.requests))
        if method == "GET" and name == "ping":
            return json_answer({"ok": True})
        if method != "POST":
            return json_answer({"error": "unknown control call"}, 404)
        if name == "reset":
            scenario.reset()
            return json_answer({"ok": True})
        try:
            spec = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise ControlError("the body must be UTF-8 JSON")
        if not isinstance(spec, dict):
            raise ControlError("the body must be a JSON object")
        if name == "page":
            install_page(scenario, spec)
        elif name == "thread":
            install_thread(scenario, spec)
        else:
            return json_answer({"error": "unknown control call"}, 404)
        return json_answer({"ok": True})
    except ControlError as error:
        return json_answer({"error": str(error)}, 400)


# ---------------------------------------------------------------------------------------
# HTTP plumbing.
# ---------------------------------------------------------------------------------------


def split_host(authority):
    """Host name of an authority, lower-cased, without port or user part."""
    authority = authority.rpartition("@")[2]
    if authority.startswith("["):
        return authority[1:].partition("]")[0].lower()
    return authority.partition(":")[0].lower()


# A proxy request names its site: scheme, authority, then the path and query as sent.
ABSOLUTE_TARGET = re.compile(r"^([A-Za-z][A-Za-z0-9+.-]*)://([^/?#]*)([^#]*)")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this, Nagle's algorithm and the
    # client's delayed acknowledgement hold every kept-alive answer back by ~40 ms.
    disable_nagle_algorithm = True
    server_version = "LilanFixture/1.0"
    timeout = 120  # an idle kept-alive connection is let go after this

    def version_string(self):
        return self.server_version

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("fixture: %s\n" % (format % args))

    def do_GET(self):
        self.serve()

    do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = do_PATCH = do_GET

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            chunks = []
            total = 0
            while True:
                size = int(self.rfile.readline(1024).split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline(8192) not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(chunks)
                total += size
                if total > MAX_REQUEST_BODY:
                    raise ValueError("request body too large")
                chunks.append(self.rfile.read(size))
                self.rfile.readline(8)
        length = self.headers.get("Content-Length")
        if length is None:
            return b""
        size = int(length)
        if size < 0 or size > MAX_REQUEST_BODY:
            raise ValueError("bad request body length")
        return self.rfile.read(size)

    def serve(self):
        self.sent_head = False
        try:
            try:
                self.request_body = self.read_body()
            except ValueError:
                self.close_connection = True
                self.send(bad_request("bad request body\n"))
                return
            self.send(self.answer())
        except (BrokenPipeError, ConnectionResetError, socket.timeout):
            self.close_connection = True
        except Exception as error:  # never let one odd request take the server down
            self.close_connection = True
            if self.server.verbose:
                sys.stderr.write("fixture: error %r on %r\n" % (error, self.path))
            if not self.sent_head:
                try:
                    self.send(Response(500, [("Content-Type", "text/plain")], b"fixture error\n"))
                except OSError:
                    pass

    def answer(self):
        scenario = self.server.scenario
        target = self.path
        host = ANY_SITE
        absolute = ABSOLUTE_TARGET.match(target)
        if absolute:
            scheme, authority, rest = absolute.groups()
            name = split_host(authority)
            target = rest if rest.startswith("/") else "/" + rest
            if scheme.lower() != "http" or not name:
                return self.record_and(Response(502, [("Content-Type", "text/plain")],
                                                b"bad proxy target\n"))
            if name in KNOWN_HOSTS:
                host = name
            elif name not in LOOPBACK_NAMES:
                return self.record_and(Response(
                    502, [("Content-Type", "text/plain")],
                    ("no such site here: %s\n" % name).encode("latin-1", "replace")))
        elif not target.startswith("/"):
            return self.record_and(bad_request("bad request target\n"))
        else:
            name = split_host(self.headers.get("Host", ""))
            if name in KNOWN_HOSTS:
                host = name
        if host == ANY_SITE and target.startswith("/__fixture/"):
            return control(scenario, self.command, target[len("/__fixture/"):].partition("?")[0],
                           self.request_body)
        return self.record_and(site_answer(scenario, host, target, self))

    def record_and(self, response):
        self.server.scenario.record({
            "method": self.command,
            "target": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body_base64": base64.b64encode(self.request_body).decode("ascii"),
        })
        return response

    def send(self, response):
        if response.action == "reset":
            # Answer nothing: close with a reset so that the client sees a broken connection.
            self.close_connection = True
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            return
        self.send_response(response.status)
        for name, value in response.headers:
            self.send_header(name, value)
        bodiless = response.status in (204, 304) or self.command == "HEAD"
        if response.action == "stream":
            length = response.params["size"]
        elif response.action == "truncate":
            length = response.params["claimed"]
        else:
            length = 0 if response.status in (204, 304) else len(response.body)
        if response.status not in (204, 304):
            self.send_header("Content-Length", str(length))
        if response.action == "truncate":
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.sent_head = True
        if bodiless:
            return
        if response.action == "stream":
            self.stream(length)
        else:
            self.wfile.write(response.body)
        if response.action == "truncate":
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)

    def stream(self, size):
        line = b"<p>lilan fixture filler line, repeated to make a very large page.</p>\r\n"
        chunk = line * (65536 // len(line) + 1)
        sent = 0
        while sent < size:
            piece = chunk[:min(len(chunk), size - sent)]
            self.wfile.write(piece)
            sent += len(piece)


class FixtureServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64  # soak runs open many connections in a short time

    def __init__(self, port=0, verbose=False, max_recorded=20000):
        self.scenario = Scenario(max_recorded)
        self.verbose = verbose
        super().__init__(("127.0.0.1", port), Handler)

    @property
    def port(self):
        return self.server_address[1]

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def start(port=0, verbose=False):
    """Starts a server in a background thread and returns it; stop it with shutdown()."""
    server = FixtureServer(port, verbose)
    thread = threading.Thread(target=server.serve_forever, name="fixture-site", daemon=True)
    thread.start()
    return server


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local stand-in for the news site and its comment service.")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1; 0 picks a free one")
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    parser.add_argument("--max-recorded", type=int, default=20000,
                        help="recorded requests kept before the oldest are dropped")
    args = parser.parse_args(argv)
    try:
        server = FixtureServer(args.port, args.verbose, args.max_recorded)
    except OSError as error:
        sys.stderr.write("fixture site: cannot listen on 127.0.0.1:%d: %s\n" % (args.port, error))
        return 1
    print("PORT %d" % server.port, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
