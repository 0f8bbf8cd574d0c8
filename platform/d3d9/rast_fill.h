// rast_fill.h - the per-row fill: walks a set-up triangle's rows, finds each row's span exactly
// from the fixed-point edges, and shades the span with the inner loop chosen for the state.
#pragma once

#include "rast_span_fast.h"
#include "rast_state.h"
#include "setup_triangle.h"

namespace plat::d3d9 {

// The inner loops chosen once per draw from the state: the scalar template for the target
// format (affine and perspective twins) and, where it applies, the vector loop.
struct SpanKernel;
struct DrawKernels {
    const SpanKernel* affine = nullptr;
    const SpanKernel* perspective = nullptr;
    FastSpanState fast;
};
DrawKernels choose_kernels(const PixelState& state);

// Shades the rows of `tri` in [rowBegin, rowEnd) that `rowFilter` accepts (row bands of a
// thread: (row >> bandShift) % bandCount == band). Every row is shaded the same way whichever
// thread owns it, so the picture does not depend on the split.
struct RowBands {
    uint32_t shift = 31;
    uint32_t count = 1;
    uint32_t index = 0;
};
void fill_triangle(const TriSetup& tri, const PixelState& state, const DrawKernels& kernels, const RowBands& bands);

} // namespace plat::d3d9
