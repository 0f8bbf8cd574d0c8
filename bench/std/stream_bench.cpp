// Memory-stream Read throughput: one large element per call, and many 4-byte elements per call
// or per element (the way a parser walks a header).
#include "StdBench.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr uint32_t kBytes = 16u << 20;

void ReadAll(benchmark::State& state, uint32_t elementSize, uint32_t elementsPerCall)
{
    VEL::IVELStd* root = BenchStdRoot();
    auto* stream = static_cast<VEL::IStdFileStream*>(root->CreateInterface(&VEL::IID_IStdFileStream));
    std::vector<uint8_t> source(kBytes, 0x5A), destination(kBytes);
    stream->OpenMemory(source.data(), kBytes);
    for (auto _ : state) {
        stream->Seek(0, 0);
        uint8_t* out = destination.data();
        const uint32_t step = elementSize * elementsPerCall;
        for (uint32_t done = 0; done < kBytes; done += step, out += step)
            benchmark::DoNotOptimize(stream->Read(out, elementSize, elementsPerCall));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kBytes});
    stream->Release();
}

void BM_ReadLargeElement(benchmark::State& state) { ReadAll(state, kBytes, 1); }
void BM_ReadFourByteElements(benchmark::State& state) { ReadAll(state, 4, kBytes / 4); }
void BM_ReadOneFourByteElementPerCall(benchmark::State& state) { ReadAll(state, 4, 1); }

} // namespace

BENCHMARK(BM_ReadLargeElement)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFourByteElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOneFourByteElementPerCall)->Unit(benchmark::kMillisecond);
