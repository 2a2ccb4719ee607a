// Checks the ground every other test stands on: the threads of the standard
// library work in both builds, and under Wine the ANSI code page follows LANG
// (so the Windows tests really run once under 1252 and once under 936).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

TEST(Toolchain, StdThreadAndMutexWork) {
    std::mutex m;
    std::atomic<int> n{0};
    std::thread t([&] {
        std::lock_guard<std::mutex> lock(m);
        n = 42;
    });
    t.join();
    EXPECT_EQ(n.load(), 42);
}

#ifdef _WIN32
TEST(Toolchain, AnsiCodePageFollowsLang) {
    const char* lang = std::getenv("LANG");
    std::string l = lang ? lang : "";
    if (l.rfind("zh_CN", 0) == 0) {
        EXPECT_EQ(GetACP(), 936u);
    } else if (l.rfind("en_US", 0) == 0) {
        EXPECT_EQ(GetACP(), 1252u);
    } else {
        GTEST_SKIP() << "LANG=" << l;
    }
}
#endif
