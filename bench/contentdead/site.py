#!/usr/bin/env python3
"""A site whose missing pages hide behind normal answers, on six loopback ports, for measuring
content dead links: seven missing pages in disguise, 25 valid pages that resemble them, real 404s.

    site.py BASE_PORT TRUTH_FILE

Port BASE is the site itself; BASE+1..BASE+5 are other hosts it links to. Each port answers its
missing pages in its own way. Stops after an hour at the latest, or on SIGTERM.
"""
import json
import random
import re
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit, parse_qs

BASE = int(sys.argv[1])
TRUTH = sys.argv[2]
NAV = "首页 | 产品中心 | 新闻动态 | 解决方案 | 联系我们"
FOOT = "版权所有 © 2008-2024 华瑞精工机械有限公司 地址：江苏省苏州市工业园区星湖街 京ICP备10086110号"


def page(title, main, nav=NAV, foot=FOOT):
    return (f"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>{title}</title>"
            f"<style>body{{font:14px sans-serif}}</style><script>var _hm=1;</script></head><body>"
            f"<div class=\"nav\">{nav}</div><div class=\"main\">{main}</div>"
            f"<div class=\"side\">热门产品：数控机床 · 激光切割机 · 折弯机</div>"
            f"<div class=\"foot\">{foot}</div></body></html>")


def url(port, path):
    return f"http://127.0.0.1:{port}{path}"


MAIN, REDIRECT_HOME, REDIRECT_ERROR, SHOP, HOME_EVERYWHERE, PROPER = (BASE + i for i in range(6))

# What each link is: missing pages in disguise, valid look-alikes, real 404s.
SOFT = [url(MAIN, "/news/2023/old-article.html"), url(MAIN, "/about/history-2015.html"),
        url(REDIRECT_HOME, "/products/discontinued.html"), url(REDIRECT_ERROR, "/help/faq-2019.html"),
        url(SHOP, "/goods.php?id=8848"), url(SHOP, "/item/99999"), url(HOME_EVERYWHERE, "/news/gone-news.html")]
VALID = [url(MAIN, p) for p in ["/about/company.html", "/contact.html", "/news/2024/launch.html",
                                "/search.php?keyword=%E4%B8%8D%E5%AD%98%E5%9C%A8", "/index.html", "/default.aspx",
                                "/?from=nav", "/news/how-to-fix-404.html", "/category/empty.html",
                                "/article/5/cnc-machine-guide", "/list.php?page=2",
                                "/news/2024/launch.html?utm_source=weibo"]]
VALID += [url(REDIRECT_HOME, p) for p in ["/products/current.html", "/docs", "/old-page.html"]]
VALID += [url(REDIRECT_ERROR, p) for p in ["/help/faq.html", "/help/"]]
VALID += [url(SHOP, p) for p in ["/goods.php?id=1", "/goods.php?id=2", "/item/100", "/goods.php?id=3&from=weibo"]]
VALID += [url(HOME_EVERYWHERE, p) for p in ["/news/real-news.html", "/about.html"]]
VALID += [url(PROPER, p) for p in ["/a.html", "/b.html"]]
REAL_404 = [url(SHOP, "/missing.html"), url(PROPER, "/gone1.html"), url(PROPER, "/gone2.html")]

HOME = page("华瑞精工 - 首页", "<h1>欢迎来到华瑞精工</h1><p>专业生产数控机床二十年。</p><ul>" +
            "".join(f"<li><a href=\"{u}\">{u}</a></li>" for u in SOFT + VALID + REAL_404) + "</ul>")
ARTICLE = page("新品发布", "<h1>2024 新品发布会圆满举行</h1><p>本次发布会推出了新一代五轴联动数控机床。</p>")
PAGES = {
    "/": HOME, "/index.html": HOME, "/default.aspx": HOME,
    "/about/company.html": page("公司简介", "<p>华瑞精工成立于2004年。</p>"),
    "/contact.html": "<meta charset=utf-8><p>电话：0512-88886666</p>",
    "/news/2024/launch.html": ARTICLE,
    "/news/how-to-fix-404.html": page("网站出现“页面不存在”怎么办",
                                      "<h1>网站出现“页面不存在”怎么办</h1><p>出现 404 错误时，先检查链接是否已被删除。</p>"),
    "/category/empty.html": page("行业动态", "<p>该分类下暂无文章</p>"),
    "/list.php": page("新闻列表", "<ul><li>新闻一</li><li>新闻二</li></ul>"),
}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    counts = {}
    lock = threading.Lock()

    def log_message(self, *args):
        pass

    def send(self, status, body="", location=None):
        data = body.encode("utf-8")
        self.send_response(status)
        if location:
            self.send_header("Location", location)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        port = self.server.server_address[1]
        with Handler.lock:
            Handler.counts[port] = Handler.counts.get(port, 0) + 1
        parts = urlsplit(self.path)
        path, query = parts.path, parse_qs(parts.query)
        if port == BASE and path == "/stats":
            return self.send(200, json.dumps({str(k): v for k, v in Handler.counts.items()}))
        getattr(self, f"host{port - BASE}")(path, query)

    def host0(self, path, query):  # a catch-all answer that repeats the address
        if path in PAGES:
            return self.send(200, PAGES[path])
        if path == "/search.php":
            return self.send(200, page("搜索结果", f"<p>没有找到与“{query.get('keyword', [''])[0]}”相关的结果</p>"))
        if re.fullmatch(r"/article/5/[^/]+", path):
            return self.send(200, page("数控机床选购指南", "<h1>数控机床选购指南</h1><p>选购时应关注精度与刚性。</p>"))
        picks = random.sample(["机床保养十问", "五轴加工入门", "刀具选型指南", "数控编程技巧", "车间安全守则", "精度检测方法"], 3)
        self.send(200, page("页面不存在 - 华瑞精工", f"<h2>抱歉，您访问的页面 {path} 不存在或已被删除</h2><p>请返回首页继续浏览。</p>"
                                             "<p>猜你喜欢：</p>" + "".join(f"<p>{t}</p>" for t in picks)))

    def host1(self, path, query):  # every missing address is sent to the home page
        known = {"/": HOME.replace("华瑞精工 - 首页", "产品站"), "/products/current.html": page("五轴机床", "<p>在售</p>"),
                 "/docs/": page("文档中心", "<p>使用手册下载</p>"), "/new-page.html": page("新页面", "<p>本页已迁移到这里</p>")}
        moved = {"/docs": "/docs/", "/old-page.html": "/new-page.html"}
        if path in known:
            return self.send(200, known[path])
        self.send(301 if path in moved else 302, "", moved.get(path, "/"))

    def host2(self, path, query):  # every missing address is sent to an error page that answers 200
        known = {"/": page("帮助中心", "<p>常见问题</p>"), "/help/": page("帮助", "<p>帮助目录</p>"),
                 "/help/faq.html": page("常见问题", "<p>问：如何下单？答：在线提交。</p>"),
                 "/error/404.html": page("出错了", "<h1>您要找的页面走丢了</h1>")}
        if path in known:
            return self.send(200, known[path])
        self.send(302, "", "/error/404.html")

    def host3(self, path, query):  # 404 for missing paths, 200 for ids that are gone
        if path == "/":
            return self.send(200, page("商城", "<p>欢迎光临</p>"))
        names = {"1": "数控车床 CK6140", "2": "激光切割机 LC-3015", "3": "折弯机 WE67K", "100": "液压机 YQ32"}
        ident = query.get("id", [""])[0] if path == "/goods.php" else path[6:] if path.startswith("/item/") else None
        if ident is None:
            return self.send(404, page("404 Not Found", "<h1>Not Found</h1>"))
        if ident in names:
            return self.send(200, page(names[ident], f"<h1>{names[ident]}</h1><p>价格：面议</p>"))
        self.send(200, page("商品详情", "<p>该商品不存在或已下架</p>"))

    def host4(self, path, query):  # the home page for every address
        pages = {"/news/real-news.html": page("行业新闻", "<p>机床行业景气度回升。</p>"), "/about.html": "<meta charset=utf-8>关于我们：小店一家。"}
        self.send(200, pages.get(path, page("小站首页", "<p>本站提供机床配件。</p><p>今日特价：刀具九折。</p>")))

    def host5(self, path, query):  # a server that answers 404 properly
        pages = {"/": page("正规站", "<p>首页</p>"), "/a.html": page("A", "<p>甲</p>"), "/b.html": "<meta charset=utf-8>乙"}
        self.send(200, pages[path]) if path in pages else self.send(404, "<h1>Not Found</h1>")


with open(TRUTH, "w") as f:
    json.dump({"soft": SOFT, "valid": VALID, "real404": REAL_404}, f, ensure_ascii=False, indent=1)
servers = [ThreadingHTTPServer(("127.0.0.1", BASE + i), Handler) for i in range(6)]
for s in servers:
    threading.Thread(target=s.serve_forever, daemon=True).start()
print("serving", flush=True)
threading.Event().wait(3600)
