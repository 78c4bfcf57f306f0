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
    std::uint64_t tail = 0;
    if (i < text.size())
        std::memcpy(&tail, text.data() + i, text.size() - i);
    h = (h ^ tail) * kMul;
    // Final mix, so that the low bits the tables use depend on every byte.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

}  // namespace lumora
