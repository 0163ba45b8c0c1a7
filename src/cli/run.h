#pragma once

#include "cli/request.h"

#include <cstdio>

namespace lumivor::cli {

// Carries out a checked command line on its ports, in parallel, and prints
// the results (and progress, on a terminal) as the request asks. Runs the
// event loop until every port is done; returns the exit status.
ExitCode run(const Request& request, std::FILE* out, std::FILE* err);

} // namespace lumivor::cli
