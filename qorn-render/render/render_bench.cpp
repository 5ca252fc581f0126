// Samples per second for the built-in scene, with qorn.so's wireframe shader and with a
// shader that does nothing: the difference is the time spent in the plug-in and the
// services it calls.
#include <benchmark/benchmark.h>

#include "render/renderer.h"

namespace qorn::render {
namespace {

miBoolean flat_shader(void* result, miState*, void*) {
    *static_cast<miColor*>(result) = miColor{0.5f, 0.5f, 0.5f, 1.0f};
    return miTRUE;
}

void render_default_scene(benchmark::State& state, bool real_shader) {
    const Plugin plugin(QORN_PLUGIN_PATH);
    ShaderEntry entry = plugin.shader("qorn_wireframetexture");
    if (!real_shader) entry.function = flat_shader;
    ShaderInstance shader(entry);
    shader.set("wire_color", "0,0,0");
    shader.set("fill_color", "1,1,1");
    shader.set("wire_width", "0.02");
    RenderSettings settings;
    settings.width = 480;
    settings.height = 270;
    settings.samples = 4;
    settings.threads = static_cast<int>(state.range(0));
    const Scene scene = default_scene();
    const Camera camera = default_camera(480.0 / 270.0);
    const Renderer renderer(scene, camera, shader, settings);
    uint64_t samples = 0;
    for (auto _ : state) {
        RenderStats stats;
        benchmark::DoNotOptimize(renderer.render(stats));
        samples += stats.samples;
    }
    state.SetItemsProcessed(static_cast<int64_t>(samples));
}

void BM_DefaultSceneWireframe(benchmark::State& state) { render_default_scene(state, true); }
void BM_DefaultSceneFlatShader(benchmark::State& state) { render_default_scene(state, false); }
BENCHMARK(BM_DefaultSceneWireframe)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefaultSceneFlatShader)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qorn::render

BENCHMARK_MAIN();
