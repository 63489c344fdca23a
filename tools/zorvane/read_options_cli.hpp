// The command-line options that say how to read the bar file, and the help
// text that lists the layouts it reads.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "read_options.hpp"

namespace zorvane_cli {

void addReadOptions(CLI::App& app, ReadOptions& options);

// The supported layouts, one example each, and how the reader decides.
std::string layoutsHelp();

}  // namespace zorvane_cli
