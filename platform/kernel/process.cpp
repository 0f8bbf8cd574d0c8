// process.cpp - GetStartupInfoA, CreateProcessA and waitable process objects.
//
// A program is started with posix_spawn (which reports a failed exec as an error of the spawn
// itself, so a program that cannot run never leaves a child behind). Each process object has a
// detached reaper thread that waits for the child and then marks the object signalled under the
// wait lock, so WaitForSingleObject and the multiple-object waits treat it like any other object.
//
// Command lines follow the C runtime's splitting rules:
//   - the program name is the first word; quotes in it toggle quoting (so blanks inside quotes
//     belong to the name) and are dropped; backslashes are plain characters there;
//   - in the arguments, whitespace outside quotes separates; 2n backslashes before a quote give n
//     backslashes and the quote opens or closes quoting; 2n+1 backslashes before a quote give n
//     backslashes and a literal quote; "" inside quotes gives a literal quote; other backslashes
//     are literal.
// Where the runtime would let an unbalanced quote run to the end of the line, we refuse the line.
//
// LIMITATIONS: no handle inheritance (kernel handles are not descriptors); CREATE_SUSPENDED is
// refused; security attributes, startup-record window hints and priority classes are ignored.
// A host that reaps every child itself (waitpid(-1), SIGCHLD ignored) makes our reaper see the
// process as ended with exit code 0.

#include "kernel_object.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace plat::kernel {
namespace {

class ProcessObject final : public Object {
public:
    explicit ProcessObject(pid_t pid) : Object(ObjectType::Process), pid_(pid) {}

    bool IsSignalled() const override { return finished_; }
    // Wait lock held.
    DWORD ExitCode() const { return finished_ ? exitCode_ : STILL_ACTIVE; }
    pid_t Pid() const { return pid_; }

    // Wait lock held: the child has ended with `code`.
    void Finish(DWORD code)
    {
        exitCode_ = code;
        finished_ = true;
    }

private:
    const pid_t pid_;
    bool finished_ = false; // wait lock
    DWORD exitCode_ = 0;    // wait lock
};

// The process and its first thread are two objects (a wait-all may name both), ended together by
// one detached reaper thread, which holds both until the child has ended.
struct Reaper {
    std::shared_ptr<ProcessObject> process;
    std::shared_ptr<ProcessObject> thread;

    static void* Run(void* arg)
    {
        auto* self = static_cast<Reaper*>(arg);
        const pid_t pid = self->process->Pid();
        int status = 0;
        pid_t result;
        do {
            result = waitpid(pid, &status, 0);
        } while (result < 0 && errno == EINTR);
        DWORD code = 0;
        if (result == pid) {
            if (WIFEXITED(status))
                code = static_cast<DWORD>(WEXITSTATUS(status));
            else if (WIFSIGNALED(status))
                code = 128u + static_cast<DWORD>(WTERMSIG(status));
        }
        {
            WaitLock lock;
            self->process->Finish(code);
            self->thread->Finish(code);
            NotifyWaiters();
        }
        delete self;
        return nullptr;
    }
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a command line into words; false for an unbalanced quote or an empty line.
bool SplitCommandLine(const char* line, std::vector<std::string>* words)
{
    const char* p = line;
    while (*p && IsBlank(*p))
        ++p;
    if (!*p)
        return false;

    // The program name: quotes toggle quoting and are dropped; no escapes.
    std::string name;
    bool quotedName = false;
    while (*p && (quotedName || !IsBlank(*p))) {
        if (*p == '"')
            quotedName = !quotedName;
        else
            name += *p;
        ++p;
    }
    if (quotedName || name.empty())
        return false;
    words->push_back(std::move(name));

    // The arguments.
    for (;;) {
        while (*p && IsBlank(*p))
            ++p;
        if (!*p)
            return true;
        std::string word;
        bool quoted = false;
        while (*p && (quoted || !IsBlank(*p))) {
            if (*p == '\\') {
                size_t slashes = 0;
                while (*p == '\\') {
                    ++slashes;
                    ++p;
                }
                if (*p == '"') {
                    word.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        word += '"';
                        ++p;
                    }
                    // An even run leaves the quote for the branch below.
                } else {
                    word.append(slashes, '\\');
                }
                continue;
            }
            if (*p == '"') {
                if (quoted && p[1] == '"') {
                    word += '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
                continue;
            }
            word += *p++;
        }
        if (quoted)
            return false;
        words->push_back(std::move(word));
    }
}

bool IsExecutableFile(const std::string& path, DWORD* error)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (access(path.c_str(), X_OK) != 0) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

bool EndsWithExe(const std::string& name)
{
    if (name.size() <= 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".exe";
}

// The file to run for `name`: a path as given, or the first executable match on the caller's PATH.
bool FindProgram(const std::string& name, std::string* path, DWORD* error)
{
    std::vector<std::string> candidates{name};
    if (EndsWithExe(name))
        candidates.push_back(name.substr(0, name.size() - 4));
    *error = ERROR_FILE_NOT_FOUND;
    for (const std::string& candidate : candidates) {
        if (candidate.find('/') != std::string::npos) {
            DWORD reason = ERROR_FILE_NOT_FOUND;
            if (IsExecutableFile(candidate, &reason)) {
                *path = candidate;
                return true;
            }
            if (reason != ERROR_FILE_NOT_FOUND)
                *error = reason;
            continue;
        }
        const char* env = getenv("PATH");
        std::string search = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
        size_t start = 0;
        for (;;) {
            size_t end = search.find(':', start);
            std::string folder = search.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (folder.empty())
                folder = ".";
            std::string full = folder + "/" + candidate;
            DWORD reason = ERROR_FILE_NOT_FOUND;
            if (IsExecutableFile(full, &reason)) {
                *path = full;
                return true;
            }
            if (reason != ERROR_FILE_NOT_FOUND)
                *error = reason;
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return false;
}

// A block of "NAME=value\0" strings ending with an empty string.
std::vector<std::string> ReadEnvironmentBlock(const char* block)
{
    std::vector<std::string> entries;
    while (*block) {
        size_t length = std::strlen(block);
        entries.emplace_back(block, length);
        block += length + 1;
    }
    return entries;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Everything prepared before the spawn; false with the error to report.
struct Launch {
    std::string program;
    std::vector<std::string> args;
    std::vector<std::string> environment; // empty with useCallerEnvironment
    bool useCallerEnvironment = true;
    std::string directory;                 // empty: the caller's
};

bool Prepare(LPCSTR applicationName, LPCSTR commandLine, void* environment, LPCSTR currentDirectory, Launch* launch,
             DWORD* error)
{
    *error = ERROR_INVALID_PARAMETER;
    const bool haveLine = commandLine && *commandLine;
    const bool haveApplication = applicationName && *applicationName;
    if (haveLine) {
        if (!SplitCommandLine(commandLine, &launch->args))
            return false;
    } else if (haveApplication) {
        launch->args.emplace_back(applicationName);
    } else {
        return false;
    }
    const std::string name = haveApplication ? std::string(applicationName) : launch->args.front();
    if (currentDirectory && *currentDirectory) {
        struct stat info;
        if (stat(currentDirectory, &info) != 0 || !S_ISDIR(info.st_mode)) {
            *error = ERROR_DIRECTORY;
            return false;
        }
        launch->directory = currentDirectory;
    }
    if (!FindProgram(name, &launch->program, error))
        return false;
    if (environment) {
        launch->useCallerEnvironment = false;
        launch->environment = ReadEnvironmentBlock(static_cast<const char*>(environment));
    }
    return true;
}

// Spawns the prepared program; the child's pid, or -1 with *error set.
pid_t Spawn(const Launch& launch, DWORD* error)
{
    std::vector<char*> argv;
    for (const std::string& arg : launch.args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (!launch.useCallerEnvironment) {
        for (const std::string& entry : launch.environment)
            envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Handle inheritance is off: only the standard streams pass to the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!launch.directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, launch.directory.c_str());
    // The child starts with no blocked signals and default dispositions, whatever the host set.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int result = posix_spawn(&pid, launch.program.c_str(), &actions, &attributes, argv.data(),
                                   launch.useCallerEnvironment ? environ : envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        *error = ErrorFromErrno(result);
        return -1;
    }
    return pid;
}

// Stops and reaps a child we cannot track.
void Abandon(pid_t pid)
{
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace
} // namespace plat::kernel

using namespace plat::kernel;

PLAT_API void GetStartupInfoA(STARTUPINFOA* info)
{
    if (!info)
        return;
    std::memset(info, 0, sizeof *info);
    info->cb = sizeof *info;
}

PLAT_API BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, SECURITY_ATTRIBUTES* /*processAttributes*/,
                             SECURITY_ATTRIBUTES* /*threadAttributes*/, BOOL /*inheritHandles*/, DWORD creationFlags,
                             void* environment, LPCSTR currentDirectory, STARTUPINFOA* /*startupInfo*/,
                             PROCESS_INFORMATION* processInformation)
{
    if (!processInformation || (creationFlags & CREATE_SUSPENDED) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    std::memset(processInformation, 0, sizeof *processInformation);

    pid_t pid = -1;
    Reaper* reaper = nullptr;
    try {
        Launch launch;
        DWORD error = ERROR_SUCCESS;
        if (!Prepare(applicationName, commandLine, environment, currentDirectory, &launch, &error))
            return Fail(error);
        pid = Spawn(launch, &error);
        if (pid < 0)
            return Fail(error);
        reaper = new Reaper{std::make_shared<ProcessObject>(pid), std::make_shared<ProcessObject>(pid)};
    } catch (const std::bad_alloc&) {
        if (pid > 0)
            Abandon(pid);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }

    HANDLE process = InsertHandle(reaper->process);
    HANDLE thread = process ? InsertHandle(reaper->thread) : nullptr;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, 64 * 1024);
    pthread_t native;
    const bool started = thread && pthread_create(&native, &attr, &Reaper::Run, reaper) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        if (thread)
            RemoveHandle(thread);
        if (process)
            RemoveHandle(process);
        delete reaper;
        Abandon(pid);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    processInformation->hProcess = process;
    processInformation->hThread = thread;
    processInformation->dwProcessId = static_cast<DWORD>(pid);
    processInformation->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

PLAT_API BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode)
{
    if (!exitCode)
        return Fail(ERROR_INVALID_PARAMETER);
    auto object = LookupTyped<ProcessObject>(process, ObjectType::Process);
    if (!object)
        return FALSE;
    WaitLock lock;
    *exitCode = object->ExitCode();
    return TRUE;
}
