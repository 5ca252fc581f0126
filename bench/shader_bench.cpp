// Time per call of qorn_wireframetexture, loaded with dlopen and found by name as the
// renderer does, with services that do nearly nothing: the figure is the shader's own
// cost plus the five calls into the host. Items are shader calls.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include "qorn_texture.h"
#include "trivial_renderer.h"

namespace {

using Shader = miBoolean (*)(miColor*, miState*, wireframetexture_params*);

Shader load_shader() {
    void* plugin = dlopen(QORN_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);  // kept for the run
    return plugin ? reinterpret_cast<Shader>(dlsym(plugin, "qorn_wireframetexture")) : nullptr;
}

// Arguments: the edge drawn (0: all three) and whether the point is on the wire. On the
// triangle (0,0,0) (4,0,0) (0,3,0), (2, 0.05) lies on edge 1, the first tested, and
// (1, 1) inside, away from every edge, so all edges are tested for it.
void BM_Wireframe(benchmark::State& state) {
    static const Shader shade = load_shader();
    if (!shade) {
        state.SkipWithError("cannot load qorn.so");
        return;
    }
    const int edge = static_cast<int>(state.range(0));
    const bool wire = state.range(1) != 0;
    const float alpha = state.range(2) != 0 ? 0.5f : 1.0f;

    qorn::host::TrivialRenderer renderer;
    const miOptions options{'c'};
    const miShaderDesc description{0};
    miState sample{&options, &description, wire ? miVector{2, 0.05f, 0} : miVector{1, 1, 0}, 0,
                   qorn::host::renderer_data(renderer)};
    wireframetexture_params params{{1, 0, 0, alpha}, {0, 0, 1, alpha}, 0.1f, edge != 0, edge, edge};
    miColor result;
    const float red = alpha * (wire ? 1.0f : 0.0f) + (1.0f - alpha);  // over white
    if (!shade(&result, &sample, &params) || result.r != red || result.a != 1.0f) {
        state.SkipWithError("the shader does not shade as expected");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(shade(&result, &sample, &params));
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Wireframe)
    ->ArgNames({"edge", "wire", "transparent"})
    ->Args({0, 1, 0})
    ->Args({0, 0, 0})
    ->Args({1, 1, 0})
    ->Args({1, 0, 0})
    ->Args({0, 0, 1});

}  // namespace

BENCHMARK_MAIN();
