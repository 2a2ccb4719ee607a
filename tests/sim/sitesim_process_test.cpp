// The sitesim program as the demo starts it: flags for ports, log file and a
// fault on one site, its addresses printed one per line, and a clean stop on
// SIGTERM with the log complete.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "raw_http.h"

extern char** environ;

namespace sorvix {
namespace {

TEST(SitesimProgram, FlagsPortsLogAndAFaultOnOneSite) {
    const std::string dir = ::testing::TempDir();
    const std::string outPath = dir + "sitesim_program_out.txt";
    const std::string logPath = dir + "sitesim_program_log.txt";
    std::remove(logPath.c_str());

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> args = {SORVIX_SITESIM_EXE, "--magnet-port", "0", "--shareindex-port", "0",
                                     "--searchbase-port", "0", "--blog-port", "0", "--log", logPath,
                                     "--fault", "reset", "--fault-site", "magnet"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    std::map<std::string, std::uint16_t> ports;
    for (int i = 0; i < 100 && ports.size() < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(outPath);
        ports.clear();
        std::string site, address;
        while (in >> site >> address) {
            std::size_t colon = address.rfind(':');
            ports[site] = static_cast<std::uint16_t>(std::stoi(address.substr(colon + 1)));
        }
    }
    if (ports.size() == 4) {
        EXPECT_FALSE(test::RawGet(ports["magnet"], "/search?keyword=%61").gotHeader) << "reset on the magnet site";
        EXPECT_EQ(test::RawGet(ports["blog"], "/post/1d3adc9c_780596c").status, 200) << "the others answer";
        EXPECT_EQ(test::RawGet(ports["searchbase"], "/cse?q=%61&wp=3&start=0").status, 200);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(ports.size(), 4u) << "the program printed its four addresses";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "SIGTERM stops it cleanly";

    std::ifstream log(logPath);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str(),
              "magnet GET /search?keyword=%61\n"
              "blog GET /post/1d3adc9c_780596c\n"
              "searchbase GET /cse?q=%61&wp=3&start=0\n");
}

TEST(SitesimProgram, BadFlagsExitWithUsage) {
    for (const char* flag : {"--fault", "--magnet-port", "--fault-site", "--bogus"}) {
        std::string command = std::string(SORVIX_SITESIM_EXE) + " " + flag + " nonsense 2>/dev/null";
        int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2) << flag;
    }
}

}  // namespace
}  // namespace sorvix
