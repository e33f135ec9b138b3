#pragma once

#include "webcommands.h"

#include <QString>

// The maker's web pages that the menus and link labels open, each a fixed address. The online help
// has an address too, for when the bundled copy cannot be written out.
QString PageAddress(WebCommands::Page page);
