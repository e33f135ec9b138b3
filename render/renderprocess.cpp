#include "renderprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

RenderProcess::RenderProcess(QObject* parent) : QObject(parent)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &RenderProcess::readAvailable);
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const bool expected = std::exchange(killing_, false);
        if (!expected) {
            emit died(status == QProcess::CrashExit ? u"渲染程序崩溃"_s : u"渲染程序退出（%1）"_s.arg(code));
        }
    });
}

RenderProcess::~RenderProcess()
{
    process_.disconnect(this);
    kill();
}

QString RenderProcess::HelperPath()
{
    const QString beside = QCoreApplication::applicationDirPath() + u"/kelvara-render"_s;
    for (const QString& path :
         {beside, QStringLiteral(KELVARA_RENDER_INSTALLED), QStringLiteral(KELVARA_RENDER_BUILT)}) {
        if (!path.isEmpty() && QFileInfo(path).isExecutable()) {
            return path;
        }
    }
    return {};
}

bool RenderProcess::start(int pages, QString* error)
{
    const QString path = HelperPath();
    if (path.isEmpty()) {
        *error = u"未安装渲染程序 kelvara-render"_s;
        return false;
    }
    reader_ = {};
    killing_ = false;
    process_.start(path, {u"--pages"_s, QString::number(pages)});
    if (!process_.waitForStarted(10000)) {
        *error = u"渲染程序无法启动：%1"_s.arg(process_.errorString());
        return false;
    }
    return true;
}

void RenderProcess::send(const QJsonObject& message)
{
    if (isRunning()) {
        process_.write(RenderFrames::Encode(message));
    }
}

void RenderProcess::readAvailable()
{
    reader_.feed(process_.readAllStandardOutput());
    while (const std::optional<QJsonObject> message = reader_.next()) {
        emit received(*message);
    }
    if (reader_.broken()) {
        kill();
        emit died(u"渲染程序的回答无法读取"_s);
    }
}

void RenderProcess::kill()
{
    if (!isRunning()) {
        return;
    }
    const QList<qint64> children = descendants();
    killing_ = true;
    process_.kill();
    for (qint64 pid : children) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    process_.waitForFinished(5000);
}

// The processes under the helper, found through the parent of every process in /proc.
QList<qint64> RenderProcess::descendants() const
{
    const qint64 root = process_.processId();
    if (root <= 0) {
        return {};
    }
    QHash<qint64, qint64> parentOf;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric) {
            continue;
        }
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray text = stat.readAll();
        // The name in parentheses may hold spaces; the fields after its closing one are plain.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1) {
            parentOf.insert(pid, fields[1].toLongLong());
        }
    }
    QList<qint64> found;
    QList<qint64> frontier{root};
    while (!frontier.isEmpty()) {
        const qint64 parent = frontier.takeFirst();
        for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
            if (it.value() == parent && !found.contains(it.key())) {
                found << it.key();
                frontier << it.key();
            }
        }
    }
    return found;
}

// The proportional set size: Chromium's processes share most of their libraries and memory, which a sum of
// their resident sets would count once per process.
qint64 ProcessMemoryBytes(qint64 pid)
{
    QFile rollup(u"/proc/%1/smaps_rollup"_s.arg(pid));
    if (!rollup.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        if (line.startsWith("Pss:")) {
            return line.mid(4).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    return 0;
}

qint64 RenderProcess::memoryBytes() const
{
    if (!isRunning()) {
        return 0;
    }
    QList<qint64> processes = descendants();
    processes << process_.processId();
    qint64 total = 0;
    for (qint64 pid : std::as_const(processes)) {
        total += ProcessMemoryBytes(pid);
    }
    return total;
}
