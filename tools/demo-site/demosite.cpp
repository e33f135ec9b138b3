#include "demosite.h"

#include <QString>
#include <QStringEncoder>

namespace {

std::string html(const char* title, const char* body)
{
    return std::string("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>") + title +
           "</title></head>\n<body>\n<h1>" + title + "</h1>\n" + body + "\n</body></html>\n";
}

// A page declared and encoded as gb2312, as many older Chinese sites still serve them.
std::string gb2312Page()
{
    const QString text = QStringLiteral(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "<title>旧版栏目</title></head><body><h1>旧版栏目（gb2312 编码）</h1>"
        "<p>这一页用 gb2312 编码保存。</p>"
        "<a href=\"/gb/page2.html\">第二页</a> <a href=\"/gb/missing.html\">已删除的文章</a>"
        "<a href=\"/index.html\">返回首页</a></body></html>");
    QStringEncoder encoder("GB18030");
    const QByteArray bytes = encoder.encode(text);
    return bytes.toStdString();
}

} // namespace

std::map<std::string, DemoPage> DemoSitePages()
{
    std::map<std::string, DemoPage> pages;
    pages["/"].body = html("Kelvara 演示网站",
                           "<p>欢迎！这个小网站专门用来试用死链接检测。</p>\n"
                           "<a href=\"/about.html\">关于我们</a>\n"
                           "<a href=\"news/index.html\">新闻中心</a>\n"
                           "<a href=\"/products.html\">产品介绍</a>\n"
                           "<a href=\"/gb.html\">旧版栏目</a>\n"
                           "<a href=\"/missing.html\">一个不存在的页面</a>\n"
                           "<a href=\"/slow.html\">很慢的页面</a>\n"
                           "<a href=\"mailto:demo@example.com\">写信</a>\n"
                           "<a href=\"#top\">回到顶部</a>");
    pages["/about.html"].body = html("关于我们",
                                     "<a href=\"/\">首页</a> <a href=\"/team.html\">团队（已删除）</a> "
                                     "<a href=\"/contact.html\">联系我们</a>");
    pages["/contact.html"].body = html("联系我们", "<a href=\"/about.html\">关于我们</a> "
                                                   "<a href=\"http://127.0.0.1:1/\">旧的客服系统</a>");
    pages["/news/index.html"].body = html("新闻中心",
                                          "<a href=\"2024.html\">2024 年新闻</a> <a href=\"2025.html\">2025 年新闻</a> "
                                          "<a href=\"../products.html\">产品介绍</a> <a href=\"old.html\">旧新闻</a>");
    pages["/news/2024.html"].body = html("2024 年新闻", "<a href=\"/news/index.html\">新闻中心</a>");
    pages["/news/2025.html"].body =
        html("2025 年新闻", "<a href=\"/download/kelvara.zip\">下载（链接已失效）</a> <a href=\"/\">首页</a>");
    pages["/news/old.html"] = {html("已下线", "<p>这篇新闻已下线。</p>"), "text/html; charset=utf-8", 410, 0};
    pages["/products.html"].body = html("产品介绍", "<a href=\"/products/a.html\">产品 A</a> "
                                                    "<a href=\"/products/b.html\">产品 B</a>");
    pages["/products/a.html"].body = html("产品 A", "<a href=\"/products.html\">返回</a>");
    pages["/products/b.html"].body = html("产品 B", "<a href=\"/api/status\">在线状态</a>");
    pages["/api/status"] = {"error", "text/plain", 500, 0};
    pages["/gb.html"] = {gb2312Page(), "text/html", 200, 0};
    pages["/gb/page2.html"].body = html("第二页", "<a href=\"/gb.html\">旧版栏目</a>");
    pages["/slow.html"] = {html("很慢的页面", "<p>终于打开了。</p>"), "text/html; charset=utf-8", 200, 12};
    return pages;
}
