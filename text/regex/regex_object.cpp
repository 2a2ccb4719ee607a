// RegexObject: placeholder implementation until the engine lands; every
// search yields no matches. See regex_object.h.
#include "text/regex/regex_object.h"

namespace sorvix {

bool RegexObject::Search(std::string_view, std::string_view subject, bool, bool, bool, bool) {
    subject_.assign(subject);
    groupCount_ = 0;
    spans_.clear();
    return false;
}

int RegexObject::MatchCount() const { return 0; }

Text RegexObject::MatchText(int) const { return {}; }

Text RegexObject::GroupText(int, int) const { return {}; }

}  // namespace sorvix
