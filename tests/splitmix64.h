// splitmix64: a small generator that gives the same numbers on every
// machine, for the generated inputs of the tests, the replay corpus and the
// benchmark.
#pragma once

#include <cstdint>

struct SplitMix64 {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};
