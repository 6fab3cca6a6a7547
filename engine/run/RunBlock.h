#pragma once

#include "run/RunFigures.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

class CTestSet;
class CUserSession;

// A finished run's results as one self-contained block of bytes, every number little-endian:
//   8 bytes  "TVXRUNRS"
//   u32      format version
//   u64      length of the rest
//   text     the signature of the test set (RunSignature.h), u32 length first
//   figures  RunFigures.h
//   u32      user count, then each user in index order (UserBlock.h)
constexpr std::string_view kRunBlockMagic = "TVXRUNRS";
constexpr std::uint32_t kRunBlockVersion  = 1;
constexpr std::size_t kRunBlockHeaderSize = 8 + 4 + 8;

// The results of the test set's last run, or of the runs merged into it.
std::string exportRun(const CTestSet& testSet);

// The most virtual users a merge accepts from all its blocks together. The engine sets no limit
// on option clients, but every user of a run is a thread in one of its processes, so a million
// is beyond any real run; it keeps a forged user count from costing memory without end.
constexpr std::size_t kMostMergedUsers = 1000000;

// One block read for a merge into `target`: its figures and its users, made sessions of target.
struct ImportedRun {
    RunFigures figures;
    std::vector<std::unique_ptr<CUserSession>> users;
};

// Reads a block made by exportRun. Throws BlockError saying what is wrong when the block is cut
// short, is no results block, has another format version, comes from a test set whose signature
// differs from target's, holds more than `mostUsers` users or contents that contradict each
// other. The users hold no HTTP buffers until they would run.
ImportedRun importRun(std::string_view block, CTestSet& target, std::size_t mostUsers);

} // namespace torvex
