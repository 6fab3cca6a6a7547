#pragma once

#include <array>
#include <string>
#include <vector>

// MPI for one distributed run: started in the constructor, finished in the destructor. One
// thread at a time calls MPI (this one, or the run controller's worker while it runs); the
// engine's threads never do.
class MpiSession {
public:
    MpiSession(); // throws std::runtime_error when MPI cannot start
    ~MpiSession();
    MpiSession(const MpiSession&)            = delete;
    MpiSession& operator=(const MpiSession&) = delete;

    int rank() const { return rank_; }
    int size() const { return size_; }

    // Every process waits here until all have come.
    void barrier();
    // The element-wise sum of `values` over all processes, on every process.
    template <std::size_t N> std::array<long long, N> sum(const std::array<long long, N>& values) {
        std::array<long long, N> total{};
        sumInto(values.data(), total.data(), static_cast<int>(N));
        return total;
    }
    // Every process's block, in rank order, on rank 0; empty elsewhere. A process may give an
    // empty block.
    std::vector<std::string> gatherToFirst(const std::string& block);
    // Rank 0's value, on every process.
    int broadcastFromFirst(int value);

private:
    void sumInto(const long long* values, long long* total, int count);

    int rank_ = 0;
    int size_ = 1;
};
