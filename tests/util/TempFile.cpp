#include "TempFile.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace veltest {

TempFile::TempFile(const std::vector<uint8_t>& bytes, const std::string& suffix)
{
    std::string pattern = "/tmp/veltest-XXXXXX" + suffix;
    int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("mkstemps failed");
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    path_ = pattern;
}

TempFile::~TempFile() { std::remove(path_.c_str()); }

} // namespace veltest
