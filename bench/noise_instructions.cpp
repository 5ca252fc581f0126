// A query loop for counting instructions with callgrind: plain order-2 queries, no
// offsets or ids, at the benchmark's fixed points. scripts/count_instructions.sh runs it
// with collection switched on only inside run_queries and prints instructions/query.
// Usage: noise_instructions [queries] [order] [plain|metric]
// ("metric" calls the pluggable overload with a squared-Euclidean measure instead.)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "mrWorley.h"
#include "query_points.h"

__attribute__((noinline)) float run_queries(const std::vector<miVector>& points,
                                            unsigned long order, bool metric) {
    float sum = 0.0f;
    std::vector<float> d(order);
    const qorn::bench::SquaredEuclidean euclid;
    const miVector param{0, 0, 0};
    for (const miVector& p : points) {
        if (metric)
            FWorley::noise(euclid, param, p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
        else
            FWorley::noise(p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
        sum += d[order - 1];
    }
    return sum;
}

int main(int argc, char** argv) {
    const size_t queries = argc > 1 ? strtoul(argv[1], nullptr, 10) : 100000;
    const unsigned long order = argc > 2 ? strtoul(argv[2], nullptr, 10) : 2;
    const bool metric = argc > 3 && strcmp(argv[3], "metric") == 0;
    const std::vector<miVector> points = qorn::bench::query_points(queries);
    printf("queries %zu order %lu checksum %.6f\n", queries, order,
           static_cast<double>(run_queries(points, order, metric)));
    return 0;
}
