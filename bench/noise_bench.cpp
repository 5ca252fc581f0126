// Time per query of FWorley::noise and FWorley::AddSamples, beside the plain
// transcription of the documented search and libnoise's Voronoi module on the same
// points. Times are per query (items are queries).
#include <benchmark/benchmark.h>
#include <libnoise/noise.h>

#include <vector>

#include "mrWorley.h"
#include "plain_search.h"
#include "query_points.h"

namespace {

const std::vector<miVector>& points() {
    static const std::vector<miVector> p = qorn::bench::query_points(4096);
    return p;
}

// Arguments: order, and whether offsets and ids are requested.
void BM_Noise(benchmark::State& state) {
    const unsigned long order = static_cast<unsigned long>(state.range(0));
    const bool outputs = state.range(1) != 0;
    std::vector<float> d(order);
    std::vector<miVector> o(order);
    std::vector<unsigned long> ids(order);
    size_t i = 0;
    for (auto _ : state) {
        const miVector& p = points()[i++ & 4095];
        FWorley::noise(p.x, p.y, p.z, order, d.data(), outputs ? o.data() : nullptr,
                       outputs ? ids.data() : nullptr);
        benchmark::DoNotOptimize(d.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Noise)->ArgNames({"order", "outputs"})->ArgsProduct({{1, 2, 4, 16}, {0, 1}});

// The documented search step by step, without the fast path's shortcuts.
void BM_PlainTranscription(benchmark::State& state) {
    const unsigned long order = static_cast<unsigned long>(state.range(0));
    std::vector<float> d(order);
    size_t i = 0;
    for (auto _ : state) {
        const miVector& p = points()[i++ & 4095];
        qorn::noise::noise_reference(p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
        benchmark::DoNotOptimize(d.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainTranscription)->ArgName("order")->Arg(1)->Arg(2)->Arg(4)->Arg(16);

void BM_NoiseMetric(benchmark::State& state) {
    const unsigned long order = static_cast<unsigned long>(state.range(0));
    const qorn::bench::SquaredEuclidean metric;
    const miVector param{0, 0, 0};
    std::vector<float> d(order);
    size_t i = 0;
    for (auto _ : state) {
        const miVector& p = points()[i++ & 4095];
        FWorley::noise(metric, param, p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
        benchmark::DoNotOptimize(d.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NoiseMetric)->ArgName("order")->Arg(2);

void BM_AddSamples(benchmark::State& state) {
    float d[2];
    miVector o[2];
    unsigned long ids[2];
    size_t i = 0;
    for (auto _ : state) {
        const miVector& p = points()[i++ & 4095];
        d[0] = d[1] = 999999.875f;
        FWorley::AddSamples(static_cast<long>(p.x), static_cast<long>(p.y),
                            static_cast<long>(p.z), 2, p, d, o, ids);
        benchmark::DoNotOptimize(d);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddSamples);

// libnoise's Voronoi: one feature point per unit cube, F1 only, at the same density.
void BM_LibnoiseVoronoi(benchmark::State& state) {
    noise::module::Voronoi voronoi;
    voronoi.SetFrequency(0.39815);
    voronoi.EnableDistance(true);
    size_t i = 0;
    for (auto _ : state) {
        const miVector& p = points()[i++ & 4095];
        benchmark::DoNotOptimize(voronoi.GetValue(p.x, p.y, p.z));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibnoiseVoronoi);

}  // namespace

BENCHMARK_MAIN();
