#pragma once

#include "checksettings.h"

#include <QString>

// Texts of the main window, exactly as they are shown.
namespace MainText {
inline QString appTitle() { return QStringLiteral("Kelvara"); }
inline QString windowTitle() { return QStringLiteral("Kelvara V1.0"); }
inline QString notice() { return QStringLiteral("提示"); }

// Start/stop command
inline QString start() { return QStringLiteral("开始检测"); }
inline QString stop() { return QStringLiteral("停止检测"); }
inline QString chooseSite() { return QStringLiteral("请选择一个网站！"); }
inline QString timeoutRange() { return QStringLiteral("请输入10到30之间的数字"); }
// `settings`: the certificate settings of the environment that name nothing readable.
inline QString unreadableCertificates(const QString& settings)
{
    return QStringLiteral("无法读取证书：%1。https 链接将因证书不受信任而显示为死链接。").arg(settings);
}

// Start-up and shut-down
inline QString alreadyRunning() { return QStringLiteral("程序已运行。"); }
inline QString runningNoExit() { return QStringLiteral("程序正在运行中，请停止后推出。"); }
inline QString reallyExit() { return QStringLiteral("是否真的要退出软件？"); }

// Site list
inline QString siteFrame() { return QStringLiteral("检测网站"); }
inline QString siteColumn() { return QStringLiteral("网站URL"); }
inline QString siteTip() { return QStringLiteral("单击修改URL，双击开始检测"); }
inline QString add() { return QStringLiteral("添加"); }
inline QString remove() { return QStringLiteral("删除"); }
inline QString addPrompt() { return QStringLiteral("输入网站URL！"); }
inline QString addTitle() { return QStringLiteral("添加网站"); }
inline QString addDuplicate() { return QStringLiteral("您添加的网站URL已经存在！"); }
inline QString editDuplicate() { return QStringLiteral("你要修改的网站URL，已经存在！"); }
inline QString chooseToDelete() { return QStringLiteral("请选择要删除的网站"); }
inline QString reallyDelete() { return QStringLiteral("确实要删除该网站吗？"); }
// The stored site list separates sites with "$", so a site cannot hold one.
inline QString noDollar() { return QStringLiteral("网站URL中不能含有“$”字符，请去掉后再输入。"); }
// Addresses that no check could start from.
inline QString siteBlank() { return QStringLiteral("网站URL不能为空！"); }
inline QString siteScheme() { return QStringLiteral("网站URL只能使用http或https协议！"); }
inline QString siteNoHost() { return QStringLiteral("网站URL中缺少域名或IP地址！"); }
inline QString sitePort()
{
    return QStringLiteral("网站URL中的端口号无效！");
}

// Opening a file or a page in the desktop's program
inline QString noProgramForFile(const QString& path)
{
    return QStringLiteral("没有可打开此文件的程序：") + path;
}
inline QString noProgramForPage(const QString& address)
{
    return QStringLiteral("没有可打开此网页的程序：") + address;
}

// Kept checks
inline QString forgetHistory()
{
    return QStringLiteral("是否同时删除该网站的检测历史？");
}
inline QString historyUnavailable()
{
    return QStringLiteral("检测历史无法使用，检测照常进行，但不保存历史：\r\n\r\n");
}
inline QString historyKeptLate()
{
    return QStringLiteral("检测历史文件正被其他程序占用，本次检测结果已另存，下次打开检测历史时写入：\r\n\r\n");
}
// Panel 1 while another program runs the check the window would take up.
inline QString busyElsewhere()
{
    return QStringLiteral("正在由其他程序检测");
}
inline QString busyElsewhereNotice(const QString& holder)
{
    return QStringLiteral("该网站正在由其他程序检测（") + holder + QStringLiteral("），它停止后即可在此继续检测。");
}
inline QString changeNote(qsizetype newDead, qsizetype fixed)
{
    return QStringLiteral("与上次检测相比：新增死链接") + QString::number(newDead) + QStringLiteral("个，已修复") +
           QString::number(fixed) + QStringLiteral("个");
}

// The last finished check of the ticked site, shown at start-up: when it finished.
inline QString lastCheckNote(const QString& finished)
{
    return QStringLiteral("上次检测结果（完成于") + finished + QStringLiteral("）");
}

// Check settings
inline QString settingsFrame() { return QStringLiteral("检测设置"); }
inline QString subdomains() { return QStringLiteral("检测子域名下的网页死链接"); }
inline QString noRepeats() { return QStringLiteral("不显示重复的域名"); }
inline QString linkText() { return QStringLiteral("显示链接文本"); }
inline QString resources() { return QStringLiteral("检查图片、脚本等资源链接"); }
inline QString contentCheck() { return QStringLiteral("检测内容死链"); }
inline QString renderCaption()
{
    return QStringLiteral("渲染脚本页面");
}
// The choices of the render box, in the order of RenderMode.
inline QString renderAuto()
{
    return QStringLiteral("自动");
}
inline QString renderAlways()
{
    return QStringLiteral("总是");
}
inline QString renderNever()
{
    return QStringLiteral("从不");
}
inline QString timeoutCaption() { return QStringLiteral("网页查询超时："); }
inline QString seconds() { return QStringLiteral("秒(10-20)"); }
inline QString parallelCaption() { return QStringLiteral("并发请求数："); }
inline QString depthCaption() { return QStringLiteral("检测深度："); }
// The read-out beside the depth slider: the top of the range checks the whole site.
inline QString depthReading(int depth)
{
    return depth >= kWholeSiteDepth ? QString::number(depth) + QStringLiteral("（整站）") : QString::number(depth);
}

// Results
inline QString deadPicker() { return QStringLiteral("死链接列表："); }
inline QString timeoutPicker() { return QStringLiteral("超时链接列表："); }

// Export
inline QString exportFrame() { return QStringLiteral("数据导出"); }
inline QString exportTxt() { return QStringLiteral("导出Txt"); }
inline QString exportExcel() { return QStringLiteral("导出Excel"); }
inline QString exportHtml() { return QStringLiteral("导出Html"); }
inline QString exportDeadLinkFile() { return QStringLiteral("导出死链文件"); }

// Instructions, read in this order as one sentence
inline QString instructionsFrame() { return QStringLiteral("使用说明"); }
inline QString instruction1() { return QStringLiteral("本工具可以检测网站整站（检测"); }
inline QString instruction2() { return QStringLiteral("深度选5时）的死链接，检测深"); }
inline QString instruction3() { return QStringLiteral("度越深，查询的页面越多，同时"); }
inline QString instruction4() { return QStringLiteral("也越耗时。"); }

// Link labels and the about button
inline QString onlineCheck() { return QStringLiteral("在线死链接检测"); }
inline QString toolSitemap() { return QStringLiteral("网 站 地 图 生 成 器"); }
inline QString toolRanking() { return QStringLiteral("关 键 词 排 名 查 询"); }
inline QString aboutButton() { return QStringLiteral("关于软件"); }

// Menus
inline QString menuSystem() { return QStringLiteral("软件系统(&S)"); }
inline QString minimise() { return QStringLiteral("系统最小化"); }
inline QString exit() { return QStringLiteral("退出系统"); }
inline QString menuAbout() { return QStringLiteral("关于软件(&A)"); }
inline QString info() { return QStringLiteral("软件说明"); }
inline QString author() { return QStringLiteral("官方网站"); }
inline QString support() { return QStringLiteral("支持网站"); }
inline QString portal() { return QStringLiteral("Maroven门户"); }
inline QString market() { return QStringLiteral("友情链接交换"); }
inline QString webmasterTools() { return QStringLiteral("站长工具箱"); }
inline QString menuHelp() { return QStringLiteral("软件帮助(&H)"); }
inline QString onlineHelp() { return QStringLiteral("在线帮助"); }
inline QString bug() { return QStringLiteral("意见和建议"); }
} // namespace MainText
