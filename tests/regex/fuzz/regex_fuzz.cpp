// libFuzzer target: compile + match. Input: one flag byte, one byte giving
// the pattern length, the pattern, then the subject. Checks, besides the
// sanitizers' memory and undefined-behaviour checks, that every engine path
// returns the same spans and that spans are ordered, inside the subject and
// on character boundaries. One compiled program and one scratch serve every
// path, and a second pass with the scratch warm must answer the same; the
// RegexObject's texts must be the reference spans' bytes. Built and run by
// run.sh (clang only).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/gbk.h"
#include "text/regex/regex.h"
#include "text/regex/regex_object.h"

using sorvix::regex::Regex;
using sorvix::regex::Strategy;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    size_t plen = data[1];
    if (plen > size - 2) plen = size - 2;
    const std::string pattern(reinterpret_cast<const char*>(data + 2), plen);
    const std::string subject(reinterpret_cast<const char*>(data + 2 + plen), size - 2 - plen);
    const bool ic = flags & 1, ml = flags & 2, gl = flags & 4;

    std::vector<int> reference;
    bool first = true;
    Regex re;
    if (!re.Compile(pattern, ic, ml)) return 0;
    sorvix::regex::Scratch scratch;
    for (Strategy s : {Strategy::kPikeVm, Strategy::kAuto, Strategy::kDfaPikeVm, Strategy::kDfaBacktrack,
                       Strategy::kAuto, Strategy::kDfaPikeVm}) {
        std::vector<int> spans;
        int count = re.FindAll(scratch, subject, gl, spans, s);
        const size_t per = static_cast<size_t>(re.SlotCount());
        if (spans.size() != per * static_cast<size_t>(count)) abort();
        if (first) {
            reference = spans;
            first = false;
            // Every span lies inside the subject, begins on a character
            // boundary, and matches do not go backwards.
            std::vector<uint8_t> boundary(subject.size() + 1, 0);
            const auto* s8 = reinterpret_cast<const unsigned char*>(subject.data());
            for (size_t i = 0; i < subject.size(); i += sorvix::GbkCharLength(s8, i, subject.size())) {
                boundary[i] = 1;
            }
            boundary[subject.size()] = 1;
            int lastEnd = 0;
            for (int m = 0; m < count; ++m) {
                const int* sl = &spans[m * per];
                if (sl[0] < lastEnd || sl[1] < sl[0] || sl[1] > static_cast<int>(subject.size())) abort();
                lastEnd = sl[1];
                for (size_t g = 0; g < per; g += 2) {
                    if (sl[g] < 0) {
                        if (sl[g + 1] >= 0 || g == 0) abort();
                        continue;
                    }
                    if (sl[g + 1] < sl[g] || !boundary[sl[g]] || !boundary[sl[g + 1]]) abort();
                }
            }
        } else if (spans != reference) {
            abort();
        }
    }
    sorvix::RegexObject obj;
    const bool quote = flags & 8;
    obj.Search(pattern, subject, !ic, ml, gl, quote);
    if (!quote) {
        const size_t per = static_cast<size_t>(re.SlotCount());
        if (static_cast<size_t>(obj.MatchCount()) * per != reference.size()) abort();
        for (int i = 1; i <= obj.MatchCount(); ++i) {
            const int* sl = &reference[(i - 1) * per];
            if (obj.MatchText(i) != subject.substr(sl[0], sl[1] - sl[0])) abort();
            for (int g = 1; g < static_cast<int>(per / 2) && g < 4; ++g) {
                const std::string want = sl[2 * g] < 0 ? std::string() : subject.substr(sl[2 * g], sl[2 * g + 1] - sl[2 * g]);
                if (obj.GroupText(i, g) != want) abort();
            }
        }
    } else {
        for (int i = 1; i <= obj.MatchCount() && i < 4; ++i) (void)obj.GroupText(i, 1);
    }
    return 0;
}
