#pragma once

#include "RunCommand.h"

// Runs the test script or scenario of `request` as one process of an MPI job (torvex-run --mpi
// under mpirun): every process loads the same file and runs its share of the virtual users, all
// start together, rank 0 shows the summed progress, a stop on any process stops all, and rank 0
// merges the results of all processes into one report (and results file), as if it had run every
// user. The runs of a batch step on every process together. Returns the exit status of the whole
// run, the same on every process.
int runDistributed(const RunRequest& request);
