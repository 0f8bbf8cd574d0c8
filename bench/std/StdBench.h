// StdBench.h - the standard library's root, loaded once for every benchmark of the process.
#pragma once

#include "EngineLibrary.h"

#include <cstdlib>
#include <cstdio>

inline VEL::IVELStd* BenchStdRoot()
{
    static veltest::EngineLibrary library("VELStd6");
    static VEL::IVELStd* root = library.CreateRoot<VEL::IVELStd>();
    if (!root) {
        std::fprintf(stderr, "cannot load libVELStd6: %s\n", library.Error().c_str());
        std::exit(1);
    }
    return root;
}
