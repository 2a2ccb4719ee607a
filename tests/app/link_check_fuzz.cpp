// Fuzz target for CheckLink: the first byte picks the use, the rest is the
// link. Invariants: no crash; an allowed link names one of the allowed
// schemes for its use and holds no byte the check forbids. Built into the
// tests (replayed over mutations) and, with clang, as a libFuzzer binary
// (clang++ -std=c++20 -fsanitize=fuzzer,address -I. with app/core/link_check.cpp
// and the text sources).
#include <cstdlib>
#include <string_view>

#include "app/core/link_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size == 0) return 0;
    using sorvix::LinkUse;
    const LinkUse uses[] = {LinkUse::MagnetResult, LinkUse::WebPage, LinkUse::ShareIndexDownload};
    const LinkUse use = uses[data[0] % 3];
    const std::string_view link(reinterpret_cast<const char*>(data + 1), size - 1);
    const sorvix::LinkVerdict verdict = sorvix::CheckLink(link, use);
    if (!verdict.allowed) return 0;
    const std::string& s = verdict.scheme;
    const bool schemeFits = use == LinkUse::MagnetResult ? s == "magnet"
                            : use == LinkUse::WebPage    ? (s == "http" || s == "https")
                                                         : (s == "http" || s == "https" || s == "ed2k" || s == "thunder");
    if (!schemeFits) std::abort();
    for (char ch : link) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == ' ' || c == '"' || c == '\\') std::abort();
    }
    return 0;
}
