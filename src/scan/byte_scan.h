// Eight bytes at a time: the loops that walk every byte of a page read eight of them as
// one 64-bit number and mark those that need a closer look all at once, so that the long
// runs of ordinary text between mark-up cost a few operations per eight bytes.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "text/chars.h"

namespace lumora::scan {

// The first byte in memory must be the lowest of the number (see FirstMarked).
static_assert(std::endian::native == std::endian::little, "byte_scan.h reads bytes in order");

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
inline constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;

inline std::uint64_t EightBytesAt(const Char* at) {
    std::uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

// The top bit of each byte below `limit` (at most 128) is set. A byte that borrows from
// the subtraction may be marked too, but only above a byte that is really below the
// limit, so whether any is marked, and which is marked first, is exact.
inline constexpr std::uint64_t MarkBytesBelow(std::uint64_t bytes, unsigned limit) {
    return (bytes - kEveryByte * limit) & ~bytes & kTopBits;
}

// The top bit of each byte above `limit` (below 128) is set. An addition carries only out
// of a byte that is marked itself, so again the first marked byte is exact.
inline constexpr std::uint64_t MarkBytesAbove(std::uint64_t bytes, unsigned limit) {
    return ((bytes + kEveryByte * (127 - limit)) | bytes) & kTopBits;
}

// The same for the bytes that are `c`.
inline constexpr std::uint64_t MarkBytesEqual(std::uint64_t bytes, Char c) {
    return MarkBytesBelow(bytes ^ (kEveryByte * Code(c)), 1);
}

// Which of the eight bytes is the first marked one (0 to 7); `marks` must not be 0.
inline std::size_t FirstMarked(std::uint64_t marks) {
    return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
}

// How many ASCII letters stand from `at` on, counting at most `limit`.
inline std::size_t AsciiLettersAt(TextView text, std::size_t at, std::size_t limit) {
    if (at >= text.size())
        return 0;
    const std::size_t end = at + std::min(limit, text.size() - at);
    // Setting bit 5 makes a capital small and leaves every other byte outside a to z; a
    // word of up to seven letters is then measured in one step.
    std::size_t i = at;
    for (; end - i >= 8; i += 8) {
        const std::uint64_t folded = EightBytesAt(text.data() + i) | (kEveryByte * 0x20);
        const std::uint64_t others = MarkBytesBelow(folded, 'a') | MarkBytesAbove(folded, 'z');
        if (others != 0)
            return i + FirstMarked(others) - at;
    }
    while (i < end && IsAsciiLetter(text[i])) ++i;
    return i - at;
}

// Where the first `a` or `b` stands at or after `from`; the size of the text when neither
// does.
inline std::size_t NextOfEither(TextView text, std::size_t from, Char a, Char b) {
    const Char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t i = from;
    for (; i < size && size - i >= 8; i += 8) {
        const std::uint64_t bytes = EightBytesAt(data + i);
        const std::uint64_t marks = MarkBytesEqual(bytes, a) | MarkBytesEqual(bytes, b);
        if (marks != 0)
            return i + FirstMarked(marks);
    }
    for (; i < size; ++i) {
        if (data[i] == a || data[i] == b)
            return i;
    }
    return size;
}

// Where the next line end (CR or LF) stands at or after `from`; the size of the text when
// there is none.
inline std::size_t NextLineEnd(TextView text, std::size_t from) {
    return NextOfEither(text, from, '\n', '\r');
}

}  // namespace lumora::scan
