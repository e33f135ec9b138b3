#pragma once

#include "prober.h"

#include <cstdio>

class LinkStore;
struct CliOptions;

// The dead links, grouped under the page each was found on, with their status descriptions.
void PrintDeadLinks(const LinkStore& store, std::FILE* out);
// One line: links parsed, tested, dead and timed out.
void PrintSummary(const LinkStore& store, const ProbeStats& stats, std::FILE* out);
// Writes the reports the options ask for; false (with a message on `err`) when one cannot be written.
bool WriteReports(const LinkStore& store, const CliOptions& options, std::FILE* err);
