#pragma once

#include <string>
#include <string_view>

namespace torvex {

class CScenario;

// The scenario file: the magic 0xDEADBEAF, then the scenario's records in little-endian 32-bit
// numbers and length-prefixed strings, each record led by its version.
std::string scenarioBytes(const CScenario& scenario);

// Reads a scenario file's bytes into `scenario`, whose fields the file does not hold keep their
// values. A wrong magic, an unknown record version, or a length or count that runs past the end
// refuses the file with a message in `error`; `scenario` may then be partly read.
bool readScenarioBytes(std::string_view bytes, CScenario& scenario, std::string& error);

// Saves to and opens from a file. Opening reads into a copy of the sections and takes the result
// only when the whole file was read, so a damaged file leaves the open scenario as it was. The
// messages name the file.
bool saveScenarioFile(const CScenario& scenario, const std::string& path, std::string& error);
bool openScenarioFile(CScenario& scenario, const std::string& path, std::string& error);

// Whether the file starts as a scenario file does (its magic), whatever its name.
bool isScenarioFile(const std::string& path);

} // namespace torvex
