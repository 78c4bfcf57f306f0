#include "text/chars.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdlib>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "support/case_file.h"
#include "text/text_hash.h"

namespace lumora {
namespace {

unsigned U(CodePoint cp) {
    return static_cast<unsigned>(cp);
}

std::string Utf8(CodePoint cp) {
    std::string s;
    AppendUtf8(s, cp);
    return s;
}

// NFC computed by the library in full, without the program's quick check.
std::string FullNfc(const std::string& s) {
    utf8proc_uint8_t* out = nullptr;
    const utf8proc_ssize_t n =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(s.data()),
                     static_cast<utf8proc_ssize_t>(s.size()), &out,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    std::string result =
        n < 0 ? s : std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(n));
    std::free(out);
    return result;
}

TEST(CharsTest, DecodingTakesOnlyWellFormedUtf8) {
    for (const testing::Case& c : testing::ReadCases("utf8.txt")) {
        const Decoded d = DecodeAt(c.Get("bytes"), 0);
        unsigned cp = 0;
        std::size_t length = 0;
        std::istringstream(c.Get("char")) >> std::hex >> cp >> std::dec >> length;
        EXPECT_EQ(U(d.cp), cp) << c.name;
        EXPECT_EQ(d.length, length) << c.name;
        EXPECT_EQ(IsValidUtf8(c.Get("bytes")), cp != U(kReplacementCharacter)) << c.name;
    }
    EXPECT_EQ(CharCount("a\u00E9\u2019\U0001F600\xFF"), 5u);
    EXPECT_EQ(StartOfCharBefore("a\u00E9", 3), 1u);
    EXPECT_EQ(StartOfCharBefore("a\xA9", 2), 1u);  // a stray continuation byte stands alone
    for (CodePoint cp :
         {CodePoint{0}, CodePoint{0x7F}, CodePoint{0x80}, CodePoint{0x7FF}, CodePoint{0x800},
          CodePoint{0xFFFF}, CodePoint{0x10000}, CodePoint{0x10FFFF}}) {
        EXPECT_EQ(U(DecodeAt(Utf8(cp), 0).cp), U(cp));
    }
}

// The whole-text check agrees with reading the text character by character, on random
// bytes weighted towards the edges of the multi-byte forms.
TEST(CharsTest, ValidityAgreesWithDecodingEveryCharacter) {
    const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                   0xC2, 0xDF, 0xE0, 0xED, 0xEE, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::mt19937 random(5);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        // Long ASCII runs as well, for the blocks checked many bytes at a time.
        if (round % 4 == 0)
            bytes.assign(random() % 70, 'a');
        for (auto n = random() % 6; n > 0; --n)
            bytes.push_back(static_cast<char>(edges[random() % std::size(edges)]));
        if (round % 3 == 0)
            bytes.append(random() % 40, 'b');
        bool valid = true;
        for (std::size_t i = 0; i < bytes.size();) {
            const Decoded d = DecodeAt(bytes, i);
            if (d.cp == kReplacementCharacter && d.length == 1)
                valid = false;
            i += d.length;
        }
        // A view followed by continuation bytes: the check must stop at the view's end.
        const std::string followed = bytes + "\x80\x80\x80";
        ASSERT_EQ(IsValidUtf8(TextView(followed).substr(0, bytes.size())), valid) << round;
    }
}

// Every byte of a text counts in its hash, whatever the length: changing any one byte
// changes the hash (the last few bytes are read specially).
TEST(TextHashTest, EveryByteCounts) {
    std::mt19937 random(3);
    for (std::size_t length = 0; length <= 40; ++length) {
        std::string text(length, 'a');
        for (char& c : text) c = static_cast<char>(random());
        const std::uint64_t hash = HashText(text);
        EXPECT_EQ(HashText(std::string(text)), hash);
        for (std::size_t i = 0; i < length; ++i) {
            std::string changed = text;
            changed[i] = static_cast<char>(changed[i] ^ 0x01);
            EXPECT_NE(HashText(changed), hash) << "length " << length << " byte " << i;
        }
        // A text is not the same as itself padded with a zero byte.
        const std::string padded = text + '\0';
        EXPECT_NE(HashText(padded), hash) << "length " << length;
    }
}

TEST(CharsTest, LettersCaseAndScript) {
    EXPECT_EQ(LowerLetters("\u00C0\u03A3\u0416 ABC \u0130\u023A"),
              "\u00E0\u03C3\u0436 abc i\u2C65");
    EXPECT_EQ(Lower("\u00C0BC"), "\u00C0bc");  // mark-up lower-casing keeps every byte
    EXPECT_EQ(UpperChar(0xB5), 0x39Cu);        // µ upper-cases to Greek Mu
    for (const CodePoint cp : {0x151, 0x1EBF}) EXPECT_TRUE(IsLatinLetter(cp)) << U(cp);
    for (const CodePoint cp : {0x3B1, 0x436, 0x31}) EXPECT_FALSE(IsLatinLetter(cp)) << U(cp);
    EXPECT_EQ(U(BaseLetter(0x151)), unsigned{'o'});
    EXPECT_EQ(U(BaseLetter(0xF8)), 0xF8u);  // ø is a letter of its own
}

// The classes kept for the characters of the Basic Multilingual Plane agree with the
// library for every one of them.
TEST(CharsTest, KeptClassesAgreeWithTheLibrary) {
    for (CodePoint cp = 0; cp < 0x10000; ++cp) {
        const auto c = static_cast<utf8proc_int32_t>(cp);
        const utf8proc_category_t cat = utf8proc_category(c);
        const bool letter = cat >= UTF8PROC_CATEGORY_LU && cat <= UTF8PROC_CATEGORY_LO;
        const bool mark = cat >= UTF8PROC_CATEGORY_MN && cat <= UTF8PROC_CATEGORY_ME;
        ASSERT_EQ(IsLetter(cp), letter) << std::hex << U(cp);
        ASSERT_EQ(IsMark(cp), mark && cp >= 0x300) << std::hex << U(cp);
        ASSERT_EQ(U(LowerChar(cp)), static_cast<unsigned>(utf8proc_tolower(c)))
            << std::hex << U(cp);
    }
}

TEST(CharsTest, NfcComposesAndLeavesComposedTextAlone) {
    EXPECT_EQ(Nfc("cafe\u0301"), "caf\u00E9");
    EXPECT_EQ(Nfc("\u212B"), "\u00C5");  // a singleton: the Angstrom sign
    EXPECT_EQ(Nfc("\u1100\u1161"), "\uAC00");
    EXPECT_FALSE(MayNeedNfc("caf\u00E9 \u0436\u0438\u0437\u043D\u044C \u65E5\u672C"));
    EXPECT_TRUE(MayNeedNfc("cafe\u0301"));
    const Text damaged = Text("\xFF") + "e\u0301";
    EXPECT_EQ(Nfc(damaged), damaged);  // damaged text is left as it is
}

// The quick check must never call a text NFC that is not: every character it calls
// stable is its own NFC form, and no character it calls stable is the second part of a
// composition.
TEST(CharsTest, NfcQuickCheckIsSoundForEveryCharacter) {
    for (CodePoint cp = 0; cp < 0x30000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const std::string s = Utf8(cp);
        const std::string composed = FullNfc(s);
        if (IsNfcStable(cp)) {
            ASSERT_EQ(composed, s) << std::hex << U(cp);
        }
        utf8proc_int32_t parts[8];
        int last = 0;
        const utf8proc_ssize_t n =
            utf8proc_decompose_char(static_cast<utf8proc_int32_t>(cp), parts, 8,
                                    static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE), &last);
        if (n < 2 || n > 8 || composed != s)
            continue;  // only characters that compose from their parts
        for (utf8proc_ssize_t k = 1; k < n; ++k)
            ASSERT_FALSE(IsNfcStable(static_cast<CodePoint>(parts[k])))
                << std::hex << U(cp) << " part " << parts[k];
    }
}

}  // namespace
}  // namespace lumora
