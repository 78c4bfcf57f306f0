// A fast hash of a text for the look-up tables that run once per word of a page.
#pragma once

#include <cstdint>
#include <cstring>

#include "text/chars.h"

namespace lumora {

// Eight bytes at a time, mixed by multiplication, with a final avalanche step; inlined
// where a library hash call would dominate the cost of a short word.
inline std::uint64_t HashText(TextView text) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = text.size() * kMul;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, text.data() + i, 8);
        h = (h ^ chunk) * kMul;
        h ^= h >> 29;
    }
    // The last one to seven bytes, read in at most two loads that may overlap (a copy of
    // a variable length through memory would stall the load that follows it). Together
    // the loads cover every byte, so texts of one length that differ get different tails.
    const std::size_t rest = text.size() - i;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data() + i);
    std::uint64_t tail = 0;
    if (rest >= 4) {
        std::uint32_t low;
        std::uint32_t high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + rest - 4, 4);
        tail = low | (static_cast<std::uint64_t>(high) << 32);
    } else if (rest > 0) {
        tail = p[0] | (static_cast<std::uint64_t>(p[rest / 2]) << 8) |
               (static_cast<std::uint64_t>(p[rest - 1]) << 16);
    }
    h = (h ^ tail) * kMul;
    // Final mix, so that the low bits the tables use depend on every byte.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

}  // namespace lumora
