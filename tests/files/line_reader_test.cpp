#include "files/line_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_dir.h"

namespace lumora::files {
namespace {

using testing::TempDir;

std::vector<Text> ReadAll(const std::string& path, LineReader& reader) {
    std::vector<Text> lines;
    EXPECT_TRUE(reader.Open(path)) << path;
    Text line;
    while (reader.ReadLine(line)) lines.push_back(line);
    EXPECT_FALSE(reader.Failed());
    return lines;
}

TEST(LineReaderTest, LineEnds) {
    std::string allButCr;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r')
            allButCr.push_back(static_cast<char>(b));
    }
    const struct {
        const char* name;
        std::string bytes;
        std::vector<Text> lines;
    } cases[] = {
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"cr", "a\rb\r", {"a", "b"}},
        {"lone lf stays", "a\nb\r\nc\n", {"a\nb", "c\n"}},
        {"no final end", "a\r\nlast", {"a", "last"}},
        {"empty lines", "a\r\r\n\r\nb", {"a", "", "", "b"}},
        {"empty file", "", {}},
        {"every other byte", allButCr + "\r\n", {allButCr}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        LineReader reader;
        EXPECT_EQ(ReadAll(dir.Write(c.name, c.bytes), reader), c.lines) << c.name;
    }
}

TEST(LineReaderTest, LongLinesAndLineEndsAcrossReads) {
    TempDir dir;
    // Lines around the size of one internal read put a CR LF pair across a read boundary;
    // the longest is a page with LF-only line ends arriving as one line.
    for (std::size_t size : {(std::size_t{1} << 20) - 2, (std::size_t{1} << 20) - 1,
                             std::size_t{1} << 20, std::size_t{5} << 20}) {
        Text big(size, 'x');
        for (std::size_t i = 50; i < size; i += 100) big[i] = '\n';
        LineReader reader;
        const std::vector<Text> lines = ReadAll(dir.Write("big", big + "\r\ntail\r"), reader);
        ASSERT_EQ(lines.size(), 2u) << size;
        EXPECT_EQ(lines[0], big) << size;
        EXPECT_EQ(lines[1], "tail");
        EXPECT_EQ(reader.BytesRead(), static_cast<std::int64_t>(size + 7));
        EXPECT_EQ(reader.FileSize(), reader.BytesRead());
    }
}

TEST(LineReaderTest, OpensOnlyFilesAndStartsAfresh) {
    TempDir dir;
    LineReader reader;
    Text line;
    EXPECT_FALSE(reader.Open(dir.File("missing.htm")));
    EXPECT_FALSE(reader.Open(dir.Path()));
    EXPECT_FALSE(reader.ReadLine(line));
    ASSERT_TRUE(reader.Open(dir.Write("one", "a\rb")));
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.Open(dir.Write("two", "c")));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "c");
    EXPECT_FALSE(reader.ReadLine(line));
}

}  // namespace
}  // namespace lumora::files
