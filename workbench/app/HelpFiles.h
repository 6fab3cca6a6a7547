#pragma once

#include <QString>

namespace torvex {

// The help page and the tips file shipped with the program: next to the program in a build, in
// the installation's data folder otherwise. The path next to the program when neither exists.
QString helpPagePath();
QString tipsFilePath();

} // namespace torvex
