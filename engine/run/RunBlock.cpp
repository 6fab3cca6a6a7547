#include "run/RunBlock.h"

#include "api/TestSet.h"
#include "run/ByteBlock.h"
#include "run/RunSignature.h"
#include "run/UserBlock.h"
#include "run/UserSession.h"

#include <string>

namespace torvex {
namespace {

// The smallest encoded user, to bound the user count before reading them.
constexpr std::size_t kUserBytes = 81;

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

} // namespace

std::string exportRun(const CTestSet& t) {
    BlockWriter block;
    block.raw(kRunBlockMagic);
    block.u32(kRunBlockVersion);
    block.u64(0); // the length of the rest, set once it is written
    block.text(runSignature(t));
    writeFigures(block, figuresOf(t));
    block.u32(static_cast<std::uint32_t>(t.users.size()));
    for (const auto& user : t.users) writeUser(block, *user);
    block.setU64(kRunBlockHeaderSize - 8, block.bytes().size() - kRunBlockHeaderSize);
    return block.take();
}

ImportedRun importRun(std::string_view block, CTestSet& target, std::size_t mostUsers) {
    if (block.size() < kRunBlockHeaderSize) throw BlockError("truncated");
    BlockReader header(bytesOf(block), kRunBlockHeaderSize);
    if (header.raw(kRunBlockMagic.size()) != kRunBlockMagic)
        throw BlockError("not a Torvex results block (wrong magic)");
    if (std::uint32_t version = header.u32(); version != kRunBlockVersion)
        throw BlockError("format version " + std::to_string(version) + ", this engine reads " +
                         std::to_string(kRunBlockVersion));
    std::uint64_t length = header.u64();
    std::size_t rest     = block.size() - kRunBlockHeaderSize;
    if (length > rest) throw BlockError("truncated");
    if (length < rest) throw BlockError("unexpected bytes after its end");

    BlockReader in(bytesOf(block) + kRunBlockHeaderSize, rest);
    if (in.text() != runSignature(target))
        throw BlockError("made from a different test script or options");
    ImportedRun run;
    run.figures     = readFigures(in);
    UserShape shape = userShapeOf(target);
    std::uint32_t n = in.u32();
    if (n > mostUsers)
        throw BlockError("the blocks hold more than " + std::to_string(kMostMergedUsers) +
                         " virtual users");
    if (n > in.left() / kUserBytes) throw BlockError("truncated");
    run.users.reserve(n);
    for (std::size_t i = 0; i < n; ++i) run.users.push_back(readUser(in, target, shape));
    if (in.left() != 0) throw BlockError("unexpected bytes after its end");
    return run;
}

} // namespace torvex
