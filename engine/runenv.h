#pragma once

#include "checksettings.h"

class LinkStore;
class Toolkit;

// What the steps of one check run share: the store they write, the window's event pump, the settings
// and the running flag that the stop command clears.
struct RunEnv
{
    LinkStore& store;
    Toolkit& toolkit;
    const CheckSettings& settings;
    const bool& running;
};
