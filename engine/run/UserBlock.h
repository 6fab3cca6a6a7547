#pragma once

#include "run/UserShape.h"

#include <memory>

namespace torvex {

class BlockReader;
class BlockWriter;
class CTestSet;
class CUserSession;

// Writes what the report and the results queries read of one finished user: its global index,
// counts, ticks, traffic and results in their storage form.
void writeUser(BlockWriter& out, const CUserSession& user);

// Reads one user written by writeUser into a new session of `owner`. Throws BlockError when the
// user's results do not have `shape` or the block ends too soon.
std::unique_ptr<CUserSession> readUser(BlockReader& in, CTestSet& owner, const UserShape& shape);

} // namespace torvex
