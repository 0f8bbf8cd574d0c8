// class_table.h - the classes CoCreateInstance can make.
#pragma once

#include "win_com.h"

#include <span>

namespace plat::com {

// Makes a new object of one class and returns its interface `iid` in *object (already checked
// non-null and set to null). `outer` is non-null only for classes with `aggregatable` set.
using CreateFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct ClassEntry {
    CLSID clsid;
    bool aggregatable;
    CreateFn create;
};

// Every class provided, in no particular order.
std::span<const ClassEntry> Classes();

} // namespace plat::com
