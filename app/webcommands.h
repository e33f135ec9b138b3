#pragma once

#include <QString>

class QWidget;
class ResultTree;

// The commands of the window that open web pages, show the about window or export a report. The
// window only calls them; an implementation is handed to it. Until one is, they do nothing.
class WebCommands
{
public:
    enum class Page {
        Author,     // m_author "官方网站"
        Portal,     // m_pelmar
        Market,     // m_market
        Tools,      // m_help
        OnlineHelp, // m_olhelp "在线帮助"
        Bug,        // m_bug "意见和建议"
        OnlineCheck, // Label17 "在线死链接检测"
        Sitemap,    // Label8
        Ranking,    // Label9
    };
    enum class Report { Txt, Excel, Html, DeadLinkFile };

    virtual ~WebCommands() = default;
    virtual void openPage(Page page) = 0;
    // m_info and Command8: the about window, modal over `owner`.
    virtual void showAbout(QWidget* owner) = 0;
    // A clicked link of the detail window.
    virtual void openAddress(const QString& address) = 0;
    // Command28, Command21, Command27 with the selected result list; the dead-link file reads the whole
    // run and ignores the list.
    virtual void exportReport(Report report, const ResultTree& list) = 0;
};

// Placeholder until the web-page, about and export commands are built: every command does nothing.
class PendingWebCommands : public WebCommands
{
public:
    void openPage(Page) override {}
    void showAbout(QWidget*) override {}
    void openAddress(const QString&) override {}
    void exportReport(Report, const ResultTree&) override {}
};
