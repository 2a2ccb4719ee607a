// Lazy gap scans: from a position inside a lazy loop "X*?", the first
// place where the loop's exit could begin or the loop must stop. Every
// position before it only passes through the loop, so the straight attempt
// and the backtracker jump there in one scan. Guarantees: the cost is the
// distance scanned (a fast gap uses the exit's literal finder and the
// stopping bytes, found in one pass); the scan never passes a place where
// the exit could begin, so no match is skipped.
#include "text/regex/regex.h"

#include <algorithm>

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

size_t Regex::GapStop(const Gap& g, const unsigned char* s, size_t n, size_t p, size_t end, GapMemo* memo,
                      bool* exitHit, size_t* scanned) const {
    if (exitHit) *exitHit = false;
    const size_t p0 = p;
    if (g.fast) {
        // The loop cannot pass a blocking byte; those are below 0x40, so
        // never trail bytes, and where one is found a character begins. One
        // pass looks for both, so the cost is the distance to the stop.
        // An earlier search from at or before p saw neither an exit nor a
        // blocking byte up to memo->clearTo: carry on from there.
        size_t lo = p;
        if (memo && p >= memo->clearFrom && p < memo->clearTo) lo = std::min(memo->clearTo, end);
        size_t r = end;
        if (g.block[0] >= 0) {
            r = g.exit.FindOrStop(s, n, lo, end, p, exitHit);
        } else if (lo < end) {
            // Nothing stops the loop: the widest literal scan serves.
            r = std::min(end, g.exit.Find(s, n, lo, end - 1, p));
            if (exitHit) *exitHit = r < end;
        }
        // Nothing stops the loop or begins the exit in [p, r): later
        // searches from inside that span go straight to r.
        if (memo) {
            if (p >= memo->clearFrom && p <= memo->clearTo) {
                memo->clearTo = std::max(memo->clearTo, r);
            } else {
                memo->clearFrom = p;
                memo->clearTo = r;
            }
        }
        if (scanned) *scanned = r > lo ? r - lo : 0;
        return r;
    }
    const Program& prog = program_;
    while (p < end) {
        unsigned char b = s[p];
        if (b < 0x81) {
            if (g.stopByte[b]) break;
            ++p;
            continue;
        }
        size_t len;
        if (g.stopClass[prog.ClassAt(s, p, n, len)]) break;
        p += len;
    }
    if (scanned) *scanned = p - p0;
    return p;
}

}  // namespace sorvix::regex
