#pragma once

#include <QString>
#include <QStringView>

// `text` with "http://" put in front when it names no scheme. A host with a port ("www.site.test:8080",
// "localhost:8080/a") counts as having none, although it would parse as a scheme, because what follows
// its colon is a number.
QString WithHttpScheme(QStringView text);
