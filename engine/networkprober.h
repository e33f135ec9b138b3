#pragma once

#include "prober.h"

#include <memory>

// The prober that asks the network, through the link probe of the web layer.
std::unique_ptr<Prober> MakeNetworkProber();
