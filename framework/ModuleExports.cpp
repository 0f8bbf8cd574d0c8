#include "ModuleExports.h"

namespace VEL {

void WriteDLLVersion(char* buffer)
{
    static constexpr char kVersion[8] = "6.8.0.0";
    std::memcpy(buffer, kVersion, sizeof kVersion);
}

} // namespace VEL
