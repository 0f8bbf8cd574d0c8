// class_table.cpp - the table of creatable classes.
//
// LIMITATIONS: empty for now; the media graph's classes (the filter graph manager and the
// platform filters) are added here when they exist, one line each.
#include "class_table.h"

#include <array>

namespace plat::com {

namespace {

constexpr std::array<ClassEntry, 0> kClasses{};

} // namespace

std::span<const ClassEntry> Classes() { return kClasses; }

} // namespace plat::com
