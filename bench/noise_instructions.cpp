// A query loop for counting instructions with callgrind: plain order-2 queries, no
// offsets or ids, at the benchmark's fixed points. scripts/count_instructions.sh runs it
// with collection switched on only inside run_queries and prints instructions/query.
// Usage: noise_instructions [queries] [order]
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "mrWorley.h"
#include "query_points.h"

__attribute__((noinline)) float run_queries(const std::vector<miVector>& points,
                                            unsigned long order) {
    float sum = 0.0f;
    std::vector<float> d(order);
    for (const miVector& p : points) {
        FWorley::noise(p.x, p.y, p.z, order, d.data(), nullptr, nullptr);
        sum += d[order - 1];
    }
    return sum;
}

int main(int argc, char** argv) {
    const size_t queries = argc > 1 ? strtoul(argv[1], nullptr, 10) : 100000;
    const unsigned long order = argc > 2 ? strtoul(argv[2], nullptr, 10) : 2;
    const std::vector<miVector> points = qorn::bench::query_points(queries);
    printf("queries %zu order %lu checksum %.6f\n", queries, order,
           static_cast<double>(run_queries(points, order)));
    return 0;
}
