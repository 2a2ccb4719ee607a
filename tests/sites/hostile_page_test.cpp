// Hostile answers: every site routine must end with its normal end texts, no
// crash, and quickly (the time is printed, not asserted: the machine is shared).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "site_fixture.h"

namespace sorvix {
namespace {

using test::G;

constexpr size_t kMegabyte = 1024 * 1024;

std::string Repeat(const std::string& piece, size_t totalBytes) {
    std::string out;
    out.reserve(totalBytes + piece.size());
    while (out.size() < totalBytes) out += piece;
    return out;
}

struct Hostile {
    const char* name;
    std::string body;
};

std::vector<Hostile> HostilePages() {
    std::string invalidUtf8;
    for (int i = 0; i < 64 * 1024; ++i) invalidUtf8 += static_cast<char>(0x80 + (i * 37) % 128);
    return {
        {"a megabyte of magnet entry openings", Repeat("<h5 class=\"h\">", kMegabyte)},
        {"a megabyte of magnet value openings", "<h5 class=\"h\">x</h5>" + Repeat("prop_val\">", kMegabyte)},
        {"a megabyte of share-index openings",
         Repeat("<a class=\"blue\" target=\"_blank\" title=\"", kMegabyte)},
        {"a megabyte of disk hit openings",
         Repeat("<a class=\"cse-search-result_content_item_top_a\" href=\"", kMegabyte)},
        {"broken markup", Repeat("<<td <a href=\"/r\"\"> </td <h5 class=\"h\"></h5 %%%ZZ%4", kMegabyte / 4)},
        {"percent soup", Repeat("%E4%B8%", kMegabyte / 2)},
        {"invalid UTF-8", invalidUtf8 + "totalPages:1," + invalidUtf8},
        {"zero bytes", std::string(1000, '\0') + "totalPages:1,"},
        {"an entry of one megabyte",
         "totalPages:1,<h5 class=\"h\">" + std::string(kMegabyte, 'n') +
             "</h5><span class=\"prop_val\">d</span><span class=\"prop_val\">s</span>"
             "<span class=\"prop_val\">c</span><a href=\"magnet:?x\">"},
        {"a share-index entry of one megabyte",
         "<a class=\"blue\" target=\"_blank\" title=\"" + std::string(kMegabyte, 'n') + "\" href=\"/r/1\">"},
        {"a disk hit of one megabyte",
         "<a class=\"cse-search-result_content_item_top_a\" href=\"" + std::string(kMegabyte, 'l') +
             "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"go('1');\" >\n" + std::string(11, '\t') +
             std::string(kMegabyte, 't') + std::string(10, '\t') + "</a>\n"},
    };
}

template <class Run>
void ExpectEndsNormally(const char* site, Run run, const Text& finalOperation, bool closingMessage) {
    for (const Hostile& page : HostilePages()) {
        test::SiteRun siteRun;
        RecordingAppView& view = siteRun.view;
        // Both page-count markers first, so that the walking routines parse the page.
        siteRun.net.ServeOthers("totalPages:1,<span class=\"pcount\">共1页&nbsp;&nbsp;</span>" + page.body);
        const auto start = std::chrono::steady_clock::now();
        siteRun.RunSearch("k", run);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("[ hostile ] %-12s %-40s %8.1f ms, %d rows\n", site, page.name, ms, view.RowCount());
        EXPECT_EQ(view.Label(StatusLabel::Operation), finalOperation) << site << ": " << page.name;
        if (closingMessage) {
            EXPECT_EQ(view.Messages().size(), 1u) << site << ": " << page.name;
        }
        EXPECT_EQ(view.BadCellWrites(), 0) << site << ": " << page.name;
    }
}

TEST(HostilePages, MagnetSiteEndsNormally) {
    ExpectEndsNormally(
        "magnet", [](const SiteContext& c) { MagnetSiteSearch(c, "http://m.test"); }, G("搜索完毕！"), true);
}

TEST(HostilePages, ShareIndexEndsNormally) {
    ExpectEndsNormally(
        "share-index", [](const SiteContext& c) { ShareIndexSearch(c, "http://s.test"); }, G("搜索完毕！"),
        true);
}

TEST(HostilePages, DiskSearchEndsNormally) {
    ExpectEndsNormally(
        "disk",
        [](const SiteContext& c) {
            c.view.SetBoxText(EditBox::Page, "1");
            DiskSearch(c, *DiskVariantForOption(3), SearchBaseEncode("http://d.test/cse?q="));
        },
        G("搜索完毕！"), false);
}

}  // namespace
}  // namespace sorvix
