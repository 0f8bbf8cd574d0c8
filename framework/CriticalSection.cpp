#include "CriticalSection.h"

namespace VEL {

CCriticalSection::CCriticalSection() { InitializeCriticalSection(&section_); }
CCriticalSection::~CCriticalSection() { DeleteCriticalSection(&section_); }

VELAutoLock::VELAutoLock(CCriticalSection* section) : section_(section) { section_->Enter(); }
VELAutoLock::~VELAutoLock() { section_->Leave(); }

} // namespace VEL
