#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures of the status codes 1 (dead), 2 (valid) and 11 (timed out), drawn by the program:
// a red disc with a cross, a green disc with a tick, an amber disc with a clock. Shape and colour both
// differ, so the three tell apart at a glance and without colour vision.
namespace StatusIcons {
// Empty for a code without a picture (not checked).
QIcon icon(int statusCode);
QPixmap pixmap(int statusCode, int size);
} // namespace StatusIcons
