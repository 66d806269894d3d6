#!/usr/bin/env python3
"""Static files for timing a whole run against a fast web server.

Writes, under --out:

* news/a/20130829/<6 digits>.htm: GBK news pages with a "<title>…_新闻_腾讯网</title>" and a
  "cmt_id = <thread>;" statement, padded with article paragraphs to about --page-kb;
* coral/c/<thread>/p<cursor>.json: the comment service's answer for each cursor of each
  thread (--comment-pages pages of 20 records, then the empty page that ends paging), the
  first page under the empty cursor ("p.json");
* addresses.txt: the news-page addresses, one a line, as a user's address list;
* urls.txt: every address the program requests for that list, in the order it requests
  them (news page, then each comment page), for the bare fetch loop;
* expected.txt: "articles <n>", the number of articles the run makes from them.

The comment records are made by the fixture site's own writer, so that the bytes have
exactly the shape the program is tested against. Everything is seeded: the same options
give the same files.
"""

import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fixture-site"))
import server  # noqa: E402  (the fixture site's record writer)

NEWS_BASE = "http://news.qq.com"
COMMENT_BASE = "http://coral.qq.com/"
THREAD_BASE = 1500000000
PAGE_SIZE = 20

PLACES = ("北京", "上海", "广州", "深圳", "武汉", "成都", "杭州", "南京", "西安", "重庆")
TOPICS = ("地铁票价调整", "中秋假期出行", "高温天气持续", "校车安全新规", "食品抽检结果",
          "房价调控细则", "景区门票降价", "垃圾分类试点", "医保报销范围", "高考改革方案")
ACTIONS = ("公布", "听证", "启动", "回应", "发布")
FRAGMENTS = ("这个问题早就该解决了", "不知道什么时候能落实", "楼上说得对", "希望有关部门重视",
             "我们小区也是这样", "转发给朋友看看", "有没有人知道具体情况", "说得好",
             "老百姓最关心的还是物价", "记者辛苦了", "坐等后续报道", "这才是真正的民生",
             "详情见http://t.qq.com/lilan", "<b>强烈支持</b>", "1/3的人都不信",
             "'引号'里的话", "看看再说吧")
ENDINGS = ("。", "！", "？", "……", "")
NICKS = ("江南布衣", "老王", "北漂一族", "深圳打工仔", "小鱼儿", "qq用户", "路人甲", "明月清风",
         "Tom猫", "星空\U0001F600")
REGIONS = ("北京:北京:", "广东:深圳:", "上海:上海:", "湖北:武汉:", "四川:成都:", "::")
PARAGRAPH = ("记者今天从有关部门获悉，相关方案已经进入征求意见阶段，预计将于年底前正式实施。"
             "业内人士表示，此举有助于缓解当前的突出矛盾，但具体效果还有待观察。"
             "不少市民对此表示欢迎，也有人担心执行过程中会出现新的问题。")


def headline(number):
    rng = random.Random("bench-headline:%d" % number)
    # The number keeps every title distinct, as the titles of different news are.
    return "%s%s%s（第%d期）" % (rng.choice(PLACES), rng.choice(TOPICS), rng.choice(ACTIONS), number)


def news_page(number, thread, size):
    title = headline(number)
    head = (
        '<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN" '
        '"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd">\r\n'
        '<html xmlns="http://www.w3.org/1999/xhtml">\r\n<head>\r\n'
        '<meta http-equiv="Content-Type" content="text/html; charset=gb2312" />\r\n'
        "<title>%s_新闻_腾讯网</title>\r\n"
        '<meta name="keywords" content="新闻,%s" />\r\n'
        '<script type="text/javascript">\r\nvar ARTICLE_INFO = window.ARTICLE_INFO || {};\r\n'
        "cmt_id = %s;\r\n</script>\r\n</head>\r\n<body>\r\n"
        '<div id="C-Main-Article-QQ">\r\n<h1>%s</h1>\r\n<div id="Cnt-Main-Article-QQ">\r\n'
        % (title, title, thread, title)
    )
    tail = "</div>\r\n</div>\r\n</body>\r\n</html>\r\n"
    body = [head]
    length = len((head + tail).encode("gbk"))
    while length < size:
        piece = "<p>%s</p>\r\n" % PARAGRAPH
        body.append(piece)
        length += len(piece.encode("gbk"))
    body.append(tail)
    return "".join(body).encode("gbk")


def comment_content(rng):
    parts = rng.sample(FRAGMENTS, rng.randint(1, 3))
    return "，".join(parts) + rng.choice(ENDINGS)


def thread_comments(thread, count):
    comments = []
    for i in range(count):
        rng = random.Random("bench-comment:%s:%d" % (thread, i))
        comments.append({
            "id": str(int(thread) * 1000 + i + 1),
            "content": comment_content(rng),
            "nick": rng.choice(NICKS),
            "region": rng.choice(REGIONS),
            "userid": str(rng.randint(10000000, 999999999)),
            "time": str(1380000000 + 60 * i),
            "up": str(rng.randint(0, 99)),
        })
    return comments


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def kept(comment, minimum):
    # The program counts characters of local text; every character here is one character
    # in either count, except the one outside the basic plane, which never occurs in contents.
    return len(comment["content"]) >= minimum


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--pages", type=int, default=200, help="news pages")
    parser.add_argument("--comment-pages", type=int, default=5, help="full comment pages per thread")
    parser.add_argument("--page-kb", type=int, default=40, help="approximate size of a news page")
    parser.add_argument("--min-length", type=int, default=5, help="the run's minimum comment length")
    parser.add_argument("--per-article", type=int, default=20, help="the run's comments per article")
    args = parser.parse_args(argv)

    addresses, urls = [], []
    articles = 0
    for n in range(1, args.pages + 1):
        thread = str(THREAD_BASE + n)
        path = "/a/20130829/%06d.htm" % n
        write(os.path.join(args.out, "news" + path), news_page(n, thread, args.page_kb * 1024))
        addresses.append(NEWS_BASE + path)
        urls.append(NEWS_BASE + path)

        comments = thread_comments(thread, args.comment_pages * PAGE_SIZE)
        # Articles never mix two addresses: each address ends its last article early.
        count = sum(kept(c, args.min_length) for c in comments)
        articles += -(-count // args.per_article)
        cursors = [""] + [comments[PAGE_SIZE * k - 1]["id"] for k in range(1, args.comment_pages + 1)]
        for cursor in cursors:
            answer = server.comment_page(thread, comments, cursor, PAGE_SIZE)
            write(os.path.join(args.out, "coral", "c", thread, "p%s.json" % cursor), answer.body)
            urls.append("%sarticle/%s/comment?commentid=%s&reqnum=20&source=1" % (COMMENT_BASE, thread, cursor))

    write(os.path.join(args.out, "addresses.txt"), "".join(a + "\r\n" for a in addresses).encode("ascii"))
    write(os.path.join(args.out, "urls.txt"), "".join(u + "\n" for u in urls).encode("ascii"))
    write(os.path.join(args.out, "expected.txt"), ("articles %d\n" % articles).encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
