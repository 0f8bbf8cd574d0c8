// Started by the process tests: writes its working directory, its arguments and the variable
// VEL_PROBE into the file named by VEL_ARGV_OUT, one "key=value" record per line, then exits with
// the status given by VEL_EXIT (0 without it).
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* out = std::getenv("VEL_ARGV_OUT");
    if (!out)
        return 99;
    std::FILE* file = std::fopen(out, "w");
    if (!file)
        return 98;
    char cwd[4096];
    std::fprintf(file, "cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    for (int i = 1; i < argc; ++i)
        std::fprintf(file, "arg=%s\n", argv[i]);
    const char* probe = std::getenv("VEL_PROBE");
    std::fprintf(file, "probe=%s\n", probe ? probe : "(unset)");
    std::fclose(file);
    const char* status = std::getenv("VEL_EXIT");
    return status ? std::atoi(status) : 0;
}
