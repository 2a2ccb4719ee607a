// What one read of the announcement post means for start-up.
#include <gtest/gtest.h>

#include "app/core/update_check.h"
#include "tests/sites/site_test_support.h"

namespace sorvix {
namespace {

using test::G;

TEST(UpdateCheck, Addresses) {
    EXPECT_EQ(AnnouncementAddress("http://127.0.0.1:8934"), "http://127.0.0.1:8934/post/1d3adc9c_780596c");
    EXPECT_EQ(AnnouncementAddress("http://b.test/"), "http://b.test/post/1d3adc9c_780596c");
    EXPECT_EQ(BlogHomeAddress("http://b.test"), "http://b.test/");
    EXPECT_EQ(AnnouncementAddress(""), "");   // no blog: no check
    EXPECT_EQ(BlogHomeAddress(""), "");
}

TEST(UpdateCheck, DecisionByPost) {
    struct Case {
        const char* name;
        std::string post;   // bytes as served (UTF-8)
        bool prompt;
        const char* notes;  // UTF-8
        const char* link;
        bool linkAllowed;
    };
    const Case cases[] = {
        {"own version", "Sorvix V1.0 ^^^n^^^ @@@http://x.test/a.zip@@@", false, "", "", false},
        {"own version in lower case", "sorvix v1.0 is current", false, "", "", false},
        {"own version beside a newer one", "V2.0 is out; V1.0 still fine", false, "", "", false},
        {"unreadable post", "", false, "", "", false},
        {"newer version", "V2.0 ^^^1.修复 2.新增^^^ @@@http://x.test/d/s.zip@@@", true, "1.修复 2.新增",
         "http://x.test/d/s.zip", true},
        {"percent-encoded notes", "V2.0 ^^^%E6%96%B0%E5%A2%9E^^^ @@@https://x.test/s.zip@@@", true, "新增",
         "https://x.test/s.zip", true},
        {"no markers", "V2.0 only", true, "", "", false},
        {"hostile download address", "V2.0 ^^^n^^^ @@@file:///C:/Windows/calc.exe@@@", true, "n",
         "file:///C:/Windows/calc.exe", false},
        {"program path as address", "V2.0 ^^^n^^^ @@@C:\\Windows\\notepad.exe@@@", true, "n",
         "C:\\Windows\\notepad.exe", false},
    };
    for (const Case& c : cases) {
        UpdateNotice n = DecideUpdate(c.post);
        EXPECT_EQ(n.prompt, c.prompt) << c.name;
        EXPECT_EQ(n.notes, G(c.notes)) << c.name;
        EXPECT_EQ(n.downloadLink, G(c.link)) << c.name;
        EXPECT_EQ(n.linkAllowed, c.linkAllowed) << c.name;
    }
}

TEST(UpdateCheck, PromptText) {
    EXPECT_EQ(UpdatePromptText(G("1.修复")), G("发现新版本！是否更新？！\r\n\r\n本次更新：\r\n1.修复"));
}

}  // namespace
}  // namespace sorvix
