// Writes a generated site for timing many pages at once:
//   lumora_make_site FOLDER PAGES BYTES
// Pages p0000.htm ... each of about BYTES bytes, each drawn with its own seed, in
// subfolders of 100 pages, all with the same navigation bar.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "page_generator.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: lumora_make_site FOLDER PAGES BYTES\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const unsigned long pages = std::strtoul(argv[2], nullptr, 10);
    const std::size_t bytes = std::strtoull(argv[3], nullptr, 10);
    const std::string nav =
        "<div class=\"nav\">Home | Portfolio | Gallery | Pricing | Newsletter | Contact</div>\n";
    for (unsigned long i = 0; i < pages; ++i) {
        lumora::bench::PageShape shape;
        shape.bytes = bytes > nav.size() ? bytes - nav.size() : 1;
        shape.vocabulary = 3000;
        shape.unixLineEnds = i % 2 == 0;
        shape.seed = static_cast<unsigned>(i + 1);
        std::string page = lumora::bench::MakePage(shape);
        const std::size_t body = page.find("<body>");
        page.insert(body == std::string::npos ? 0 : body + 6, nav);
        char name[32];
        std::snprintf(name, sizeof name, "s%02lu/p%04lu.htm", i / 100, i);
        const std::filesystem::path path = folder / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << page;
    }
    return 0;
}
