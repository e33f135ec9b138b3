#include "progress.h"

#include "linkstore.h"

using namespace Qt::StringLiterals;

Progress::Progress(const LinkStore& store, std::FILE* out, bool terminal, QObject* parent)
    : QObject(parent), store_(store), out_(out), terminal_(terminal)
{
    connect(&store, &LinkStore::panelChanged, this, &Progress::update);
    connect(&store, &LinkStore::waitNoteChanged, this, &Progress::update);
}

QString Progress::line() const
{
    return store_.panel(1) + u"  parsed "_s + QString::number(store_.full().count()) + u"  tested "_s +
           QString::number(store_.testedCount()) + u"  dead "_s + QString::number(store_.deads().count()) +
           u"  timed out "_s + QString::number(store_.timeouts().count()) +
           (store_.waitNote().isEmpty() ? QString() : u"  "_s + store_.waitNote());
}

void Progress::update()
{
    const qint64 interval = terminal_ ? 100 : 5000;
    if (shown_ && sinceLast_.elapsed() < interval) {
        return;
    }
    sinceLast_.start();
    shown_ = true;
    const QByteArray text = line().toLocal8Bit();
    if (terminal_) {
        const int width = static_cast<int>(text.size());
        std::fprintf(out_, "\r%s%*s", text.constData(), lastWidth_ > width ? lastWidth_ - width : 0, "");
        lastWidth_ = width;
    } else {
        std::fprintf(out_, "%s\n", text.constData());
    }
    std::fflush(out_);
}

void Progress::finish()
{
    if (terminal_ && shown_) {
        std::fprintf(out_, "\n");
        std::fflush(out_);
    }
}
