#include "MpiSession.h"

#include <mpi.h>

#include <numeric>
#include <stdexcept>

MpiSession::MpiSession() {
    int provided = 0;
    // A scenario's runs call MPI from the run controller's worker thread, one call at a time.
    if (MPI_Init_thread(nullptr, nullptr, MPI_THREAD_SERIALIZED, &provided) != MPI_SUCCESS)
        throw std::runtime_error("MPI could not start");
    if (provided < MPI_THREAD_SERIALIZED) {
        MPI_Finalize();
        throw std::runtime_error("this MPI cannot be called from more than one thread");
    }
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

MpiSession::~MpiSession() {
    MPI_Finalize();
}

void MpiSession::barrier() {
    MPI_Barrier(MPI_COMM_WORLD);
}

void MpiSession::sumInto(const long long* values, long long* total, int count) {
    MPI_Allreduce(values, total, count, MPI_LONG_LONG, MPI_SUM, MPI_COMM_WORLD);
}

std::vector<std::string> MpiSession::gatherToFirst(const std::string& block) {
    const int size = static_cast<int>(block.size());
    std::vector<int> sizes(rank_ == 0 ? size_ : 0);
    MPI_Gather(&size, 1, MPI_INT, sizes.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);

    std::vector<int> offsets(sizes.size());
    std::exclusive_scan(sizes.begin(), sizes.end(), offsets.begin(), 0);
    std::string all(rank_ == 0 ? std::accumulate(sizes.begin(), sizes.end(), std::size_t{0}) : 0,
                    '\0');
    MPI_Gatherv(block.data(), size, MPI_CHAR, all.data(), sizes.data(), offsets.data(), MPI_CHAR, 0,
                MPI_COMM_WORLD);

    std::vector<std::string> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        blocks.push_back(
            all.substr(static_cast<std::size_t>(offsets[i]), static_cast<std::size_t>(sizes[i])));
    return blocks;
}

int MpiSession::broadcastFromFirst(int value) {
    MPI_Bcast(&value, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return value;
}
