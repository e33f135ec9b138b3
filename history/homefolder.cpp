#include "homefolder.h"

#include <QByteArray>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace HomeFolder {

bool FillIn()
{
#ifdef Q_OS_UNIX
    if (!qEnvironmentVariableIsEmpty("HOME")) {
        return true;
    }
    const passwd* pw = getpwuid(getuid());
    if (!pw || !pw->pw_dir || pw->pw_dir[0] != '/' || pw->pw_dir[1] == 0) {
        return false;
    }
    qputenv("HOME", QByteArray(pw->pw_dir));
#endif
    return true;
}

} // namespace HomeFolder
