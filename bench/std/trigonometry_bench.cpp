// Table Sin/Cos/ATan2 beside the C library's sin/cos/atan2 on the same inputs (degrees in,
// degrees out for the arc tangent, so both sides do the same job).
#include "StdBench.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr size_t kInputs = 4096;

const std::vector<float>& Angles()
{
    static std::vector<float> angles = [] {
        std::mt19937 random(42);
        std::uniform_real_distribution<float> d(-720.0f, 720.0f);
        std::vector<float> v(kInputs);
        for (float& a : v)
            a = d(random);
        return v;
    }();
    return angles;
}

const std::vector<std::pair<int32_t, int32_t>>& Points()
{
    static std::vector<std::pair<int32_t, int32_t>> points = [] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int32_t> d(-100000, 100000);
        std::vector<std::pair<int32_t, int32_t>> v(kInputs);
        for (auto& p : v)
            p = {d(random), d(random)};
        return v;
    }();
    return points;
}

constexpr float kDegrees = static_cast<float>(M_PI / 180.0);

void BM_TableSin(benchmark::State& state)
{
    VEL::IVELStd* root = BenchStdRoot();
    for (auto _ : state)
        for (float a : Angles())
            benchmark::DoNotOptimize(root->Sin(a));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_StdSin(benchmark::State& state)
{
    for (auto _ : state)
        for (float a : Angles())
            benchmark::DoNotOptimize(std::sin(a * kDegrees));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_TableCos(benchmark::State& state)
{
    VEL::IVELStd* root = BenchStdRoot();
    for (auto _ : state)
        for (float a : Angles())
            benchmark::DoNotOptimize(root->Cos(a));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_StdCos(benchmark::State& state)
{
    for (auto _ : state)
        for (float a : Angles())
            benchmark::DoNotOptimize(std::cos(a * kDegrees));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_TableATan2(benchmark::State& state)
{
    VEL::IVELStd* root = BenchStdRoot();
    for (auto _ : state)
        for (auto [y, x] : Points())
            benchmark::DoNotOptimize(root->ATan2(y, x));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_StdATan2(benchmark::State& state)
{
    for (auto _ : state)
        for (auto [y, x] : Points())
            benchmark::DoNotOptimize(std::atan2(static_cast<float>(y), static_cast<float>(x)) / kDegrees);
    state.SetItemsProcessed(state.iterations() * kInputs);
}

// The double-precision library functions on the same inputs.
void BM_StdSinDouble(benchmark::State& state)
{
    for (auto _ : state)
        for (float a : Angles())
            benchmark::DoNotOptimize(std::sin(a * (M_PI / 180.0)));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_StdCosDouble(benchmark::State& state)
{
    for (auto _ : state)
        for (float a : Angles())
            benchmark::DoNotOptimize(std::cos(a * (M_PI / 180.0)));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

void BM_StdATan2Double(benchmark::State& state)
{
    for (auto _ : state)
        for (auto [y, x] : Points())
            benchmark::DoNotOptimize(std::atan2(double(y), double(x)) * (180.0 / M_PI));
    state.SetItemsProcessed(state.iterations() * kInputs);
}

} // namespace

BENCHMARK(BM_TableSin);
BENCHMARK(BM_StdSin);
BENCHMARK(BM_TableCos);
BENCHMARK(BM_StdCos);
BENCHMARK(BM_TableATan2);
BENCHMARK(BM_StdATan2);
BENCHMARK(BM_StdSinDouble);
BENCHMARK(BM_StdCosDouble);
BENCHMARK(BM_StdATan2Double);
