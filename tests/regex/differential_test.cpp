// Differential test against Node's RegExp: diff/cases.txt holds hand-picked
// and generated pattern/subject pairs (ASCII and Chinese, GBK-encoded) with
// the matches Node found (diff/make_cases.js made it). RegexObject and every
// engine path must give the same match count, match texts and group texts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_paths.h"
#include "text/regex/regex.h"
#include "text/regex/regex_object.h"

namespace sorvix {
namespace {

struct DiffCase {
    std::string flags;
    std::string pattern, subject;
    // Per match: whole match then groups; nullopt-like "absent" as flag.
    std::vector<std::vector<std::pair<bool, std::string>>> matches;
    int line = 0;
};

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::vector<DiffCase> LoadCases(const std::string& path) {
    std::ifstream in(path);
    std::vector<DiffCase> cases;
    std::string line;
    int lineNo = 0;
    DiffCase cur;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream ls(line);
        std::string key;
        ls >> key;
        if (key == "case") {
            cur = DiffCase();
            ls >> cur.flags;
            cur.line = lineNo;
        } else if (key == "pattern") {
            std::string h;
            ls >> h;
            cur.pattern = FromHex(h);
        } else if (key == "subject") {
            std::string h;
            ls >> h;
            cur.subject = FromHex(h);
        } else if (key == "match") {
            std::vector<std::pair<bool, std::string>> m;
            std::string tok;
            while (ls >> tok) {
                if (tok == "-") m.emplace_back(false, "");
                else m.emplace_back(true, FromHex(tok.substr(1)));
            }
            cur.matches.push_back(std::move(m));
        } else if (key == "end") {
            cases.push_back(std::move(cur));
        }
    }
    return cases;
}

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

class NodeDifferential : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cases_ = LoadCases(test::SourcePath("tests/regex/diff/cases.txt")); }
    static std::vector<DiffCase> cases_;
};
std::vector<DiffCase> NodeDifferential::cases_;

TEST_F(NodeDifferential, FixtureLoaded) { EXPECT_GE(cases_.size(), 400u); }

TEST_F(NodeDifferential, RegexObjectAgreesWithNode) {
    for (const DiffCase& c : cases_) {
        SCOPED_TRACE("cases.txt line " + std::to_string(c.line) + " pattern " + Printable(c.pattern) +
                     " subject " + Printable(c.subject) + " flags " + c.flags);
        RegexObject re;
        const bool ic = c.flags.find('i') != std::string::npos;
        const bool ml = c.flags.find('m') != std::string::npos;
        const bool gl = c.flags.find('g') != std::string::npos;
        re.Search(c.pattern, c.subject, !ic, ml, gl);
        ASSERT_EQ(re.MatchCount(), static_cast<int>(c.matches.size()));
        for (size_t m = 0; m < c.matches.size(); ++m) {
            const int n = static_cast<int>(m) + 1;
            EXPECT_EQ(Printable(re.MatchText(n)), Printable(c.matches[m][0].second)) << "match " << n;
            for (size_t g = 1; g < c.matches[m].size(); ++g) {
                EXPECT_EQ(Printable(re.GroupText(n, static_cast<int>(g))),
                          Printable(c.matches[m][g].second))
                    << "match " << n << " group " << g;
            }
        }
    }
}

// Every engine path gives the same spans, including which groups took part.
TEST_F(NodeDifferential, EveryEnginePathAgrees) {
    using regex::Strategy;
    for (const DiffCase& c : cases_) {
        SCOPED_TRACE("cases.txt line " + std::to_string(c.line) + " pattern " + Printable(c.pattern));
        const bool ic = c.flags.find('i') != std::string::npos;
        const bool ml = c.flags.find('m') != std::string::npos;
        const bool gl = c.flags.find('g') != std::string::npos;
        regex::Regex re;
        ASSERT_TRUE(re.Compile(c.pattern, ic, ml));
        std::vector<int> reference;
        re.FindAll(c.subject, gl, reference, Strategy::kPikeVm);
        for (Strategy s : {Strategy::kAuto, Strategy::kDfaPikeVm, Strategy::kDfaBacktrack}) {
            regex::Regex other;
            ASSERT_TRUE(other.Compile(c.pattern, ic, ml));
            std::vector<int> spans;
            other.FindAll(c.subject, gl, spans, s);
            EXPECT_EQ(spans, reference) << "strategy " << static_cast<int>(s);
        }
        // Group participation as Node reports it.
        const size_t per = static_cast<size_t>(re.SlotCount());
        ASSERT_EQ(reference.size(), per * c.matches.size());
        for (size_t m = 0; m < c.matches.size(); ++m) {
            for (size_t g = 1; g < c.matches[m].size(); ++g) {
                EXPECT_EQ(reference[m * per + 2 * g] >= 0, c.matches[m][g].first)
                    << "match " << m + 1 << " group " << g;
            }
        }
    }
}

}  // namespace
}  // namespace sorvix
