#include "text/encoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "scan/prepare.h"
#include "support/case_file.h"

namespace lumora::text {
namespace {

TEST(DecodePageTest, CasesOfTheDataFile) {
    for (const testing::Case& c : testing::ReadCases("decode_page.txt")) {
        const DecodeResult r = DecodePage(c.Get("bytes"), c.Get("override"));
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.page.text, c.Get("text")) << c.name;
        EXPECT_EQ(r.page.encoding, c.Get("encoding")) << c.name;
        EXPECT_EQ(r.page.byteOrderMark, c.Has("bom")) << c.name;
    }
}

// Whatever the bytes, the result is valid UTF-8 holding no NUL-free surprises.
TEST(DecodePageTest, AnyBytesGiveValidUtf8) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        for (auto n = random() % 64; n > 0; --n) bytes.push_back(static_cast<char>(random()));
        for (const char* over : {"", "UTF-8", "UTF-16BE", "Shift_JIS", "ISO-2022-JP", "gb18030"}) {
            const DecodeResult r = DecodePage(bytes, over);
            ASSERT_TRUE(r.ok());
            EXPECT_TRUE(IsValidUtf8(r.page.text)) << over;
        }
    }
}

// A page read where it lies reads exactly as the decoded copy, and it is read so whenever
// the copy would hold the same bytes.
TEST(DecodePageTest, APageReadAsItIsReadsAsItsDecodedCopy) {
    // The pages of the data file, and the edges of reading as it is.
    std::vector<std::string> samples = {"", "\xEF\xBB\xBF", std::string("\xEF\xBB\xBF") + "caf\xE9",
                                        "<meta charset=\"ISO-8859-2\">plain", "\xED\xA0\x80"};
    for (const testing::Case& c : testing::ReadCases("decode_page.txt"))
        samples.push_back(c.Get("bytes"));
    for (const std::string& bytes : samples) {
        for (const char* over : {"", "utf8", "UTF-8", "latin1", "ISO-8859-2", "no-such-code"}) {
            const DecodeResult decoded = DecodePage(bytes, over);
            const std::optional<PageView> asIs = ReadableAsIs(bytes, over);
            const bool unchanged = decoded.ok() && decoded.page.encoding == kUtf8 &&
                                   TextView(bytes).ends_with(decoded.page.text) &&
                                   (decoded.page.text.size() == bytes.size() ||
                                    (decoded.page.byteOrderMark && decoded.page.encoding == kUtf8));
            EXPECT_EQ(asIs.has_value(), unchanged) << bytes << " / " << over;
            if (!asIs || !decoded.ok())
                continue;
            EXPECT_EQ(asIs->text, decoded.page.text) << bytes << " / " << over;
            EXPECT_EQ(asIs->text.data() + asIs->text.size(), bytes.data() + bytes.size());
            EXPECT_EQ(asIs->encoding, decoded.page.encoding) << bytes << " / " << over;
            EXPECT_EQ(asIs->byteOrderMark, decoded.page.byteOrderMark) << bytes << " / " << over;
        }
    }
}

TEST(EncodingLabelTest, NoLabelOrAnUnknownOneIsNoEncoding) {
    EXPECT_FALSE(EncodingForLabel("").has_value());
    EXPECT_FALSE(DecodePage("abc", "bogus").ok());
    EXPECT_EQ(DeclaredCharset("<html><META charset = \"Windows-1250\" />"), "windows-1250");
    EXPECT_EQ(DeclaredCharset("<meta name=x><p>charset=koi8-r</p>"), "");
}

// A character the page's encoding cannot hold is written as its numeric reference, and
// what is written reads back as the same text in every encoding.
TEST(EncodeForPageTest, WhatIsWrittenReadsBackAsTheSameText) {
    EXPECT_EQ(EncodeForPage("caf\u00E9 \u0152 \u0159 \U0001F600", "windows-1252").bytes,
              "caf\xE9 \x8C &#345; &#128512;");
    EXPECT_FALSE(EncodeForPage("x", "no-such-code").ok());
    const std::string text =
        "Ce\u0161k\u00E1 \u0159e\u010D \u0153uvre \u0416\u0438\u0437\u043D\u044C "
        "\u65E5\u672C \u03A3\u03BF\u03C6\u03AF\u03B1 \U0001F600 caf\u00E9";
    for (const char* encoding :
         {"UTF-8", "windows-1252", "ISO-8859-2", "ISO-8859-15", "windows-1251", "KOI8-R",
          "Shift_JIS", "EUC-KR", "gb18030", "Big5", "ISO-2022-JP", "UTF-16BE", "macintosh"}) {
        const EncodeResult encoded = EncodeForPage(text, encoding);
        ASSERT_TRUE(encoded.ok()) << encoding;
        DecodeResult decoded = DecodePage(encoded.bytes, encoding);
        ASSERT_TRUE(decoded.ok()) << encoding;
        scan::DecodeEntities(decoded.page.text);
        EXPECT_EQ(decoded.page.text, text) << encoding;
    }
}

// Texts kept or reported as UTF-8 (settings, lists, JSON) that may be of a single-byte page.
TEST(StoredTextTest, Utf8WhenValidElseTheEarlierSingleByteFormat) {
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xC3\xA9", "caf\u00E9"},                      // already UTF-8
        {"caf\xE9 \x93x\x94", "caf\u00E9 \u201Cx\u201D"},  // an earlier single-byte text
        {"", ""},
        {"\xC3\xA9 but \xFF", "\u00C3\u00A9 but \u00FF"},  // not UTF-8 as a whole: all Latin-1
        {"\xE0\x80\x80", "\u00E0\u20AC\u20AC"},            // an overlong form is not UTF-8
        {"Caf\xC3", "Caf\u00C3"},                          // nor is a character cut short
        {"\xED\xA0\x80", "\u00ED\u00A0\u20AC"},            // nor is a surrogate
        {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},  // unassigned in 1252
    };
    for (const auto& [bytes, expected] : cases) EXPECT_EQ(ReadStoredText(bytes), expected) << bytes;
}

}  // namespace
}  // namespace lumora::text
