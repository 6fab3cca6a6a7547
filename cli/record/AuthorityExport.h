#pragma once

#include <string>

class ConsoleLines;

// Writes the certificate of the recorder's certificate authority (PEM) to `file`, creating the
// authority in `authorityFolder` first if there is none yet. Returns the exit status.
int exportAuthorityCertificate(const std::string& authorityFolder, const std::string& file,
                               ConsoleLines& console);
