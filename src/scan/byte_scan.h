// Eight bytes at a time: the loops that walk every byte of a page read eight of them as
// one 64-bit number and ask of all eight at once whether any needs a closer look, so
// that the long runs of ordinary text between mark-up cost a few operations per eight
// bytes. A yes only says that one of the eight may matter; the caller then looks at them
// one by one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/chars.h"

namespace lumora::scan {

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
inline constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;

inline std::uint64_t EightBytesAt(const Char* at) {
    std::uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

// Some byte of the eight is below `limit` (at most 128). A byte that borrows from the
// subtraction can only set a top bit above a byte that is really below the limit, so the
// answer as a whole is exact.
inline constexpr bool AnyByteBelow(std::uint64_t bytes, unsigned limit) {
    return ((bytes - kEveryByte * limit) & ~bytes & kTopBits) != 0;
}

// Some byte of the eight is `c`.
inline constexpr bool AnyByteIs(std::uint64_t bytes, Char c) {
    return AnyByteBelow(bytes ^ (kEveryByte * Code(c)), 1);
}

// Where the next line end (CR or LF) stands at or after `from`; the size of the text when
// there is none.
inline std::size_t NextLineEnd(TextView text, std::size_t from) {
    const Char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t i = from;
    for (;;) {
        // CR and LF are both below 14; so is the tab, which sends its eight bytes to the
        // closer look without harm.
        while (size - i >= 8 && !AnyByteBelow(EightBytesAt(data + i), 14)) i += 8;
        const std::size_t stop = std::min(size, i + 8);
        for (; i < stop; ++i) {
            if (data[i] == '\n' || data[i] == '\r')
                return i;
        }
        if (i == size)
            return size;
    }
}

}  // namespace lumora::scan
