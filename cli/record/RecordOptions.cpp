#include "RecordOptions.h"

#include "ExitStatus.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <strings.h>

namespace {

constexpr const char* kDefaultListen = "127.0.0.1:8888";

constexpr const char* kFooter = R"(Recording:
  Point the browser's HTTP and HTTPS proxy at the --listen address and browse. Every page the
  browser navigates to (typed addresses, followed links, submitted forms, frames) becomes one
  request of the scenario, with its query or form fields as parameters and the time spent on the
  previous page as that page's think time; pictures, scripts and style sheets are not recorded.
  Each recorded request is shown as it arrives. Ctrl-C (or SIGTERM) stops the recording and saves
  the scenario to --out; an existing file is replaced only when the new one was written whole,
  and if it cannot be written the recording goes to FILE.tvs.recovered.tvs. Nothing is written
  when no request was recorded. The proxy forwards through the proxy that http_proxy or
  https_proxy name, except for hosts in no_proxy.

HTTPS:
  The proxy answers for HTTPS sites with certificates of Torvex's own certificate authority,
  created once and kept in the configuration folder (or --ca-folder). Write its certificate with
  --ca-cert and import it into the browser as a trusted authority before recording. --ca-cert
  goes with --ca-folder only: it writes the file and ends without recording. The proxy checks
  each site's own certificate against the system's trusted authorities first: a site whose
  certificate does not verify (expired, for another name, self-signed) gets a certificate of an
  untrusted issuer naming the reason instead, so the browser shows its usual warning and you
  decide whether to go on.

Exit status:
  0    the recording was saved (or nothing was recorded), or --ca-cert wrote the certificate
  1    the proxy could not listen, or a file could not be written
  2    bad arguments
  130  a second Ctrl-C or SIGTERM

Examples:
  torvex-record --out shop.tvs
  torvex-record --listen 127.0.0.1:0 --out shop.tvs
  torvex-record --ca-cert torvex-ca.pem)";

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s\nRun with --help for more information.\n", message.c_str());
    return exit_status::kUsage;
}

} // namespace

bool parseListenAddress(const std::string& text, int& port, std::string& error) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        error = "--listen " + text + ": expected 127.0.0.1:PORT or localhost:PORT.";
        return false;
    }
    const std::string host   = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    if (host != "127.0.0.1" && strcasecmp(host.c_str(), "localhost") != 0) {
        error = "--listen " + text +
                ": the recording proxy only listens on 127.0.0.1 (or localhost); open to the "
                "network it would be an open proxy for anyone who can reach it.";
        return false;
    }
    const bool number = !digits.empty() && digits.size() <= 5 &&
                        digits.find_first_not_of("0123456789") == std::string::npos;
    if (!number || std::stoi(digits) > 65535) {
        error = "--listen " + text + ": the port must be a number from 0 to 65535.";
        return false;
    }
    port = std::stoi(digits);
    return true;
}

std::optional<int> parseRecordOptions(int argc, char** argv, RecordOptions& options) {
    CLI::App app{"Torvex recorder: records the pages a browser visits through it as a scenario.",
                 "torvex-record"};
    app.footer(kFooter);
    app.set_version_flag("--version", "torvex-record 2.0", "Print the version and exit");
    std::string listen = kDefaultListen;
    CLI::Option* listenOption =
        app.add_option("--listen", listen,
                       "Where the recording proxy listens (default 127.0.0.1:8888; port 0 lets "
                       "the system choose, the real one is printed)")
            ->type_name("127.0.0.1:PORT");
    CLI::Option* outOption =
        app.add_option("--out", options.outFile, "The scenario file to save the recording to")
            ->type_name("FILE.tvs");
    app.add_option("--ca-folder", options.authorityFolder,
                   "Keep the certificate authority for HTTPS in DIR instead of the user's "
                   "configuration folder")
        ->type_name("DIR");
    app.add_option("--ca-cert", options.certificateFile,
                   "Write the authority's certificate (PEM) to FILE for importing into a browser, "
                   "and exit")
        ->type_name("FILE")
        ->excludes(listenOption)
        ->excludes(outOption);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? exit_status::kClean : exit_status::kUsage;
    }
    if (!options.certificateFile.empty()) return std::nullopt;
    if (options.outFile.empty())
        return usageError("--out FILE.tvs is needed: where to save the recording.");
    std::string error;
    if (!parseListenAddress(listen, options.port, error)) return usageError(error);
    return std::nullopt;
}
