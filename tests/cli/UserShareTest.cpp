// How the users of a run are shared out over the processes of an MPI job.
#include "UserShare.h"

#include <gtest/gtest.h>

TEST(UserShareTest, EveryUserIsRunOnceInRankOrder) {
    for (int total : {0, 1, 2, 7, 9, 100}) {
        for (int processes : {1, 2, 3, 4, 16}) {
            int next = 0;
            for (int rank = 0; rank < processes; ++rank) {
                const UserShare share = shareOf(total, processes, rank);
                SCOPED_TRACE(std::to_string(total) + " users, rank " + std::to_string(rank) +
                             " of " + std::to_string(processes));
                if (share.count > 0) {
                    EXPECT_EQ(share.first, next);
                }
                EXPECT_LE(share.count, total / processes + 1);
                EXPECT_GE(share.count, total / processes);
                next += share.count;
            }
            EXPECT_EQ(next, total);
        }
    }
}

TEST(UserShareTest, TheFirstProcessesTakeTheRemainder) {
    EXPECT_EQ(shareOf(7, 3, 0).count, 3);
    EXPECT_EQ(shareOf(7, 3, 1).first, 3);
    EXPECT_EQ(shareOf(7, 3, 2).first, 5);
    EXPECT_EQ(shareOf(7, 3, 3).count, 0); // not a rank of the job
    EXPECT_EQ(shareOf(2, 3, 2).count, 0);
}
