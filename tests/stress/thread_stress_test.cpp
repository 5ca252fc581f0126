// Every rendering thread calls the library at once: as many threads as the machine has
// run the same noise queries (both overloads) and shade the same samples with the
// wireframe shader, all through qorn.so, for a few seconds, and every result must equal
// the single-threaded one bit for bit. Each thread answers the shader's services from
// scripted host state of its own, as a renderer's threads each have their own render
// state. Built under ThreadSanitizer as well.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "noise_corpus.h"
#include "plugin_symbols.h"
#include "qorn_texture.h"
#include "scripted_renderer.h"

namespace {

using qorn::host::Affine;
using qorn::host::ScriptedRenderer;
using qorn::host::ShaderFn;
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

/// Everything one shader call gives back (20 bytes, no padding).
struct Shaded {
    miBoolean returned;
    miColor colour;
};

Shaded shade(ShaderFn shader, ScriptedRenderer& host) {
    Shaded s;
    memset(&s, 0x5a, sizeof s);  // the same garbage before every call
    host.calls.clear();
    s.returned = host.shade(shader, &s.colour);
    return s;
}

/// Samples around random triangles, on and off their edges, with the shader's every
/// road: both spaces and an unsupported one, one edge or all (edge numbers -1 to 4),
/// opaque and transparent colours, failing services, connected widths and colours.
std::vector<ScriptedRenderer> shader_samples(CorpusRandom& rnd, int count) {
    const float alphas[] = {1.0f, 0.5f, 0.25f, 0.0f, 1.5f};
    const char spaces[] = {'c', 'c', 'c', 'o', 'o', 'o', 'w', '\0'};
    auto colour = [&] {
        return miColor{rnd.symmetric(1), rnd.symmetric(1), rnd.symmetric(1), alphas[rnd.next() % 5]};
    };
    std::vector<ScriptedRenderer> samples(count);
    for (ScriptedRenderer& h : samples) {
        for (miVector& v : h.vertices) v = {rnd.symmetric(10), rnd.symmetric(10), rnd.symmetric(10)};
        const float s = 0.5f + rnd.symmetric(0.75f), t = 0.5f + rnd.symmetric(0.75f);
        const miVector* v = h.vertices;
        h.point = {v[0].x + s * (v[1].x - v[0].x) + t * (v[2].x - v[0].x) + rnd.symmetric(1),
                   v[0].y + s * (v[1].y - v[0].y) + t * (v[2].y - v[0].y) + rnd.symmetric(1),
                   v[0].z + s * (v[1].z - v[0].z) + t * (v[2].z - v[0].z) + rnd.symmetric(1)};
        h.primitive = static_cast<miInteger>(rnd.next() % 1000);
        h.render_space = spaces[rnd.next() % 8];
        // Both transforms move the vertices but not the point: some move it onto a wire.
        h.camera_to_internal = Affine::translation(rnd.symmetric(0.5f), rnd.symmetric(0.5f), 0);
        h.object_to_internal = Affine::translation(0, rnd.symmetric(0.5f), rnd.symmetric(0.5f));
        h.tri_vectors_fails = rnd.next() % 16 == 0;
        h.trace_fails = rnd.next() % 8 == 0;
        h.background = colour();
        const wireframetexture_params params{colour(), colour(), rnd.symmetric(1.5f),
                                             static_cast<miBoolean>(rnd.next() % 2),
                                             static_cast<miInteger>(rnd.next() % 6) - 1,
                                             static_cast<miInteger>(rnd.next() % 6) - 1};
        h.set_record(&params, sizeof params);
        if (rnd.next() % 4 == 0)
            h.connect(offsetof(wireframetexture_params, wire_width), "width",
                      rnd.next() % 4 ? rnd.symmetric(2) : NAN);
        if (rnd.next() % 4 == 0) h.connect(offsetof(wireframetexture_params, fill_color), "fill", colour());
    }
    return samples;
}

double stress_seconds() {
    const char* s = getenv("QORN_STRESS_SECONDS");
    return s && *s ? atof(s) : 3.0;
}

TEST(ThreadStress, EveryThreadGetsTheSingleThreadedBits) {
    qorn::test::Plugin plugin(qorn::test::plugin_path());
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const NoiseApi api = plugin.noise_api();
    const auto shader = plugin.find<ShaderFn>("qorn_wireframetexture");
    ASSERT_TRUE(api.noise && api.noise_metric && shader) << plugin.error();

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

    std::vector<ScriptedRenderer> samples = shader_samples(rnd, 256);
    std::vector<Shaded> shaded;
    int declined = 0;
    for (ScriptedRenderer& host : samples) {
        shaded.push_back(shade(shader, host));
        declined += !shaded.back().returned;
    }
    ASSERT_GT(declined, 0);  // the failure roads are part of the run
    ASSERT_LT(declined, 128);

    const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
    const auto stop = std::chrono::steady_clock::now() +
                      std::chrono::duration<double>(stress_seconds());
    std::atomic<long> mismatches{0}, shader_mismatches{0}, calls{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            std::vector<ScriptedRenderer> own = samples;  // this thread's host state
            size_t i = t * 131;  // each thread starts elsewhere in the lists
            long local_calls = 0, local_bad = 0, local_shader_bad = 0;
            do {
                for (int n = 0; n < 64; ++n, ++i) {
                    const size_t k = i % queries.size();
                    const Result r = run(api, queries[k]);
                    local_bad += memcmp(&r, &expected[k], sizeof r) != 0;
                    const size_t j = i % own.size();
                    const Shaded s = shade(shader, own[j]);
                    local_shader_bad += memcmp(&s, &shaded[j], sizeof s) != 0;
                    ++local_calls;
                }
            } while (std::chrono::steady_clock::now() < stop);
            mismatches += local_bad;
            shader_mismatches += local_shader_bad;
            calls += local_calls;
        });
    }
    for (std::thread& t : pool) t.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(shader_mismatches.load(), 0);
    EXPECT_GE(calls.load(), static_cast<long>(threads) * 64);
    printf("%u threads, %ld noise and as many shader calls, %ld + %ld mismatches\n", threads,
           calls.load(), mismatches.load(), shader_mismatches.load());
}

}  // namespace
