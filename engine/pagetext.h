#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

class PageReading;

// The text a reader sees on a page, in blocks: the runs of text between block-level tags (inline tags
// such as <b> or <a> do not end a block), outside scripts, styles, comments and the like, with character
// references decoded and white space collapsed. The title is kept apart.
struct VisibleText
{
    QString title;
    QStringList blocks;
};
VisibleText ReadVisibleText(QStringView html);

// What a page says, in a form two answers of one server can be compared in: its visible blocks with
// every form of the address it was asked as taken out (an error page often repeats the missing address),
// and a key per block in which letter case and the values of numbers no longer count.
struct PagePrint
{
    QString title; // address removed, as the blocks
    QString titleKey;
    QStringList texts;  // the blocks as shown, address removed, empty ones dropped
    QStringList keys;   // one per text
    QSet<QString> keySet;
    int textChars = 0; // characters of the blocks (the title not counted)
};
// `addresses` are the URLs the page answered for (the one asked and where it ended).
PagePrint MakePagePrint(const PageReading& page, const QStringList& addresses);
PagePrint MakePagePrint(QStringView html, const QStringList& addresses);
