#pragma once

#include "options.h"

#include <QByteArray>
#include <QString>

class LinkStore;

// The body posted by --notify after the check of `site` in `store`: the dead links new since the last
// check (with why each is dead and where it was found) and the ones mended. Empty when the check could
// not be compared or changed nothing: then nothing is posted. The robots' text messages are cut to the
// size each accepts, with a last line saying how many links were left out.
QByteArray NoticeBody(const LinkStore& store, const QString& site, NotifyFormat format);

// Posts `body` as JSON to `url` and waits for the answer (at most `timeoutSeconds`); returns why it
// failed, empty when the receiver took it. A robot that answers 200 with an error code has failed too.
QString PostNotice(const QString& url, const QByteArray& body, int timeoutSeconds);
