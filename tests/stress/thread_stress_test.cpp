// Every rendering thread calls the noise at once: as many threads as the machine has
// run the same queries through qorn.so for a few seconds, and every result must equal
// the single-threaded one bit for bit. Built under ThreadSanitizer as well.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "noise_corpus.h"
#include "plugin_symbols.h"

namespace {

using qorn::test::CorpusRandom;
using qorn::test::NoiseApi;

constexpr unsigned long kMaxOrder = 8;

struct Query {
    float x, y, z;
    unsigned long order;
    bool metric;
};

/// Everything one query writes.
struct Result {
    float d[kMaxOrder];
    miVector o[kMaxOrder];
    unsigned long ids[kMaxOrder];
};

const qorn::test::SquaredEuclidean kEuclid;
const qorn::test::WeightedManhattan kManhattan;
const miVector kWeights{1.0f, 0.5f, 2.0f};

Result run(const NoiseApi& api, const Query& q) {
    Result r;
    memset(&r, 0, sizeof r);
    if (q.metric)
        api.noise_metric(q.order & 1 ? static_cast<const DistType&>(kManhattan) : kEuclid,
                         kWeights, q.x, q.y, q.z, q.order, r.d, r.o, r.ids);
    else
        api.noise(q.x, q.y, q.z, q.order, r.d, r.o, r.ids);
    return r;
}

double stress_seconds() {
    const char* s = getenv("QORN_STRESS_SECONDS");
    return s && *s ? atof(s) : 3.0;
}

TEST(ThreadStress, EveryThreadGetsTheSingleThreadedBits) {
    qorn::test::Plugin plugin(qorn::test::plugin_path());
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const NoiseApi api = plugin.noise_api();
    ASSERT_TRUE(api.noise && api.noise_metric) << plugin.error();

    CorpusRandom rnd(99);
    std::vector<Query> queries;
    const float scales[] = {1.0f, 100.0f, 1e5f, 4e7f};
    for (int i = 0; i < 1024; ++i) {
        const float s = scales[i % 4];
        queries.push_back(Query{rnd.symmetric(s), rnd.symmetric(s), rnd.symmetric(s),
                                1 + rnd.next() % kMaxOrder, (i & 4) != 0});
    }
    std::vector<Result> expected;
    for (const Query& q : queries) expected.push_back(run(api, q));

    const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
    const auto stop = std::chrono::steady_clock::now() +
                      std::chrono::duration<double>(stress_seconds());
    std::atomic<long> mismatches{0}, calls{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            size_t i = t * 131;  // each thread starts elsewhere in the list
            long local_calls = 0, local_bad = 0;
            do {
                for (int n = 0; n < 64; ++n, ++i) {
                    const size_t k = i % queries.size();
                    const Result r = run(api, queries[k]);
                    local_bad += memcmp(&r, &expected[k], sizeof r) != 0;
                    ++local_calls;
                }
            } while (std::chrono::steady_clock::now() < stop);
            mismatches += local_bad;
            calls += local_calls;
        });
    }
    for (std::thread& t : pool) t.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_GE(calls.load(), static_cast<long>(threads) * 64);
    printf("%u threads, %ld calls, %ld mismatches\n", threads, calls.load(), mismatches.load());
}

}  // namespace
