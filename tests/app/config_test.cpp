// sorvix.ini: defaults, values, comments, BOM, problems with line numbers,
// the SORVIX_CONFIG override.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/core/config.h"
#include "sites/site_search.h"

namespace sorvix {
namespace {

void SetConfigVariable(const char* value) {
#ifdef _WIN32
    _putenv_s("SORVIX_CONFIG", value ? value : "");
#else
    if (value) setenv("SORVIX_CONFIG", value, 1);
    else unsetenv("SORVIX_CONFIG");
#endif
}

TEST(Config, DefaultsPointAtLoopback) {
    const Config config;
    EXPECT_EQ(config.magnet, "http://127.0.0.1:8931");
    EXPECT_EQ(config.shareIndex, "http://127.0.0.1:8932");
    EXPECT_EQ(SearchBaseDecode(config.searchBaseEncoded), "http://127.0.0.1:8933/cse?q=");
    EXPECT_EQ(config.blog, "http://127.0.0.1:8934");
    EXPECT_GT(config.network.connectTimeoutMs, 0);
}

TEST(Config, FullFileWithBomCommentsAndUnknownKeys) {
    const ConfigLoad load = ParseConfig(
        "\xEF\xBB\xBF; Sorvix settings\r\n"
        "[sites]\r\n"
        "magnet     = http://10.0.0.1:81/   ; trailing slash goes\r\n"
        "shareindex = http://10.0.0.2:82\r\n"
        "searchbase = http://10.0.0.3:83/cse?cx=a#b&q=  # comment after a blank\r\n"
        "blog       = http://10.0.0.4:84/\xE5\x8D\x9A\xE5\xAE\xA2\r\n"
        "colour     = red\r\n"
        "\r\n"
        "[Network]\r\n"
        "connect_timeout_ms = 1500\r\n"
        "receive_timeout_ms=2500\r\n"
        "send_timeout_ms = 3500\r\n"
        "overall_deadline_ms = 4500\r\n"
        "low_speed_bytes_per_s = 512\r\n"
        "low_speed_window_ms = 0\r\n"
        "[elsewhere]\r\n"
        "magnet = http://ignored\r\n");
    EXPECT_TRUE(load.problems.empty()) << load.problems.front();
    EXPECT_EQ(load.config.magnet, "http://10.0.0.1:81");
    EXPECT_EQ(load.config.shareIndex, "http://10.0.0.2:82");
    EXPECT_EQ(SearchBaseDecode(load.config.searchBaseEncoded), "http://10.0.0.3:83/cse?cx=a#b&q=");
    EXPECT_EQ(load.config.blog, "http://10.0.0.4:84/\xB2\xA9\xBF\xCD");   // UTF-8 in the file, GBK here
    EXPECT_EQ(load.config.network.connectTimeoutMs, 1500);
    EXPECT_EQ(load.config.network.receiveTimeoutMs, 2500);
    EXPECT_EQ(load.config.network.sendTimeoutMs, 3500);
    EXPECT_EQ(load.config.network.overallDeadlineMs, 4500);
    EXPECT_EQ(load.config.network.lowSpeedBytesPerSec, 512);
    EXPECT_EQ(load.config.network.lowSpeedWindowMs, 0) << "0 switches the low-speed rule off";
}

TEST(Config, EachBadLineIsReportedOnceWithItsNumber) {
    const ConfigLoad load = ParseConfig(
        "[sites]\n"                       // 1
        "magnet = http://10.0.0.1\n"      // 2
        "this line has no equals sign\n"  // 3
        "[broken\n"                       // 4
        "= value without key\n"           // 5
        "[network]\n"                     // 6
        "connect_timeout_ms = soon\n"     // 7
        "receive_timeout_ms = -5\n"       // 8
        "shareindex = http://10.0.0.2\n"  // 9: [network] has no such key, ignored
        "overall_deadline_ms = 0\n"       // 10: a deadline is never off
        "low_speed_window_ms = slow",     // 11
        "my.ini");
    ASSERT_EQ(load.problems.size(), 7u);
    EXPECT_EQ(load.problems[5].rfind("my.ini:10:", 0), 0u) << load.problems[5];
    EXPECT_EQ(load.problems[6].rfind("my.ini:11:", 0), 0u) << load.problems[6];
    EXPECT_EQ(load.problems[0].rfind("my.ini:3:", 0), 0u) << load.problems[0];
    EXPECT_EQ(load.problems[1].rfind("my.ini:4:", 0), 0u) << load.problems[1];
    EXPECT_EQ(load.problems[2].rfind("my.ini:5:", 0), 0u) << load.problems[2];
    EXPECT_EQ(load.problems[3].rfind("my.ini:7:", 0), 0u) << load.problems[3];
    EXPECT_EQ(load.problems[4].rfind("my.ini:8:", 0), 0u) << load.problems[4];
    // Everything else still applies; bad values keep their defaults.
    EXPECT_EQ(load.config.magnet, "http://10.0.0.1");
    EXPECT_EQ(load.config.shareIndex, "http://127.0.0.1:8932");
    EXPECT_EQ(load.config.network.connectTimeoutMs, NetConfig{}.connectTimeoutMs);
    EXPECT_EQ(load.config.network.overallDeadlineMs, NetConfig{}.overallDeadlineMs);
    EXPECT_EQ(load.config.network.lowSpeedWindowMs, NetConfig{}.lowSpeedWindowMs);
}

TEST(Config, PagesAndSourcesInFlight) {
    struct Case {
        const char* line;
        int pages;
        int sources;
        bool problem;
    };
    const int kPages = Config{}.pagesInFlight;
    const Case cases[] = {
        {"", kPages, 6, false},                     // defaults: the sequential walk, six sources
        {"pages_in_flight = 3", 3, 6, false},
        {"PAGES_IN_FLIGHT = 16", 16, 6, false},
        {"sources_in_flight = 20", kPages, 20, false},
        {"sources_in_flight = 1", kPages, 1, false},
        {"pages_in_flight = 0", kPages, 6, true},        // at least one page
        {"pages_in_flight = 17", kPages, 6, true},       // politeness bound
        {"pages_in_flight = three", kPages, 6, true},
        {"sources_in_flight = 21", kPages, 6, true},
        {"sources_in_flight = -2", kPages, 6, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ConfigLoad load = ParseConfig(std::string("[network]\n") + c.line + "\n", "s.ini");
        EXPECT_EQ(load.config.pagesInFlight, c.pages);
        EXPECT_EQ(load.config.sourcesInFlight, c.sources);
        ASSERT_EQ(load.problems.size(), c.problem ? 1u : 0u);
        if (c.problem) EXPECT_EQ(load.problems[0].rfind("s.ini:2:", 0), 0u) << load.problems[0];
    }
    // Only in [network].
    EXPECT_EQ(ParseConfig("[sites]\npages_in_flight = 4\n").config.pagesInFlight, kPages);
}

TEST(Config, EmptyBlogMeansNoUpdateCheck) {
    const ConfigLoad load = ParseConfig("[sites]\nblog =\n");
    EXPECT_TRUE(load.problems.empty());
    EXPECT_EQ(load.config.blog, "");
}

TEST(Config, LoadsAFileAndToleratesAMissingOne) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sorvix-config-test";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "sorvix.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[sites]\nmagnet = http://10.9.9.9:1\nnonsense\n";
    }
    const ConfigLoad load = LoadConfig(file);
    EXPECT_TRUE(load.fileRead);
    EXPECT_EQ(load.config.magnet, "http://10.9.9.9:1");
    ASSERT_EQ(load.problems.size(), 1u);
    EXPECT_EQ(load.problems[0].rfind("sorvix.ini:3:", 0), 0u);

    const ConfigLoad missing = LoadConfig(dir / "absent.ini");
    EXPECT_FALSE(missing.fileRead);
    EXPECT_TRUE(missing.problems.empty());
    EXPECT_EQ(missing.config.magnet, "http://127.0.0.1:8931");
    std::filesystem::remove_all(dir);
}

// A path that exists but is no readable file is reported in the result (the
// caller shows it), never thrown, and leaves every default in place.
TEST(Config, AnUnreadablePathIsReportedNotThrown) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sorvix-config-unreadable";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "sorvix.ini");
    struct Case {
        const char* name;
        std::filesystem::path path;
    };
    std::vector<Case> cases = {{"directory", dir / "sorvix.ini"}};
#ifndef _WIN32
    // Without read permission (meaningless for root, who reads it anyway).
    const std::filesystem::path locked = dir / "locked.ini";
    { std::ofstream(locked) << "[sites]\nmagnet = http://10.9.9.9:1\n"; }
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (!std::ifstream(locked)) cases.push_back({"no read permission", locked});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigLoad load;
        ASSERT_NO_THROW(load = LoadConfig(c.path));
        EXPECT_FALSE(load.fileRead);
        EXPECT_FALSE(load.missing);
        EXPECT_FALSE(load.error.empty());
        EXPECT_TRUE(load.problems.empty());
        EXPECT_EQ(load.config.magnet, "http://127.0.0.1:8931");
    }
    // Missing is not an error: the caller decides whether it may be.
    for (const std::filesystem::path& absent : {dir / "absent.ini", dir / "no_dir" / "sorvix.ini"}) {
        const ConfigLoad load = LoadConfig(absent);
        EXPECT_TRUE(load.missing) << absent;
        EXPECT_TRUE(load.error.empty()) << load.error;
    }
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir, ec);
}

TEST(Config, EnvironmentVariableOverridesTheFileBesideTheProgram) {
    const std::filesystem::path exeDir = std::filesystem::temp_directory_path();
    SetConfigVariable(nullptr);
    EXPECT_EQ(ConfigPath(exeDir), exeDir / "sorvix.ini");
    SetConfigVariable("");
    EXPECT_EQ(ConfigPath(exeDir), exeDir / "sorvix.ini");
    const std::string other = (exeDir / "other.ini").string();
    SetConfigVariable(other.c_str());
    EXPECT_EQ(ConfigPath(exeDir), std::filesystem::path(other));
    SetConfigVariable(nullptr);
}

}  // namespace
}  // namespace sorvix
