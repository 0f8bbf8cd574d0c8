// The platform's process creation as the windows library uses it: command-line splitting, the
// program lookup, environment and directory, waits and exit codes, and refused command lines.
#include "control_kernel.h"
#include "win_kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Report {
    std::string cwd;
    std::vector<std::string> args;
    std::string probe;
};

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vel-process-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        out = dir + "/report.txt";
        setenv("VEL_ARGV_OUT", out.c_str(), 1);
        handlesBefore = platctl_kernel_open_handles();
    }
    void TearDown() override
    {
        unsetenv("VEL_ARGV_OUT");
        unsetenv("VEL_PROBE");
        unsetenv("VEL_EXIT");
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(platctl_kernel_open_handles(), handlesBefore) << "a process or thread handle was left open";
    }

    // Starts the line, waits for the end, closes both handles; the exit code, or -1 if not started.
    int64_t Run(const std::string& line, void* environment = nullptr, const char* directory = nullptr)
    {
        std::string copy = line;
        STARTUPINFOA startup;
        GetStartupInfoA(&startup);
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(nullptr, copy.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, environment,
                            directory, &startup, &info))
            return -1;
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0) << "the thread handle ends with the process";
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        EXPECT_TRUE(CloseHandle(info.hThread));
        EXPECT_TRUE(CloseHandle(info.hProcess));
        return code;
    }

    Report Read()
    {
        Report report;
        std::ifstream file(out);
        std::string line;
        while (std::getline(file, line)) {
            if (line.rfind("cwd=", 0) == 0)
                report.cwd = line.substr(4);
            else if (line.rfind("arg=", 0) == 0)
                report.args.push_back(line.substr(4));
            else if (line.rfind("probe=", 0) == 0)
                report.probe = line.substr(6);
        }
        return report;
    }

    std::string dir, out;
    uint32_t handlesBefore = 0;
};

TEST_F(ProcessTest, ArgumentsAreSplitAsTheCRuntimeSplitsThem)
{
    struct Case {
        const char* tail;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"a b\t\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y", {"xa by"}},
        {R"(a\\b c\)", {R"(a\\b)", R"(c\)"}},        // backslashes not before a quote are literal
        {R"(a\"b)", {R"(a"b)"}},                       // 1 backslash + quote: a literal quote
        {R"(a\\\"b)", {R"(a\"b)"}},                    // 3 backslashes + quote: 1 backslash, literal quote
        {R"("a\\" b)", {R"(a\)", "b"}},                // 2 backslashes + quote: 1 backslash, quote closes
        {R"("a""b" c)", {R"(a"b)", "c"}},              // "" inside quotes: a literal quote
        {R"("" x)", {"", "x"}},                        // an empty argument
        {"  ", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        ASSERT_EQ(Run(std::string("\"") + VEL_ARGV_DUMP + "\" " + c.tail), 0);
        EXPECT_EQ(Read().args, c.args);
    }
}

TEST_F(ProcessTest, QuotesInTheProgramNameJoinItsPartsWithoutEscapes)
{
    // A copy of the program in a folder whose name has a blank and ends with a backslash.
    const std::string folder = dir + "/with blank\\";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string copy = folder + "/dump";
    ASSERT_EQ(std::system(("cp '" + std::string(VEL_ARGV_DUMP) + "' '" + copy + "'").c_str()), 0);
    const std::string quotedMiddle = dir + "/\"with blank\\\"/dump x"; // .../"with blank\"/dump
    EXPECT_EQ(Run(quotedMiddle), 0);
    EXPECT_EQ(Read().args, std::vector<std::string>{"x"});
}

TEST_F(ProcessTest, ProgramComesFromThePathAndGetsTheCallersEnvironmentAndDirectory)
{
    const std::string program = VEL_ARGV_DUMP;
    const std::string folder = program.substr(0, program.rfind('/'));
    const std::string name = program.substr(program.rfind('/') + 1);
    const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", ("/nonexistent:" + folder + ":" + oldPath).c_str(), 1);
    setenv("VEL_PROBE", "inherited", 1);

    EXPECT_EQ(Run(name + " one"), 0);
    Report report = Read();
    EXPECT_EQ(report.args, std::vector<std::string>{"one"});
    EXPECT_EQ(report.probe, "inherited");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(report.cwd, cwd);

    EXPECT_EQ(Run(name + ".EXE two"), 0) << "a trailing .exe is tried without it";
    EXPECT_EQ(Read().args, std::vector<std::string>{"two"});
    setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(ProcessTest, GivenEnvironmentBlockAndDirectoryReplaceTheCallers)
{
    setenv("VEL_PROBE", "inherited", 1);
    std::string block = "VEL_ARGV_OUT=" + out + '\0' + "VEL_PROBE=given" + '\0' + "VEL_EXIT=3" + '\0' + '\0';
    EXPECT_EQ(Run(std::string("\"") + VEL_ARGV_DUMP + "\"", block.data(), dir.c_str()), 3);
    Report report = Read();
    EXPECT_EQ(report.probe, "given");
    char real[4096];
    ASSERT_NE(realpath(dir.c_str(), real), nullptr);
    EXPECT_EQ(report.cwd, real);
}

TEST_F(ProcessTest, WaitsSeeTheProcessRunningThenEnded)
{
    std::string line = "sh -c \"sleep 0.3; exit 7\"";
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    EXPECT_EQ(startup.cb, sizeof startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    EXPECT_NE(info.dwProcessId, 0u);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    HANDLE both[2] = {info.hProcess, info.hThread};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(CloseHandle(info.hProcess));
}

TEST_F(ProcessTest, LinesThatCannotStartFailWithTheirReason)
{
    const std::string plain = dir + "/plain.txt";
    std::ofstream(plain) << "not a program\n";
    chmod(plain.c_str(), 0644);
    const std::string script = dir + "/noformat";
    std::ofstream(script) << "\x7F" "ELF garbage";
    chmod(script.c_str(), 0755);
    struct Case {
        std::string line;
        DWORD error;
    };
    const Case cases[] = {
        {"", ERROR_INVALID_PARAMETER},
        {" \t ", ERROR_INVALID_PARAMETER},
        {"\"sh -c true", ERROR_INVALID_PARAMETER},           // the program's quote never closes
        {"sh -c \"true", ERROR_INVALID_PARAMETER},           // an argument's quote never closes
        {"\"\" a", ERROR_INVALID_PARAMETER},                 // empty program name
        {"vel-no-such-program-here a", ERROR_FILE_NOT_FOUND},
        {dir + "/missing", ERROR_FILE_NOT_FOUND},
        {dir, ERROR_FILE_NOT_FOUND},                         // a folder is no program
        {plain, ERROR_ACCESS_DENIED},
        {script, ERROR_BAD_EXE_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string copy = c.line;
        PROCESS_INFORMATION info{reinterpret_cast<HANDLE>(1), reinterpret_cast<HANDLE>(1), 1, 1};
        SetLastError(0);
        EXPECT_FALSE(CreateProcessA(nullptr, copy.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(info.hProcess, nullptr);
        EXPECT_EQ(info.hThread, nullptr);
    }
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(CreateProcessA(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    std::string line = "sh -c true";
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, (dir + "/none").c_str(),
                                nullptr, &info));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr));
}

} // namespace
