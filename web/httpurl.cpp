#include "httpurl.h"

#include "urlops.h"

using namespace Qt::StringLiterals;

QString WithHttpScheme(QStringView text)
{
    if (HasScheme(text)) {
        const QStringView rest = text.mid(text.indexOf(u':') + 1);
        if (rest.isEmpty() || !rest.front().isDigit()) {
            return text.toString();
        }
    }
    return u"http://"_s + text;
}
