#!/usr/bin/env python3
"""What judging content costs, in requests: a 600-page site that answers every unknown address with a
200 "页面不存在" page, and an outside host that does the same, on two loopback ports.

    cost.py BASE_PORT

Port BASE is the site: the home page links its 600 pages (three folders), ten removed pages and three
pages of the outside host (BASE+1); every page links the home page and its next sibling. GET /stats on
BASE tells, per port, the requests, the most any one known page got, and the requests for addresses
the site does not have (made-up ones and the removed pages). Stops after an hour, or on SIGTERM.
"""
import json
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

BASE = int(sys.argv[1])
OUTSIDE = BASE + 1
FOLDERS = ["/news/", "/products/", "/blog/2023/"]
PER_FOLDER = 200


def page(title, main):
    return (f"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>{title}</title></head><body>"
            f"<div>首页 | 产品中心 | 新闻动态 | 联系我们</div><div class=\"main\">{main}</div>"
            f"<div>版权所有 © 2024 华瑞精工机械有限公司</div></body></html>")


def link(href):
    return f"<a href=\"{href}\">{href}</a> "


PATHS = [f"{folder}item-{i}.html" for folder in FOLDERS for i in range(1, PER_FOLDER + 1)]
REMOVED = [f"{FOLDERS[i % 3]}removed-{i}.html" for i in range(10)]
OUTSIDE_LINKS = [f"http://127.0.0.1:{OUTSIDE}{p}" for p in ["/ext/a.html", "/ext/b.html", "/docs/c.html"]]
SITE = {"/": page("华瑞精工", "<p>专业生产数控机床。</p>" + "".join(map(link, PATHS + REMOVED + OUTSIDE_LINKS)))}
for n, p in enumerate(PATHS):
    SITE[p] = page(f"文章 {n}", f"<h1>文章 {n}</h1><p>这是第 {n} 篇文章的正文，讲数控机床第 {n} 种用法。</p>"
                   + link("/") + link(PATHS[(n + 1) % len(PATHS)]))
OUTSIDE_SITE = {"/": page("合作伙伴", "<p>伙伴首页</p>"), "/ext/a.html": page("甲", "<p>甲方案详情</p>"),
                "/ext/b.html": page("乙", "<p>乙方案详情</p>"), "/docs/c.html": page("丙", "<p>丙文档正文</p>")}
MISSING = page("页面不存在", "<h1>页面不存在</h1><p>您访问的页面不存在或已被删除。</p>")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    counts = {}  # (port, path) -> requests
    lock = threading.Lock()

    def log_message(self, *args):
        pass

    def send(self, body):
        data = body.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        port = self.server.server_address[1]
        if port == BASE and self.path == "/stats":
            return self.send(json.dumps(stats()))
        with Handler.lock:
            Handler.counts[(port, self.path)] = Handler.counts.get((port, self.path), 0) + 1
        pages = SITE if port == BASE else OUTSIDE_SITE
        self.send(pages.get(self.path, MISSING))


def stats():
    with Handler.lock:
        counts = dict(Handler.counts)
    out = {}
    for port, pages in ((BASE, SITE), (OUTSIDE, OUTSIDE_SITE)):
        mine = {p: n for (q, p), n in counts.items() if q == port}
        known = [n for p, n in mine.items() if p in pages]
        out[str(port)] = {"requests": sum(mine.values()), "mostForOnePage": max(known, default=0),
                          "pagesAskedTwice": sum(1 for n in known if n > 1),
                          "unknownAddresses": sorted(p for p in mine if p not in pages)}
    return out


servers = [ThreadingHTTPServer(("127.0.0.1", port), Handler) for port in (BASE, OUTSIDE)]
for s in servers:
    threading.Thread(target=s.serve_forever, daemon=True).start()
print("serving", flush=True)
threading.Event().wait(3600)
