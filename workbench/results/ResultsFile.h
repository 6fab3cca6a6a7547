#pragma once

#include "results/ResultsStore.h"

#include <string>
#include <string_view>
#include <vector>

namespace torvex {

// The results file (".rlt"): the list version 1, the record count, then every record written as
// version 2, in little-endian numbers and archive texts.
std::string resultsFileBytes(const std::vector<ResultsRecord>& records);

// Reads the records of a results file. A wrong list version, a record version other than 1 or 2,
// a negative count, a count or length past the end, or bytes after the last record refuse the
// file with a message in `error` saying what was read at which byte; `records` is then untouched.
// Version-1 records have no objective and load with -1.
bool readResultsFileBytes(std::string_view bytes, std::vector<ResultsRecord>& records,
                          std::string& error);

// The same through files; the messages name the file. Writing goes to a temporary file beside
// the target that replaces it only when complete, so a failed save never costs the old file.
bool readResultsFile(const std::string& path, std::vector<ResultsRecord>& records,
                     std::string& error);
bool writeResultsFile(const std::string& path, const std::string& bytes, std::string& error);

} // namespace torvex
