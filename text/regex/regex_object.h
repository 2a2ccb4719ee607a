// RegexObject: the small object through which the site searches pull entries
// out of page text. One Search() compiles a pattern with our own linear-time
// engine (text/regex/regex.h), runs it over a GBK subject and keeps the
// matches; the caller then reads counts and texts by 1-based index.
//
// Guarantees: no exceptions, no messages. A pattern the engine rejects
// (syntax error, back-reference, look-around) leaves zero matches. Match and
// group texts are byte-exact substrings of the subject. An index outside the
// matches or groups gives the empty text. Instances belong to the thread that
// made them; they hold no COM or other platform state. Compiled patterns
// come from the process-wide ProgramCache (program_cache.h), so a pattern
// run page after page, thread after thread, is compiled once per process.
// Search reads the caller's subject in place and keeps only the matches'
// bytes, so six patterns over one page do not copy the page six times. The
// search state (DFA states, visited bits) is lent from a process-wide pool
// for the length of one Search, so it stays warm from page to page.
// Covered by tests/regex/regex_object_test.cpp.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "text/text.h"

namespace sorvix {

class RegexObject {
public:
    RegexObject() = default;

    // Compiles pattern and collects the matches in subject. Defaults are the
    // ones every site routine relies on: case ignored, "^"/"$" at line breaks,
    // every match, QuoteMarker left alone. With quoteMarker set, each "#引号"
    // in the pattern stands for a double quote. Returns true when at least one
    // match was found; a rejected pattern gives false and MatchCount() 0.
    bool Search(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                bool multiLine = true, bool global = true, bool quoteMarker = false);

    int MatchCount() const;
    Text MatchText(int index) const;             // 1-based; empty when out of range
    Text GroupText(int index, int group) const;  // 1-based both; empty when out of range
                                                 // or the group did not take part

private:
    Text SpanText(int index, int group) const;  // group 0 = the whole match

    // The matches' bytes, one after another. For each match, (1 +
    // groupCount_) pairs of byte offsets [begin, end) into texts_: the whole
    // match, then each group; -1 marks a group that did not take part.
    Text texts_;
    int groupCount_ = 0;
    std::vector<int> spans_;
};

}  // namespace sorvix
