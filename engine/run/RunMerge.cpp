#include "run/RunMerge.h"

#include "api/Output.h"
#include "api/TestSet.h"
#include "run/ByteBlock.h"
#include "run/RunBlock.h"
#include "run/UserSession.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace torvex {
namespace {

// Which block holds each user; false after naming a user that two blocks, or one block twice,
// hold.
bool usersAreDistinct(const std::vector<ImportedRun>& parts) {
    std::map<int, std::size_t> owner;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        for (const auto& user : parts[p].users) {
            auto [at, added] = owner.emplace(user->index(), p);
            if (added) continue;
            if (at->second == p)
                message("Error: results block %d holds virtual user %d twice!\n",
                        static_cast<int>(p) + 1, user->index() + 1);
            else
                message("Error: results blocks %d and %d both hold virtual user %d!\n",
                        static_cast<int>(at->second) + 1, static_cast<int>(p) + 1,
                        user->index() + 1);
            return false;
        }
    }
    return true;
}

// The merged users, ordered by index, must be users 0 to N - 1: a gap is a part of the run whose
// block is missing.
bool usersAreComplete(const std::vector<std::unique_ptr<CUserSession>>& users) {
    for (std::size_t i = 0; i < users.size(); ++i) {
        if (users[i]->index() == static_cast<int>(i)) continue;
        message("Error: results blocks lack virtual user %d: the block of a part of the run is "
                "missing!\n",
                static_cast<int>(i) + 1);
        return false;
    }
    return true;
}

} // namespace

bool mergeRuns(CTestSet& t, const std::vector<std::string_view>& blocks) {
    if (blocks.empty()) {
        message("Error: no results blocks to merge!\n");
        return false;
    }
    std::vector<ImportedRun> parts;
    parts.reserve(blocks.size());
    std::size_t userCount = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        try {
            parts.push_back(importRun(blocks[i], t, kMostMergedUsers - userCount));
        } catch (const BlockError& e) {
            message("Error: results block %d of %d cannot be merged: %s!\n",
                    static_cast<int>(i) + 1, static_cast<int>(blocks.size()), e.what());
            return false;
        }
        userCount += parts.back().users.size();
    }
    if (!usersAreDistinct(parts)) return false;

    // Everything is built before the test set changes; the commit below cannot fail.
    RunFigures total = std::move(parts.front().figures);
    std::vector<std::unique_ptr<CUserSession>> users;
    users.reserve(userCount);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (p > 0) addFigures(total, parts[p].figures);
        for (auto& user : parts[p].users) users.push_back(std::move(user));
    }
    std::sort(users.begin(), users.end(),
              [](const auto& a, const auto& b) { return a->index() < b->index(); });
    if (!usersAreComplete(users)) return false;

    t.users.swap(users);
    t.clients = static_cast<int>(t.users.size());
    applyFigures(t, std::move(total));
    return true;
}

} // namespace torvex
