#pragma once

#include "prober.h"
#include "runchange.h"

#include <cstdio>

class LinkStore;
struct CliOptions;

// The dead links, grouped under the page each was found on, with their status descriptions.
void PrintDeadLinks(const LinkStore& store, std::FILE* out);
// The excluded links, grouped under the page each was found on, marked "已排除".
void PrintExcludedLinks(const LinkStore& store, std::FILE* out);
// One line: links parsed, tested, dead and timed out, probes retried and confirmed; and excluded when
// `withExcluded`.
void PrintSummary(const LinkStore& store, const ProbeStats& stats, bool withExcluded, std::FILE* out);
// The dead links new since the last check and the ones mended, when there was one to compare with.
void PrintChange(const RunChange& change, std::FILE* out);
// The whole result on `out` in the format the options ask for.
void PrintResult(const LinkStore& store, const CliOptions& options, const ProbeStats& stats, std::FILE* out);
// Writes the reports the options ask for; false (with a message on `err`) when one cannot be written.
bool WriteReports(const LinkStore& store, const CliOptions& options, std::FILE* err);
