// Writes a generated page to standard output, for timing the command-line tool:
//   lumora_make_page BYTES [VOCABULARY] [unix|utf8]
#include <cstdlib>
#include <iostream>
#include <string>

#include "page_generator.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: lumora_make_page BYTES [VOCABULARY] [unix|utf8]\n";
        return 2;
    }
    lumora::bench::PageShape shape;
    shape.bytes = std::strtoull(argv[1], nullptr, 10);
    if (argc > 2)
        shape.vocabulary = std::strtoull(argv[2], nullptr, 10);
    shape.unixLineEnds = argc > 3 && std::string(argv[3]) == "unix";
    shape.utf8Words = argc > 3 && std::string(argv[3]) == "utf8";
    std::cout << lumora::bench::MakePage(shape);
    return 0;
}
