// sorvix-cli as a process, the way scripts and the demo run it: the
// configuration named by SORVIX_CONFIG, the exit status, stdout holding only
// the JSON object, a one-line error for bad arguments and for a named
// configuration that does not exist, Ctrl-C ending a search with status 130.
// Natively and, with the .exe, under Wine (Ctrl-C natively only).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mini_json.h"
#include "sim_fixture.h"
#include "test_paths.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace sorvix {
namespace {

struct Process {
    int status = -1;
    std::string out;
};

void SetConfigVariable(const std::string& value) {
#ifdef _WIN32
    _putenv_s("SORVIX_CONFIG", value.c_str());
#else
    setenv("SORVIX_CONFIG", value.c_str(), 1);
#endif
}

// Runs sorvix-cli with `args` (already quoted for the shell); stderr is
// dropped into `errFile` so that stdout can be checked on its own.
Process RunCli(const std::string& args, const std::string& errFile) {
    std::string exe = test::HostPath(SORVIX_CLI_EXE);
    std::string command = "\"" + exe + "\" " + args + " 2>\"" + errFile + "\"";
#ifdef _WIN32
    // cmd.exe strips one pair of outer quotes from the whole line.
    command = "\"" + command + "\"";
#endif
    Process p;
    FILE* f = popen(command.c_str(), "r");
    if (!f) return p;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) p.out.append(buf, n);
    int raw = pclose(f);
#ifdef _WIN32
    p.status = raw;
#else
    p.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return p;
}

std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

class CliProcess : public test::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        SetConfigVariable(WriteIni("cli_process_sorvix.ini"));
        errFile = ::testing::TempDir() + "cli_process_err.txt";
    }
    std::string errFile;
};

TEST_F(CliProcess, SearchPrintsOneJsonObjectAndExitsZero) {
    Process p = RunCli("search --source 1 --format json \"ubuntu iso\"", errFile);
    EXPECT_EQ(p.status, 0) << ReadFile(errFile);
    test::Json j;
    std::string error;
    ASSERT_TRUE(test::JsonReader::Parse(p.out, &j, &error)) << error << "\n" << p.out;
    EXPECT_EQ(j.object["rows"].array.size(), 100u);
    EXPECT_EQ(sim.Targets(sitesim::Site::kMagnet).size(), 11u) << "the file named by SORVIX_CONFIG was used";
}

TEST_F(CliProcess, NoResultsIsStillSuccess) {
    Process p = RunCli("search --source 20 xyz", errFile);
    EXPECT_EQ(p.status, 0);
}

TEST_F(CliProcess, BadArgumentsAndAMissingConfigurationExitNonZero) {
    for (const char* args : {"", "search --source 42 x", "search --source 1", "resolve"}) {
        SCOPED_TRACE(args);
        Process p = RunCli(args, errFile);
        EXPECT_EQ(p.status, 2);
        EXPECT_EQ(p.out, "");
        std::string err = ReadFile(errFile);
        EXPECT_EQ(err.rfind("sorvix-cli: ", 0), 0u) << err;
    }
    SetConfigVariable(test::HostPath(::testing::TempDir()) + "missing_dir/sorvix.ini");
    Process p = RunCli("search --source 1 x", errFile);
    EXPECT_EQ(p.status, 2);
    EXPECT_NE(ReadFile(errFile).find("configuration"), std::string::npos);
}

TEST_F(CliProcess, ResolveExitsOneWithoutAnAddress) {
    const std::string site = sim.Address(sitesim::Site::kShareIndex);
    Process found = RunCli("resolve " + site + "/r/10006", errFile);
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out.rfind("ed2k://|file|sorvix-10006.bin|", 0), 0u) << found.out;
    Process missing = RunCli("resolve " + site + "/r/10144", errFile);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

// SIGINT in the middle of a search: the search stops at its next checkpoint
// and the process ends by itself with 130, stdout empty (no half-written
// JSON), instead of being killed by the signal.
TEST_F(CliProcess, CtrlCCancelsTheSearchAndExits130) {
#ifdef _WIN32
    // Tried: CREATE_NEW_PROCESS_GROUP + GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT)
    // fails with ERROR_INVALID_ACCESS, as the test runs without a console.
    GTEST_SKIP() << "no console under the Wine test runner to send a control event through";
#else
    sitesim::FaultPlan slow;
    slow.latencyMs = 400;
    sim.SetFaults(sitesim::Site::kMagnet, slow);
    const std::string outFile = ::testing::TempDir() + "cli_process_sigint_out.txt";
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
        execl(exe.c_str(), exe.c_str(), "search", "--source", "1", "--format", "json", "ubuntu iso",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // 100 hits: eleven pages, 400 ms each. Interrupt during the first.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sim.Targets(sitesim::Site::kMagnet).empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(sim.Targets(sitesim::Site::kMagnet).empty());
    kill(pid, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_EQ(ReadFile(outFile), "");
    EXPECT_NE(ReadFile(errFile).find("sorvix-cli: cancelled"), std::string::npos) << ReadFile(errFile);
    EXPECT_LE(sim.Targets(sitesim::Site::kMagnet).size(), 2u);
#endif
}

}  // namespace
}  // namespace sorvix
