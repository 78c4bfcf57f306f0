#include "scan/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "scan/strproc.h"

namespace lumora::scan {
namespace {

// Eight random bytes, many of them near the limits the marks test against.
std::string RandomEight(std::mt19937& random) {
    static const unsigned char kNear[] = {0,   1,   9,    10,   13,   31,   32,  38,
                                          60,  64,  65,   90,   91,   96,   97,  122,
                                          123, 127, 0x80, 0xC3, 0xFE, 0xFF, 'e', ' '};
    std::string bytes(8, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() % 2 ? kNear[random() % sizeof kNear] : random() % 256);
    }
    return bytes;
}

// Which byte is first marked, or 8 for none.
std::size_t First(std::uint64_t marks) {
    return marks == 0 ? 8 : FirstMarked(marks);
}

template <typename Test>
std::size_t FirstWhere(const std::string& bytes, Test test) {
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (test(Code(bytes[k])))
            return k;
    }
    return bytes.size();
}

TEST(ByteScanTest, EightAtOnceFindsWhatOneByOneFinds) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        const std::string bytes = RandomEight(random);
        const std::uint64_t word = EightBytesAt(bytes.data());
        const unsigned limit = random() % 129;
        ASSERT_EQ(First(MarkBytesBelow(word, limit)),
                  FirstWhere(bytes, [&](unsigned b) { return b < limit; }));
        const unsigned above = random() % 128;
        ASSERT_EQ(First(MarkBytesAbove(word, above)),
                  FirstWhere(bytes, [&](unsigned b) { return b > above; }));
        const Char sought = bytes[random() % 8];
        ASSERT_EQ(First(MarkBytesEqual(word, sought)),
                  FirstWhere(bytes, [&](unsigned b) { return b == Code(sought); }));
    }
}

TEST(ByteScanTest, RunsAndSearchesOverWholeTexts) {
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (auto k = random() % 5; k > 0; --k) text += RandomEight(random);
        for (auto k = random() % 30; k > 0; --k) text += "aZ"[random() % 2];
        text += RandomEight(random).substr(0, random() % 8);
        const std::size_t at = random() % (text.size() + 1);
        const TextView rest = TextView(text).substr(at);
        ASSERT_EQ(NextOfEither(text, at, '\n', '<'),
                  at + std::min(rest.find_first_of("\n<"), rest.size()));
        const std::size_t limit = random() % 40;
        std::size_t letters = 0;
        while (letters < std::min(limit, rest.size()) && IsAsciiLetter(rest[letters])) ++letters;
        ASSERT_EQ(AsciiLettersAt(text, at, limit), letters);
        const WordRun quick = LetterRunAt(text, at), full = WordRunAt(text, at, false);
        ASSERT_EQ(quick.bytes, full.bytes) << text << " at " << at;
        ASSERT_EQ(quick.chars, full.chars);
        ASSERT_EQ(quick.ascii, full.ascii);
    }
}

}  // namespace
}  // namespace lumora::scan
