// sorvix-cli --source all as a child process interrupted with SIGINT while
// its sources are out: every source is cancelled, the process ends by itself
// with 130, stdout empty, stderr saying so. Native only (no console to send
// a control event through under the Wine test runner).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "sim_fixture.h"

namespace sorvix {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

class FanOutProcess : public test::SimFixture {};

TEST_F(FanOutProcess, CtrlCCancelsEverySourceAndExits130) {
    sitesim::FaultPlan slow;
    slow.latencyMs = 400;
    sim.SetFaultsAll(slow);
    const std::string ini = WriteIni("fan_out_process.ini");
    const std::string outFile = ::testing::TempDir() + "fan_out_process_out.txt";
    const std::string errFile = ::testing::TempDir() + "fan_out_process_err.txt";
    const std::string exe = SORVIX_CLI_EXE;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        setenv("SORVIX_CONFIG", ini.c_str(), 1);
        execl(exe.c_str(), exe.c_str(), "search", "--source", "all", "--format", "json", "ubuntu iso",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Interrupt once several sources have their first request out.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sim.Requests().size() < 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(sim.Requests().size(), 3u);
    const auto interrupted = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - interrupted).count();
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_EQ(ReadFile(outFile), "") << "no half-written JSON";
    EXPECT_EQ(ReadFile(errFile), "sorvix-cli: cancelled\n");
    // Six sources were out at most; none was started after the interrupt and
    // no source walked on: far from the whole run's 41 requests.
    EXPECT_LE(sim.Requests().size(), 6u + 6 * 2);
    EXPECT_LT(seconds, 5.0) << "the requests out end within one request";
}

}  // namespace
}  // namespace sorvix
