#include "HelpText.h"

#include <memory>

namespace {

// FILE and what follows it are not CLI11 options (the engine reads them), so the usage line is
// written out rather than generated.
class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return "Usage: torvex-run [options] FILE [-name=value ...] [testname]\n"
               "       torvex-run [--report FILE] [--results FILE.rlt] [--graphs DIR] FILE.tvs\n"
               "       torvex-run --graphs DIR FILE.rlt\n"
               "       torvex-run --check FILE\n"
               "       torvex-run --script FILE.tvs\n";
    }
};

constexpr const char* kFooter = R"(Running a test script:
  FILE                 the test script to run as a load test
  -name=value          a global variable for $gvar(name) in the script; /name=value too
  testname             names the test (default: FILE's base name without its extension)
  Everything after FILE is passed on as it stands. Engine messages and the progress go to
  standard error; the report goes to standard output unless --report names a file. The results
  file is written to the folder of the option "reportdir" under the name made from "outfile".
  Ctrl-C (or SIGTERM) stops the run and still prints the report; a second one quits at once.

Running a scenario file (FILE.tvs, recognised by its contents):
  The scenario runs as the workbench's Run Test command runs it: with your global settings
  (proxy, time-out, HTTP version), after the same checks, as a single run or a batch whose
  number of users or iterations steps from run to run. The run log goes to standard error and
  the report of every run to standard output (or --report); --results saves the results of all
  runs for the workbench's report and graphs. --graphs DIR draws the workbench's graphs as PNG
  files in DIR: each request's times over the iterations or the runs, and for a batch its six
  graphs against the number of users or iterations.

Drawing saved results (FILE.rlt):
  torvex-run --graphs DIR FILE.rlt draws the graphs of a results file without running anything.

Exit status of a run:
  0    the run completed without errors
  1    requests failed, a run was stopped or failed, or no request completed
  2    bad arguments, a file that cannot be read, an invalid script, a refused --set
  130  a second Ctrl-C or SIGTERM

Examples:
  torvex-run shop.tvt
  torvex-run --set clients=20 --set requests=10 shop.tvt -host=test.example.com
  torvex-run --report shop-report.txt --set reportdir=results shop.tvt nightly
  torvex-run --results shop.rlt --graphs shop-graphs shop.tvs
  torvex-run --graphs shop-graphs shop.rlt)";

} // namespace

void describeUsage(CLI::App& app) {
    app.formatter(std::make_shared<UsageFormatter>());
    app.footer(kFooter);
}
