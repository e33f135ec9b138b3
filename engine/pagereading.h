#pragma once

#include "pagetext.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <deque>
#include <memory>
#include <optional>

// One page's HTML as the checks of its content read it. The patterns they hold a page against are costly
// on a whole page, and each stands behind a few words one of which every match of it holds: the words of
// all of them are looked for in one pass, and a pattern runs only on a page that holds one of its words.
// The visible text is read once, when first asked for.
class PageReading
{
public:
    // Patterns, by the words of theirs a page may hold.
    enum Words : quint32
    {
        ScriptTag = 1 << 0,  // "<script"
        MountPoint = 1 << 1, // a script framework's mount point
        Moves = 1 << 2,      // a refresh or a script that sends the browser on
        Password = 1 << 3,   // a password field
        Missing = 1 << 4,    // says that what was asked is not there
        AsksScripts = 1 << 5 // asks for scripts to be switched on
    };

    explicit PageReading(const QString& html) : kept_(html), html_(kept_) {}
    explicit PageReading(QStringView html) : html_(html) {} // `html` outlives the reading
    PageReading(const PageReading&) = delete;
    PageReading& operator=(const PageReading&) = delete;

    QStringView html() const { return html_; }
    // False only where the page holds no match of those patterns.
    bool mayHold(Words words) const;
    const VisibleText& visibleText() const;
    int visibleChars() const; // of the blocks; the title is not counted

private:
    friend class PageReadings;
    quint32 words() const;

    QString kept_;
    QStringView html_;
    mutable std::optional<quint32> words_;
    mutable std::optional<VisibleText> visible_;
    mutable int visibleChars_ = -1;
};

// The pages read last: the steps of a run that ask about one page (judging it, drawing it or not, noting
// it as good) read it once between them.
class PageReadings
{
public:
    std::shared_ptr<const PageReading> of(const QString& html);

private:
    // A page's text by its length and two hashes under different keys: two different texts agree on all
    // three by a chance too small to come up in any run.
    struct Fingerprint
    {
        size_t first;
        size_t second;
        qsizetype size;
        bool operator==(const Fingerprint&) const = default;
        friend size_t qHash(const Fingerprint& f, size_t seed) { return qHashMulti(seed, f.first, f.second, f.size); }
    };
    static Fingerprint fingerprint(QStringView html);

    static constexpr size_t kKept = 4;
    std::deque<std::shared_ptr<const PageReading>> kept_;
    // The words of the pages read before: a page judged when its link is probed is decoded and judged again
    // when the crawl reads it, a level later, long after its reading has left the few kept above.
    static constexpr qsizetype kKeptWords = 1 << 16;
    QHash<Fingerprint, quint32> words_;
};

// True for a page that scripts build: a framework's mount point (whatever it holds before the scripts
// run: a loading text, a template, a spinner), or scripts with next to no text of their own. Its text
// before rendering is the same for every address of the site, whether the page exists or not.
bool IsScriptBuilt(const PageReading& page);
constexpr int kScriptPageMaxChars = 40;

// Where a page sends the browser on its own: a <meta http-equiv="refresh"> (in any page), or a script
// that sets the location in a page that shows next to nothing; resolved against `pageUrl`.
std::optional<QString> PageRedirect(const PageReading& page, const QString& pageUrl);

// True for a page that asks for a password: a sign-in form.
bool IsLoginForm(const PageReading& page);

// The words with which error pages say that what was asked is not there, in a text or anywhere in a page.
bool SaysMissing(QStringView text);
bool SaysMissing(const PageReading& page);
