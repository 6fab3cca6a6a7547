#pragma once

#include <string>

namespace torvex {

class CTestSet;

// What the results of two test sets must share to be merged: the initial, test and final
// sequences with their arguments, the request names, the iterations, the results form and the
// script that drives the users. Test sets parsed from one script with the same options agree.
std::string runSignature(const CTestSet& testSet);

} // namespace torvex
