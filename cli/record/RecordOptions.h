#pragma once

#include <optional>
#include <string>

// What torvex-record was asked to do.
struct RecordOptions {
    int port = 8888; // on 127.0.0.1; 0 lets the kernel choose
    std::string outFile;
    std::string authorityFolder; // empty until resolved: the user's configuration folder
    std::string certificateFile; // --ca-cert: write the authority's certificate there and stop
};

// Reads the command line into `options`. Empty to go on; otherwise the exit status to end with,
// after --help or --version or a usage error whose message is already written.
std::optional<int> parseRecordOptions(int argc, char** argv, RecordOptions& options);

// The port of "127.0.0.1:PORT" or "localhost:PORT" (PORT 0 to 65535). Any other host is refused:
// a recording proxy that the network can reach would be an open proxy for anyone.
bool parseListenAddress(const std::string& text, int& port, std::string& error);
