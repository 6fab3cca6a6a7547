#pragma once

#include <cstdint>

namespace torvex {

// The per-user random numbers R(n): a linear congruential generator on 32 bits. Each virtual
// user owns one, so users never share state and their sequences are reproducible from the seed.
class RandomGenerator {
public:
    explicit RandomGenerator(std::uint32_t seed = 0) : state_(seed) {}

    void seed(std::uint32_t value) { state_ = value; }
    std::uint32_t state() const { return state_; }

    // A number from 0 to n - 1; 0 without advancing the state when n is not above 0.
    int next(int n) {
        if (n <= 0) return 0;
        state_ = state_ * 522757251u - 477701841u;
        // Arithmetic shift of the state read as signed.
        std::int32_t shifted = static_cast<std::int32_t>(state_) >> 3;
        return static_cast<int>((shifted & 0x7fffffff) % n);
    }

private:
    std::uint32_t state_;
};

} // namespace torvex
