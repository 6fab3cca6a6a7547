#pragma once

// The virtual users one process runs when `total` users are spread over `processes` processes:
// as even as possible, the first ones taking one more, in order of rank, so that the users'
// global numbers 0..total-1 are each run exactly once.
struct UserShare {
    int first = 0; // global index of the process's first user
    int count = 0;
};

UserShare shareOf(int total, int processes, int rank);
