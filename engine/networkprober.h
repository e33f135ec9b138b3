#pragma once

#include "prober.h"

#include <memory>

// The prober that asks the network: many requests in flight, answers in the run's order.
std::unique_ptr<Prober> MakeNetworkProber();
// One request at a time through the link probe, as the run asks for them.
std::unique_ptr<Prober> MakeSequentialProber();
