#pragma once

#include "results/GraphModel.h"

#include <string>
#include <vector>

namespace torvex {

// Draws every graph of the list into PNG files in `folder` (created when missing): the request
// times graph of each test-sequence request, and for a batch the six batch graphs. Needs a
// QApplication (the offscreen platform will do). Returns false with a message naming the file or
// folder on the first failure; `written` lists the files made, in order.
bool writeGraphPictures(const ResultsList& list, const std::string& folder,
                        std::vector<std::string>& written, std::string& error);

} // namespace torvex
