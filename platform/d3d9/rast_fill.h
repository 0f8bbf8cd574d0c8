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

// Shades the rows of `tri` in [rowBegin, rowEnd]. Every row is shaded the same way whichever
// range or thread it comes in, so the picture does not depend on how rows are dealt out.
void fill_triangle(const TriSetup& tri, const PixelState& state, const DrawKernels& kernels, int32_t rowBegin,
                   int32_t rowEnd);

} // namespace plat::d3d9
