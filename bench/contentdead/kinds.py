#!/usr/bin/env python3
"""Small sites built like real company, shop, blog, documentation and app sites, one per loopback port,
each with its own way of answering missing pages, for measuring content dead links:

    kinds.py BASE_PORT TRUTH_FILE

Each site's home page links its good pages and its missing pages in disguise ("soft"). The truth file
lists, per port, the kind's name and both lists. Stops after an hour at the latest, or on SIGTERM.
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
PICKS = ["机床保养十问", "五轴加工入门", "刀具选型指南", "数控编程技巧", "车间安全守则", "精度检测方法",
         "液压系统维护", "伺服电机选型", "主轴故障排查", "夹具设计要点"]


def page(title, main, company="华瑞精工机械有限公司", box=False, head=""):
    side = ""
    if box:  # a box of recommendations drawn afresh on every answer
        side = "<div class=\"rec\"><h3>推荐阅读</h3>" + "".join(
            f"<p><a href=\"/r/{i}\">{t}</a></p>" for i, t in enumerate(random.sample(PICKS, 3))) + "</div>"
    return (f"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>{title} - {company}</title>{head}"
            f"<script>var _hmt=_hmt||[];</script></head><body>"
            f"<div class=\"nav\"><a href=\"/\">首页</a> | 产品中心 | 新闻动态 | 解决方案 | 联系我们</div>"
            f"<div class=\"main\">{main}</div>{side}"
            f"<div class=\"foot\">版权所有 © 2008-2024 {company} 地址：江苏省苏州市工业园区星湖街 苏ICP备10086110号</div>"
            f"</body></html>")


def article(title, body, **kw):
    return page(title, f"<h1>{title}</h1><p>{body}</p><p>发布时间：2024-03-{random.randint(10, 28)}</p>", **kw)


NOT_FOUND = lambda words, **kw: page("提示", f"<h2>{words}</h2><p>请返回首页继续浏览。</p>", **kw)
SHELL = {
    "vue_loading": "<div id=\"app\"><p class=\"loading\">加载中，请稍候…</p></div><script src=\"/js/app.js\"></script>",
    "angular": "<app-root>Loading…</app-root><script src=\"/main.js\"></script>",
    "react_root": "<div id=\"react-root\"><div class=\"spinner\"></div></div><script src=\"/static/js/main.js\"></script>",
    "vue_template": "<div id=\"app\"><h1>{{ title }}</h1><p v-html=\"content\"></p></div><script src=\"/app.js\"></script>",
    "noscript": "<noscript>You need to enable JavaScript to run this app.</noscript><div id=\"main\"></div>"
                "<script src=\"/bundle.js\"></script>",
}


class Kind:
    """A site: fixed answers by path (and path?query), and a fallback for everything else."""

    def __init__(self, name, good, soft, pages=None, fallback=None):
        self.name, self.good, self.soft = name, good, soft
        self.pages = pages or {}
        self.fallback = fallback or (lambda path, query: (404, "<h1>404 Not Found</h1>", {}))

    def answer(self, path, query, raw):
        key = path + ("?" + raw if raw else "")
        if key in self.pages or path in self.pages:
            a = self.pages.get(key, self.pages.get(path))
            a = a() if callable(a) else a
            return a if isinstance(a, tuple) else (200, a, {})
        if path == "/":
            return 200, self.home(), {}
        return self.fallback(path, query)

    def home(self):
        return page("首页", "<h1>欢迎</h1>" + self.links())

    def links(self):
        return "".join(f"<p><a href=\"{u}\">栏目 {i}</a></p>" for i, u in enumerate(self.good + self.soft))


def moved(to, status=302, cookie=None):
    headers = {"Location": to}
    if cookie:
        headers["Set-Cookie"] = cookie
    return status, "", headers


def soft200(words, **kw):
    return lambda path, query: (200, NOT_FOUND(words, **kw), {})


def kinds():
    k = []
    # Pages built by scripts: every route answers the same shell; none is judged.
    for name, body in SHELL.items():
        shell = f"<!DOCTYPE html><html><head><meta charset=utf-8><title>控制台</title></head><body>{body}</body></html>"
        kd = Kind(f"app shell: {name}", ["/settings", "/projects/12", "/user/profile"], [])
        shell = shell.replace("</body>", f"<div class=\"nav\">{kd.links()}</div></body>")
        kd.fallback = lambda p, q, s=shell: (200, s, {})
        kd.pages = {"/": shell}
        k.append(kd)
    home = page("首页", "<h1>欢迎来到华瑞精工</h1><p>专业生产数控机床二十年。</p>")
    # Links that lead home by design.
    k.append(Kind("home variants", ["/home/", "/index/", "/m/", "/cn/", "/about/company.html"], ["/news/old-1.html"],
                  {"/home/": home, "/index/": home, "/m/": home, "/cn/": home,
                   "/about/company.html": article("公司简介", "华瑞精工成立于2004年。")}, soft200("页面不存在")))
    k.append(Kind("language switch by cookie", ["/lang/zh-tw", "/lang/en", "/about.html"], ["/news/2019/gone.html"],
                  {"/lang/zh-tw": moved("/", cookie="lang=zh-tw; Path=/"), "/lang/en": moved("/", cookie="lang=en; Path=/"),
                   "/about.html": article("关于我们", "我们是一家机床企业。")}, lambda p, q: moved("/")))
    zh_home = page("首页", "<h1>歡迎</h1><p>專業生產數控機床。</p>")
    k.append(Kind("language home folder", ["/zh", "/zh/about.html", "/en/"], ["/zh/news/gone.html"],
                  {"/zh": moved("/zh/", 301), "/zh/": zh_home, "/en/": page("Home", "<h1>Welcome</h1>"),
                   "/zh/about.html": article("關於我們", "成立於2004年。")}, soft200("页面不存在")))
    blog_home = page("博客", "".join(f"<h2>文章标题 {i}</h2><p>摘要 {i}</p>" for i in range(1, 6)))
    k.append(Kind("blog lists", ["/posts/", "/page/1/", "/page/9/", "/2023/05/hello-world/"], ["/2019/01/removed-post/"],
                  {"/posts/": blog_home, "/page/1/": blog_home, "/page/9/": blog_home,
                   "/2023/05/hello-world/": article("Hello world", "第一篇文章。")},
                  soft200("Nothing was found at this location.")))
    # Sign-in walls.
    k.append(Kind("login redirect", ["/member/orders.html", "/member/profile.html", "/news/1.html"], [],
                  {"/news/1.html": article("公司新闻", "新品发布。"), "/login.html": page("登录", "<form><input type=password></form>")},
                  lambda p, q: moved("/login.html?redirect=" + p) if p.startswith("/member/") else (404, "Not Found", {})))
    k.append(Kind("sign-in for every private path", ["/group/project", "/dashboard/issues", "/explore"], [],
                  {"/explore": page("Explore", "<p>Projects</p>"), "/users/sign_in": page("Sign in", "<form><input type=password></form>")},
                  lambda p, q: moved("/users/sign_in")))
    k.append(Kind("login form in place", ["/member/center.html", "/about.html"], ["/news/gone.html"],
                  {"/member/center.html": page("会员中心", "<p>请先登录</p><form><input name=u><input type=password></form>"),
                   "/about.html": article("关于", "简介。")}, soft200("页面不存在")))
    # Template shops.
    shop = lambda name: page("产品详情", f"<h1>{name}</h1><p>价格：登录后查看</p><p>型号：{name[:2]}</p>", company="某某失效分析有限公司", box=True)
    k.append(Kind("template shop", ["/product/101.html", "/product/102.html", "/product/103.html"], ["/product/999.html"],
                  {"/product/101.html": lambda: shop("数控车床"), "/product/102.html": lambda: shop("激光切割机"),
                   "/product/103.html": lambda: shop("折弯机")},
                  lambda p, q: (200, page("产品详情", "<p>该产品已下架</p><p>价格：登录后查看</p>", company="某某失效分析有限公司", box=True), {})))
    k.append(Kind("template shop, no message", ["/goods/21.html", "/goods/22.html"], [],
                  {"/goods/21.html": lambda: shop("液压机"), "/goods/22.html": lambda: shop("剪板机")},
                  lambda p, q: (200, page("产品详情", "<h1></h1><p>价格：登录后查看</p><p>型号：</p>", company="某某失效分析有限公司", box=True), {})))
    # Parameters that do not name the page, pagination, lists.
    thread = article("技术交流", "主轴异响怎么办？")

    def tracked(p, q):
        if p == "/goods.php":
            on_sale = q.get("id", [""])[0] in ("5", "6")
            return 200, article("商品" + q["id"][0], "在售。") if on_sale else NOT_FOUND("该商品不存在"), {}
        return 200, NOT_FOUND("页面不存在"), {}
    k.append(Kind("tracking parameters", ["/thread-5-1-1.html?fromuid=3", "/article/7.html?bd_vid=123",
                                          "/goods.php?id=5&gdt_vid=99", "/goods.php?id=6&from=singlemessage"], ["/goods.php?id=888"],
                  {"/thread-5-1-1.html": thread, "/article/7.html": article("第七篇", "正文。")}, tracked))
    news_list = page("新闻列表", "<ul><li>新闻一</li><li>新闻二</li></ul>")
    k.append(Kind("old list addresses", ["/news.asp", "/news/index.asp", "/news/list.html", "/news/a.html"], ["/news/old-item.html"],
                  {"/news.asp": moved("/news/list.html", 301), "/news/index.asp": moved("/news/list.html", 301),
                   "/news/list.html": news_list, "/news/a.html": article("新闻A", "内容A。")},
                  lambda p, q: moved("/news/list.html") if p.startswith("/news/") else (404, "Not Found", {})))
    quoting = lambda i: article(f"出现“页面不存在”错误怎么办 {i}", "当页面不存在或已被删除时，服务器返回 404 错误。")
    k.append(Kind("router ignores the slug", ["/article/5/how-to-fix-404", "/article/6/error-codes"], ["/article/999/gone-slug"],
                  {}, lambda p, q: (200, quoting(p.split("/")[2]), {}) if re.fullmatch(r"/article/[56]/.*", p)
                  else (200, NOT_FOUND("文章不存在"), {}) if p.startswith("/article/") else (404, "Not Found", {})))
    k.append(Kind("path page numbers", ["/news/page/2/", "/news/page/7/"], [],
                  {}, lambda p, q: (200, page("新闻", "<p>新闻列表 第2页</p>"), {}) if p.startswith("/news/page/") else (404, "Not Found", {})))
    # Missing pages on hosts that otherwise answer 404.
    k.append(Kind("blog app on a 404 host", ["/blog/hello", "/blog/world"], ["/blog/removed-post"],
                  {"/blog/hello": article("Hello", "第一篇。"), "/blog/world": article("World", "第二篇。")},
                  lambda p, q: (200, NOT_FOUND("文章不存在"), {}) if p.startswith("/blog/") else (404, "Not Found", {})))
    k.append(Kind("rewrite on a 404 host", ["/html/12.html", "/html/13.html"], ["/html/99.html"],
                  {"/html/12.html": article("十二", "内容。"), "/html/13.html": article("十三", "内容。")},
                  lambda p, q: (200, NOT_FOUND("文章不存在"), {}) if re.fullmatch(r"/html/\d+\.html", p) else (404, "Not Found", {})))
    k.append(Kind("one-level router", ["/news/launch"], ["/news/old"],
                  {"/news/launch": article("发布会", "内容。")},
                  lambda p, q: (200, NOT_FOUND("新闻不存在"), {}) if re.fullmatch(r"/news/[^/]+", p) else (404, "Not Found", {})))
    # Wording outside a list of words, noise, echoes.
    for words in ["页面不见了", "您要找的内容已丢失", "该内容已移除", "Sorry, this page can’t be found.", "哎呀，这里什么也没有"]:
        k.append(Kind(f"wording: {words}", ["/news/new.html", "/about.html"], ["/news/old.html", "/help/gone.html"],
                      {"/news/new.html": article("新闻", "新产品上市。", box=True), "/about.html": article("关于", "简介。", box=True)},
                      soft200(words, box=True)))
    k.append(Kind("echoes the slug's words", ["/reports/annual-report-2023.html"], ["/reports/old-report-2019.html"],
                  {"/reports/annual-report-2023.html": article("2023年报", "营收增长。")},
                  lambda p, q: (200, page("未找到", f"<h2>没有找到与 {' '.join(re.findall(r'[a-z0-9]+', p.split('/')[-1][:-5]))} 相关的页面</h2>"), {})))
    # Sent on by the page, or by HTTP.
    k.append(Kind("meta refresh home", ["/news/real.html"], ["/news/gone.html", "/a/b/c.html"],
                  {"/news/real.html": article("真实", "内容。")},
                  lambda p, q: (200, "<html><head><meta http-equiv=\"refresh\" content=\"0;url=/\"></head><body></body></html>", {})))
    k.append(Kind("script sends home", ["/news/real.html"], ["/news/gone.html"],
                  {"/news/real.html": article("真实", "内容。")},
                  lambda p, q: (200, "<html><head><script>window.location.href='/';</script></head><body></body></html>", {})))
    k.append(Kind("unknown news sent to the list", ["/news/list.html", "/news/a.html"], ["/news/old.html"],
                  {"/news/list.html": news_list, "/news/a.html": article("新闻A", "内容A。")},
                  lambda p, q: moved("/news/list.html")))
    k.append(Kind("deep page sent home on a 200 host", ["/news/2020/new.html"], ["/news/2019/old.html"],
                  {"/news/2020/new.html": article("新", "内容。"), "/news/2019/old.html": moved("/")}, soft200("页面不存在")))
    k.append(Kind("redirect to an error page", ["/help/faq.html"], ["/help/faq-2019.html", "/x/y.html"],
                  {"/help/faq.html": article("常见问题", "如何下单？"), "/error.html": page("出错了", "<h1>您要找的页面走丢了</h1>")},
                  lambda p, q: moved("/error.html")))
    everywhere = Kind("home page everywhere", ["/about.html", "/m/"], ["/news/x.html"], {"/about.html": article("关于", "简介。")})
    everywhere.fallback = lambda p, q, kd=everywhere: (200, kd.home(), {})
    k.append(everywhere)
    # Ids.
    goods = lambda i: article(f"商品 {i}", "现货供应。")
    k.append(Kind("short ids", ["/goods/5.html", "/goods/42.html"], ["/goods/7.html", "/goods/31337.html"],
                  {"/goods/5.html": goods(5), "/goods/42.html": goods(42)},
                  lambda p, q: (200, NOT_FOUND("商品不存在"), {}) if re.fullmatch(r"/goods/\d{1,6}\.html", p) else (404, "Not Found", {})))
    k.append(Kind("the id among other numbers", ["/item.php?id=1&color=2"], ["/item.php?id=99&color=2"], {},
                  lambda p, q: (200, goods(1), {}) if q.get("id") == ["1"] else (200, NOT_FOUND("商品不存在"), {})))
    k.append(Kind("gone ids in a query", ["/show.php?id=3", "/show.php?id=4"], ["/show.php?id=77"], {},
                  lambda p, q: (200, article(f"信息{q.get('id', [''])[0]}", "详情。"), {}) if q.get("id") in (["3"], ["4"])
                  else (200, NOT_FOUND("信息不存在或已删除"), {})))
    # Folders and documentation.
    k.append(Kind("folder index pages", ["/tutorial/index.html", "/tutorial/step1.html"], ["/guide/index.html"],
                  {"/tutorial/index.html": article("教程", "目录。"), "/tutorial/step1.html": article("第一步", "安装。")},
                  soft200("页面不存在")))
    docs_nav = "<div class=\"side\"><a href=\"/docs/install.html\">安装</a> <a href=\"/docs/api/config.html\">配置</a></div>"
    k.append(Kind("documentation", ["/docs/install.html", "/docs/api/config.html"], ["/docs/old-page.html", "/docs/api/removed.html"],
                  {"/docs/install.html": page("安装", docs_nav + "<h1>安装</h1><p>运行安装程序。</p>"),
                   "/docs/api/config.html": page("配置", docs_nav + "<h1>配置</h1><p>编辑配置文件。</p>")},
                  lambda p, q: (200, page("404", docs_nav + "<h1>404 - Page Not Found</h1><p>The page you requested could not be found.</p>"), {})))
    k.append(Kind("classic catch-all", ["/about.html", "/contact.html", "/search.php?keyword=abc", "/news/how-to-fix-404.html"],
                  ["/a/old.html", "/b/gone.php"],
                  {"/about.html": article("关于", "简介。"), "/contact.html": "<meta charset=utf-8><p>电话：0512-88886666</p>",
                   "/search.php": page("搜索", "<p>没有找到与“abc”相关的结果</p>"),
                   "/news/how-to-fix-404.html": article("网站出现“页面不存在”怎么办", "出现 404 错误时，先检查链接。")},
                  lambda p, q: (200, page("页面不存在", f"<h2>抱歉，您访问的页面 {p} 不存在或已被删除</h2>", box=True), {})))
    k.append(Kind("empty category", ["/category/empty.html", "/category/full.html"], [],
                  {"/category/empty.html": page("行业动态", "<p>该分类下暂无文章</p>"),
                   "/category/full.html": page("公司动态", "<p>文章一</p>")}, soft200("页面不存在")))
    k.append(Kind("language prefix", ["/en/", "/en/about.html"], ["/en/news/gone.html"],
                  {"/en/": page("Home", "<h1>Welcome</h1>"), "/en/about.html": article("About", "We make machines.")},
                  lambda p, q: (200, page("Not found", "<h1>Page not found</h1>"), {})))
    k.append(Kind("mobile folder", ["/m/news/1.html", "/m/"], ["/m/news/99.html"],
                  {"/m/": home, "/m/news/1.html": article("手机新闻", "内容。")},
                  lambda p, q: (200, NOT_FOUND("新闻不存在"), {}) if p.startswith("/m/news/") else (404, "Not Found", {})))
    zh = Kind("home moved to a language folder", ["/zh", "/zh/about.html", "/en/"], ["/zh/news/gone.html"])
    zh.pages = {"/": moved("/zh/"), "/zh": moved("/zh/", 301), "/zh/": lambda kd=zh: kd.home(),
                "/en/": page("Home", "<h1>Welcome</h1>"), "/zh/about.html": article("關於我們", "成立於2004年。")}
    zh.fallback = soft200("页面不存在")
    k.append(zh)
    k.append(Kind("gone ids sent to a notice page", ["/goods.php?id=11", "/goods.php?id=12"], ["/goods.php?id=999"],
                  {"/tips.html": page("提示信息", "<p>您访问的商品已下架</p>")},
                  lambda p, q: (200, goods(q["id"][0]), {}) if q.get("id") in (["11"], ["12"]) else moved("/tips.html?msg=1")))
    k.append(Kind("dated blog folders", ["/2024/01/new-post.html", "/2023/11/other-post.html"],
                  ["/2019/05/old-post.html", "/2024/01/removed.html"],
                  {"/2024/01/new-post.html": article("新文章", "正文。", box=True),
                   "/2023/11/other-post.html": article("另一篇", "正文。", box=True)},
                  soft200("抱歉，文章已被删除", box=True)))
    k.append(Kind("proper 404", ["/a.html", "/b/c.html"], [],
                  {"/a.html": article("甲", "内容。"), "/b/c.html": article("乙", "内容。")}))
    return k


KINDS = kinds()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    counts = {}
    lock = threading.Lock()

    def log_message(self, *args):
        pass

    def do_GET(self):
        port = self.server.server_address[1]
        with Handler.lock:
            Handler.counts[port] = Handler.counts.get(port, 0) + 1
        parts = urlsplit(self.path)
        if parts.path == "/__stats":
            return self.send(200, json.dumps(Handler.counts), {})
        status, body, headers = KINDS[port - BASE].answer(parts.path, parse_qs(parts.query), parts.query)
        self.send(status, body, headers)

    def send(self, status, body, headers):
        data = body.encode("utf-8")
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


with open(TRUTH, "w") as f:
    json.dump([{"port": BASE + i, "name": kd.name, "good": kd.good, "soft": kd.soft} for i, kd in enumerate(KINDS)],
              f, ensure_ascii=False, indent=1)
servers = [ThreadingHTTPServer(("127.0.0.1", BASE + i), Handler) for i in range(len(KINDS))]
for s in servers:
    threading.Thread(target=s.serve_forever, daemon=True).start()
print("serving", len(KINDS), flush=True)
threading.Event().wait(3600)
