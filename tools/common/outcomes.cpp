// SPDX-License-Identifier: MIT
#include "outcomes.h"

#include <algorithm>

std::vector<unsigned char> realise(const outcome_input& in, std::size_t element_size) {
    std::vector<unsigned char> out;
    out.reserve(in.rank.size() * element_size);
    for (std::size_t i = 0; i < in.rank.size(); ++i) {
        if (element_size == 1) {
            out.push_back(static_cast<unsigned char>(in.rank[i]));
            continue;
        }
        const std::uint32_t w = static_cast<std::uint32_t>(in.top[i]) << 31 | (in.rank[i] & 0x7FFFFFFFu);
        for (int b = 0; b < 32; b += 8) out.push_back(static_cast<unsigned char>(w >> b));
    }
    return out;
}

outcome_input describe(const std::vector<unsigned char>& bytes, std::size_t element_size) {
    const std::size_t n = bytes.size() / element_size;
    outcome_input in;
    in.top.assign(n, 0);
    in.rank.assign(n, 0);
    if (element_size == 1) {
        for (std::size_t i = 0; i < n; ++i) in.rank[i] = bytes[i];
        return in;
    }
    std::vector<std::uint32_t> low(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t w = 0;
        for (int b = 3; b >= 0; --b) w = w << 8 | bytes[4 * i + static_cast<std::size_t>(b)];
        in.top[i] = static_cast<std::uint8_t>(w >> 31);
        low[i] = w & 0x7FFFFFFFu;
    }
    std::vector<std::uint32_t> sorted = low;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (std::size_t i = 0; i < n; ++i)
        in.rank[i] = static_cast<std::uint32_t>(std::lower_bound(sorted.begin(), sorted.end(), low[i]) - sorted.begin());
    return in;
}
