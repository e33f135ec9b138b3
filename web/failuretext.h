#pragma once

#include "httptypes.h"

#include <QString>

// Why a request got no answer, in a few words the user can act on ("无法解析域名" is a typo in a
// domain or a dead one, "证书已过期" the site's own fault, "连接被拒绝" a server that is down). Empty
// for a request that was answered, timed out (the timeout has a text of its own) or was cancelled.
QString FailureText(const HttpResult& result);
