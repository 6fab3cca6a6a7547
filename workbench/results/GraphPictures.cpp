#include "results/GraphPictures.h"

namespace torvex {

bool writeGraphPictures(const ResultsList&, const std::string&, std::vector<std::string>&,
                        std::string& error) {
    error = "Graphs are not drawn yet.";
    return false;
}

} // namespace torvex
