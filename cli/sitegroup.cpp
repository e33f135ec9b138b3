#include "sitegroup.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString notifyFormatName(NotifyFormat format)
{
    switch (format) {
    case NotifyFormat::WeCom:
        return u"wecom"_s;
    case NotifyFormat::DingTalk:
        return u"dingtalk"_s;
    case NotifyFormat::Feishu:
        return u"feishu"_s;
    case NotifyFormat::Json:
        break;
    }
    return u"json"_s;
}

} // namespace

SiteGroupRun::SiteGroupRun(const CliOptions& options, const QStringList& sites, const QString& program, QObject* parent)
    : QObject(parent), options_(options), documents_(size_t(sites.size())), children_(size_t(sites.size())),
      program_(program)
{
    for (const QString& site : sites) {
        SiteOutcome o;
        o.site = site;
        outcomes_ << o;
    }
    const int together = std::max(1, int(std::min<qsizetype>(options.sitesParallel, sites.size())));
    share_ = std::max(1, options.settings.parallel / together);
}

SiteGroupRun::~SiteGroupRun()
{
    for (Child& c : children_) {
        if (c.process && c.process->state() != QProcess::NotRunning) {
            c.process->kill();
            c.process->waitForFinished(5000);
        }
    }
}

QStringList SiteGroupRun::childArguments(const CliOptions& o, const QString& site, int parallel, const QString& report)
{
    const CheckSettings& s = o.settings;
    QStringList args{u"--format"_s,   u"json"_s,
                     u"--depth"_s,    QString::number(s.depth),
                     u"--timeout"_s,  QString::number(s.timeout),
                     u"--parallel"_s, QString::number(parallel)};
    const std::pair<bool, QString> flags[] = {{s.subdomains, u"--subdomains"_s},
                                              {!s.noRepeats, u"--show-repeats"_s},
                                              {s.linkText, u"--link-text"_s},
                                              {s.resources, u"--resources"_s},
                                              {!s.contentCheck, u"--no-content-check"_s},
                                              {o.resume && !o.resumeOrStart, u"--resume"_s},
                                              {o.resumeOrStart, u"--resume-or-start"_s},
                                              {!o.history, u"--no-history"_s}};
    for (const auto& [on, flag] : flags) {
        if (on) {
            args << flag;
        }
    }
    for (const QRegularExpression& re : s.exclusions) {
        args << u"--exclude"_s << re.pattern();
    }
    if (o.history && !o.historyLocation.isEmpty()) {
        args << u"--history"_s << o.historyLocation;
    }
    if (!o.notifyUrl.isEmpty()) {
        args << u"--notify"_s << o.notifyUrl << u"--notify-format"_s << notifyFormatName(o.notifyFormat);
    }
    if (!report.isEmpty()) {
        args << u"--html"_s << report;
    }
    return args << site;
}

void SiteGroupRun::start()
{
    clock_.start();
    if (outcomes_.isEmpty()) {
        emit finished();
        return;
    }
    while (running_ < options_.sitesParallel && next_ < outcomes_.size()) {
        launchNext();
    }
}

void SiteGroupRun::stop()
{
    stopping_ = true;
    for (Child& c : children_) {
        if (c.process && c.process->state() == QProcess::Running) {
            ::kill(pid_t(c.process->processId()), SIGINT);
        }
    }
}

void SiteGroupRun::launchNext()
{
    const int index = next_++;
    Child& child = children_[size_t(index)];
    QString report;
    if (!options_.overview.isEmpty()) {
        report = SiteReportName(options_.overview, index + 1, outcomes_[index].site);
    }
    child.process = new QProcess(this);
    // A group of its own, so that Ctrl-C reaches the child once, through stop(); and the child ends with
    // the group's process, which it would otherwise outlive unseen.
    child.process->setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    connect(child.process, &QProcess::readyReadStandardError, this, [this, index] { passOnErrors(index, false); });
    connect(child.process, &QProcess::finished, this, [this, index] { onChildFinished(index); });
    connect(child.process, &QProcess::errorOccurred, this, [this, index](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            onChildFinished(index);
        }
    });
    ++running_;
    child.clock.start();
    child.process->start(program_, childArguments(options_, outcomes_[index].site, share_, report));
}

void SiteGroupRun::passOnErrors(int index, bool all)
{
    Child& c = children_[size_t(index)];
    c.pending += c.process->readAllStandardError();
    const qsizetype end = all ? c.pending.size() : c.pending.lastIndexOf('\n') + 1;
    if (end <= 0) {
        return;
    }
    const QByteArray prefix = '[' + outcomes_[index].site.toLocal8Bit() + "] ";
    for (const QByteArray& line : c.pending.first(end).split('\n')) {
        if (!line.trimmed().isEmpty()) {
            c.lastLine = QString::fromLocal8Bit(line.trimmed());
            std::fprintf(stderr, "%s%s\n", prefix.constData(), line.trimmed().constData());
        }
    }
    std::fflush(stderr);
    c.pending.remove(0, end);
}

void SiteGroupRun::onChildFinished(int index)
{
    Child& c = children_[size_t(index)];
    if (!c.process) {
        return; // a process that failed to start reports it twice
    }
    outcomes_[index].elapsedMs = c.clock.elapsed();
    passOnErrors(index, true);
    const bool normal =
        c.process->error() != QProcess::FailedToStart && c.process->exitStatus() == QProcess::NormalExit;
    judge(index, c.process->readAllStandardOutput(), normal, c.process->exitCode());
    c.process->deleteLater();
    c.process = nullptr;
    --running_;
    emit siteFinished(index);
    if (!stopping_ && next_ < outcomes_.size()) {
        launchNext();
    } else if (running_ == 0) {
        emit finished();
    }
}

// What a child's output says about its site; a child that gave none failed.
void SiteGroupRun::judge(int index, const QByteArray& output, bool exitedNormally, int code)
{
    SiteOutcome& o = outcomes_[index];
    const QJsonObject doc = QJsonDocument::fromJson(output).object();
    const QJsonObject summary = doc[u"summary"_s].toObject();
    // Status 2 with a document: the check ran and a report could not be written, which it has said.
    if (!exitedNormally || code < 0 || code > 2 || summary.isEmpty()) {
        o.state = SiteOutcome::State::Failed;
        const QString said = children_[size_t(index)].lastLine;
        o.reason = !exitedNormally ? u"the check ended abnormally"_s
                                   : u"the check ended with status "_s + QString::number(code);
        if (!said.isEmpty()) {
            o.reason += u" ("_s + said + u')';
        }
        documents_[size_t(index)] =
            QJsonDocument(QJsonObject{{u"settings"_s, QJsonObject{{u"site"_s, o.site}}}, {u"error"_s, o.reason}})
                .toJson(QJsonDocument::Compact);
        return;
    }
    o.links = summary[u"links"_s].toInt();
    o.dead = summary[u"dead"_s].toInt();
    o.state = summary[u"finished"_s].toBool() ? SiteOutcome::State::Finished : SiteOutcome::State::Stopped;
    if (summary.contains(u"change"_s)) {
        o.newDead = int(summary[u"change"_s][u"newDead"_s].toArray().size());
        o.fixed = int(summary[u"change"_s][u"fixed"_s].toArray().size());
    }
    const QJsonObject home = doc[u"links"_s].toArray().first().toObject();
    const QString homeClass = home[u"class"_s].toString();
    if (homeClass == u"dead" || homeClass == u"timeout") {
        o.state = SiteOutcome::State::Unreachable;
        o.reason = home[u"statusText"_s].toString();
    }
    if (const QFileInfo report(SiteReportName(options_.overview, index + 1, o.site));
        !options_.overview.isEmpty() && report.exists()) {
        o.report = report.fileName();
    }
    documents_[size_t(index)] = QJsonDocument(doc).toJson(QJsonDocument::Compact);
}
