#pragma once

namespace torvex {

class CTestSet;

// Checks that every sequence entry names a defined request and, unless a script drives the
// users, that the test sequence is not empty. Reports the first problem; false when there is one.
bool checkSequences(const CTestSet& testSet);

} // namespace torvex
