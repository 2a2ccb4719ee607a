// searchbase-encode ADDRESS      prints the stored form of ADDRESS
// searchbase-encode --decode S   prints the address stored as S
// The address is taken as bytes (ASCII in practice). The stored form is what
// app/core/config.cpp keeps as its compiled-in default.
#include <cstdio>
#include <cstring>

#include "sites/site_search.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--decode") == 0) {
        std::printf("%s\n", sorvix::SearchBaseDecode(argv[2]).c_str());
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: searchbase-encode ADDRESS | --decode STORED\n");
        return 2;
    }
    std::printf("%s\n", sorvix::SearchBaseEncode(argv[1]).c_str());
    return 0;
}
