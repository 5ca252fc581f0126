// A query loop for counting instructions and mispredicted branches with callgrind, at
// the benchmark's fixed points. scripts/count_instructions.sh runs it with collection
// switched on only inside run_queries and prints the figures per query.
// Usage: noise_instructions [queries] [order] [plain|outputs|metric|transcription|libnoise]
//                           [repetitions]
//   plain          FWorley::noise, no offsets or ids
//   outputs        the same with offsets and ids
//   metric         the pluggable overload with a squared-Euclidean measure
//   transcription  the straightforward search that follows the documented steps
//   libnoise       libnoise's Voronoi module (F1 only; when built with libnoise)
//   loop           no query at all: the loop alone, for counts that cannot be confined
//                  to run_queries and subtract it instead (an emulator's)
// With repetitions, also the least time per query over that many runs (ns): the only
// clock of the 32-bit build, where Google Benchmark is not installed.
// Builds on both ABIs (nothing but the plug-in and its own search objects).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <vector>

#include "mrWorley.h"
#include "plain_search.h"
#include "query_points.h"
#ifdef QORN_HAVE_LIBNOISE
#include <libnoise/noise.h>
#endif

namespace {

enum class Mode { plain, outputs, metric, metric_outputs, transcription, libnoise, loop };

}  // namespace

__attribute__((noinline)) float run_queries(const std::vector<miVector>& points,
                                            unsigned long order, Mode mode) {
    float sum = 0.0f;
    std::vector<float> d(order);
    std::vector<miVector> o(order);
    std::vector<unsigned long> ids(order);
    const qorn::bench::SquaredEuclidean euclid;
    const miVector param{0, 0, 0};
#ifdef QORN_HAVE_LIBNOISE
    noise::module::Voronoi voronoi;
    voronoi.SetFrequency(0.39815);
    voronoi.EnableDistance(true);
#endif
    for (const miVector& p : points) {
        switch (mode) {
        case Mode::plain:
            FWorley::noise(p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
            break;
        case Mode::outputs:
            FWorley::noise(p.x, p.y, p.z, order, d.data(), o.data(), ids.data());
            break;
        case Mode::metric:
            FWorley::noise(euclid, param, p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
            break;
        case Mode::metric_outputs:
            FWorley::noise(euclid, param, p.x, p.y, p.z, order, d.data(), o.data(), ids.data());
            break;
        case Mode::transcription:
            qorn::noise::noise_reference(p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
            break;
        case Mode::loop:
            d[order - 1] = p.x;
            break;
        case Mode::libnoise:
#ifdef QORN_HAVE_LIBNOISE
            d[order - 1] = static_cast<float>(voronoi.GetValue(p.x, p.y, p.z));
#endif
            break;
        }
        sum += d[order - 1];
    }
    return sum;
}

int main(int argc, char** argv) {
    const size_t queries = argc > 1 ? strtoul(argv[1], nullptr, 10) : 100000;
    const unsigned long order = argc > 2 ? strtoul(argv[2], nullptr, 10) : 2;
    const char* name = argc > 3 ? argv[3] : "plain";
    const struct {
        const char* name;
        Mode mode;
    } modes[] = {{"plain", Mode::plain},
                 {"outputs", Mode::outputs},
                 {"metric", Mode::metric},
                 {"metric_outputs", Mode::metric_outputs},
                 {"transcription", Mode::transcription},
                 {"libnoise", Mode::libnoise},
                 {"loop", Mode::loop}};
    Mode mode = Mode::plain;
    bool known = false;
    for (const auto& m : modes)
        if (strcmp(name, m.name) == 0) mode = m.mode, known = true;
#ifndef QORN_HAVE_LIBNOISE
    if (mode == Mode::libnoise) known = false;
#endif
    if (!known || order == 0) {
        fprintf(stderr, "usage: %s [queries] [order >= 1] [plain|outputs|metric|metric_outputs|transcription|loop"
#ifdef QORN_HAVE_LIBNOISE
                        "|libnoise"
#endif
                        "]\n", argv[0]);
        return 2;
    }
    const std::vector<miVector> points = qorn::bench::query_points(queries);
    printf("queries %zu order %lu %s checksum %.6f\n", queries, order, name,
           static_cast<double>(run_queries(points, order, mode)));
    const unsigned long repetitions = argc > 4 ? strtoul(argv[4], nullptr, 10) : 0;
    double best = 0.0;
    for (unsigned long r = 0; r < repetitions; ++r) {
        timespec start, end;
        clock_gettime(CLOCK_MONOTONIC, &start);
        volatile float sink = run_queries(points, order, mode);
        (void)sink;
        clock_gettime(CLOCK_MONOTONIC, &end);
        const double ns = ((end.tv_sec - start.tv_sec) * 1e9 + (end.tv_nsec - start.tv_nsec)) /
                          static_cast<double>(queries);
        if (r == 0 || ns < best) best = ns;
    }
    if (repetitions > 0) printf("least ns per query over %lu runs: %.1f\n", repetitions, best);
    return 0;
}
