#include "UserShare.h"

#include <algorithm>

UserShare shareOf(int total, int processes, int rank) {
    if (total <= 0 || processes <= 0 || rank < 0 || rank >= processes) return {};
    const int base  = total / processes;
    const int extra = total % processes;
    return {rank * base + std::min(rank, extra), base + (rank < extra ? 1 : 0)};
}
