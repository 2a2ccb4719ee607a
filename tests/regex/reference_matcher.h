// A tiny backtracking matcher written straight from the ECMAScript-3 rules
// (continuation-passing RepeatMatcher, capture reset per iteration, empty
// iterations rejected once the minimum is met). Exponential in the worst
// case; used only on small generated inputs to check the real engine.
#pragma once

#include <string_view>
#include <vector>

namespace sorvix::test {

// Spans as Regex::FindAll gives them (byte offsets, -1 for groups that did
// not take part). Returns false when the pattern does not parse.
bool ReferenceFindAll(std::string_view pattern, std::string_view subject, bool ignoreCase,
                      bool multiLine, bool global, std::vector<int>& spans);

}  // namespace sorvix::test
