// Deterministic random numbers for the generators: std::mt19937_64 with our own
// small distributions, so the same seed gives the same files everywhere.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace testdata {

class RandomSource {
  public:
    // Seeds the engine.
    explicit RandomSource(uint64_t seed) : m_engine(seed) {}

    // Raw 64 random bits.
    uint64_t next() { return m_engine(); }
    // A number in [0, n); 0 when n is 0.
    uint64_t below(uint64_t n) { return n == 0 ? 0 : m_engine() % n; }
    // A number in [lo, hi].
    int64_t between(int64_t lo, int64_t hi) {
        return lo + static_cast<int64_t>(below(static_cast<uint64_t>(hi - lo + 1)));
    }
    // A number in [0, 1).
    double unit() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }
    // True with probability p.
    bool chance(double p) { return unit() < p; }
    // One element of a non-empty list.
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(items.size())];
    }
    // Shuffles a list (Fisher-Yates, own draws).
    template <typename T>
    void shuffle(std::vector<T>& items) {
        for (size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[below(i)]);
    }

  private:
    std::mt19937_64 m_engine;
};

} // namespace testdata
