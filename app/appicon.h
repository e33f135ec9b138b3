#pragma once

#include <QIcon>

// The icon drawn for the program, as bundled inside it at the sizes a window shows.
QIcon AppIcon();

// Gives every window of the program the icon and tells the desktop which menu entry the windows
// belong to, so a task bar or switcher shows that entry's name and icon for them.
void ApplyDesktopIdentity();
