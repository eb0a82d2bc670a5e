// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// A small seeded generator (splitmix64) whose sequence is the same with every
// compiler and library, unlike the std:: distributions, so demo stores made
// from the same arguments are identical everywhere.
class DemoRandom {
public:
    explicit DemoRandom(quint64 seed) : m_state(seed) {}

    quint64 next() {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); the modulo bias is far below anything a demo shows.
    int below(int n) { return int(next() % quint64(n)); }
    // Uniform in [0, 1).
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double p) { return unit() < p; }
    // decltype(auto): a reference into a list, a value for a character of a QString.
    template <typename List> decltype(auto) pick(const List &items) { return items[below(int(items.size()))]; }

private:
    quint64 m_state;
};
