// TempFile.h - a file with given bytes in a private temporary folder, removed on destruction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltest {

class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes, const std::string& suffix = ".bin");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace veltest
