// Mesh loading speed: OBJ text of a grid of quads parsed from memory, at several sizes
// (time per byte should not grow with the size) and split into many groups (which must
// cost no more than one group). Bytes per second are reported.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdio.h>

#include <string>

#include "mesh/mesh_file.h"

namespace qorn::render {
namespace {

/// A grid of about `triangles` triangles as quads, in `groups` "o" groups.
std::string grid_obj(int64_t triangles, int64_t groups) {
    const int64_t side = static_cast<int64_t>(sqrt(static_cast<double>(triangles) / 2)) + 1;
    std::string text;
    char line[96];
    for (int64_t j = 0; j <= side; ++j)
        for (int64_t i = 0; i <= side; ++i) {
            snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", static_cast<double>(i) / side,
                     static_cast<double>(j) / side, 0.01 * static_cast<double>((i * 7 + j * 3) % 11));
            text += line;
        }
    const int64_t quads = side * side, per_group = (quads + groups - 1) / groups;
    for (int64_t q = 0; q < quads; ++q) {
        if (groups > 1 && q % per_group == 0) text += "o part" + std::to_string(q / per_group) + "\n";
        const int64_t i = q % side, j = q / side, a = j * (side + 1) + i + 1;
        snprintf(line, sizeof line, "f %lld %lld %lld %lld\n", static_cast<long long>(a), static_cast<long long>(a + 1),
                 static_cast<long long>(a + side + 2), static_cast<long long>(a + side + 1));
        text += line;
    }
    return text;
}

void load_obj_text(benchmark::State& state) {
    const std::string text = grid_obj(state.range(0), state.range(1));
    for (auto _ : state) {
        const Scene scene = parse_mesh(MeshFormat::obj, text.data(), text.size(), "bench.obj");
        benchmark::DoNotOptimize(scene.meshes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(load_obj_text)
    ->ArgNames({"triangles", "groups"})
    ->Args({400000, 1})
    ->Args({800000, 1})
    ->Args({1600000, 1})
    ->Args({2400000, 1})
    ->Args({2400000, 60000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qorn::render

BENCHMARK_MAIN();
