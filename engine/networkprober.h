#pragma once

#include "prober.h"

#include <memory>

// The prober that asks the network: many requests in flight, paced per host, answers in the run's order.
// What it did beyond one request per probe is added to `stats` when given.
std::unique_ptr<Prober> MakeNetworkProber(ProbeStats* stats = nullptr);
// One request at a time through the link probe, as the run asks for them.
std::unique_ptr<Prober> MakeSequentialProber();
