#pragma once

#include <CLI/CLI.hpp>

// Gives the runner's --help its usage lines and the part the option list cannot say: the
// arguments after FILE, the exit statuses and examples.
void describeUsage(CLI::App& app);
