// Prints a short table of cellular-noise samples and an F1 picture, computed through
// a qorn.so loaded by path, as another shader library would call it.
// Usage: qorn_noise_table PATH/TO/qorn.so
#include <dlfcn.h>
#include <stdio.h>

#include "mrWorley.h"

namespace {

using NoiseFn = void (*)(float, float, float, unsigned long, float*, miVector*, unsigned long*);

/// Manhattan distance, squared: a measure of the caller's own.
struct Manhattan final : DistType {
    const char* name() const override { return "manhattan"; }
    float distance(const miVector& o, const miVector&) const override {
        float d = (o.x < 0 ? -o.x : o.x) + (o.y < 0 ? -o.y : o.y) + (o.z < 0 ? -o.z : o.z);
        return d * d;
    }
};
using MetricNoiseFn = void (*)(const DistType&, const miVector&, float, float, float,
                               unsigned long, float*, miVector*, unsigned long*);

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PATH/TO/qorn.so\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        fprintf(stderr, "qorn_noise_table: %s\n", dlerror());
        return 1;
    }
    auto noise = reinterpret_cast<NoiseFn>(dlsym(plugin, "_ZN7FWorley5noiseEfffmPfP8miVectorPm"));
    auto metric_noise = reinterpret_cast<MetricNoiseFn>(
        dlsym(plugin, "_ZN7FWorley5noiseERK8DistTypeRK8miVectorfffmPfPS3_Pm"));
    if (!noise || !metric_noise) {
        fprintf(stderr, "qorn_noise_table: %s: FWorley::noise is not exported\n", argv[1]);
        return 1;
    }

    printf("%8s %8s %8s | %9s %9s %9s | %10s | %9s\n", "x", "y", "z", "F1", "F2", "F3",
           "id of F1", "F1 manh.");
    const float points[][3] = {{1.25f, 1.25f, 1.25f}, {0, 0, 0},     {1.25f, -2.5f, 3.75f},
                               {10, 20, 30},          {-7.5f, 3, 0.5f}, {123.4f, -56.7f, 8.9f}};
    const Manhattan manhattan;
    const miVector unused{0, 0, 0};
    for (const auto& p : points) {
        float d[3], m[1];
        unsigned long ids[3];
        noise(p[0], p[1], p[2], 3, d, nullptr, ids);
        metric_noise(manhattan, unused, p[0], p[1], p[2], 1, m, nullptr, nullptr);
        printf("%8.3f %8.3f %8.3f | %9.7f %9.7f %9.7f | %10lu | %9.7f\n", p[0], p[1], p[2], d[0],
               d[1], d[2], ids[0], m[0]);
    }

    // F1 over the plane z = 0.5, x and y in [0, 16): darker is nearer a feature point.
    const char* ramp = "@%#*+=-:. ";
    printf("\nF1 on z = 0.5, x and y from 0 to 16:\n");
    for (int row = 0; row < 24; ++row) {
        for (int col = 0; col < 64; ++col) {
            float d[1];
            noise(col * 0.25f, row * (16.0f / 24.0f), 0.5f, 1, d, nullptr, nullptr);
            int shade = static_cast<int>(d[0] * 7.0f);
            putchar(ramp[shade < 0 ? 0 : shade > 9 ? 9 : shade]);
        }
        putchar('\n');
    }
    dlclose(plugin);
    return 0;
}
