// A call into qorn.so allocates nothing: this program interposes malloc, calloc,
// realloc, free and operator new/delete, counts what happens while a call runs, and
// calls every noise and maximum entry point and the wireframe shader through the
// exported symbols, the shader's services answered by a host that allocates nothing.
// (Not built under the sanitizers, which interpose the allocator themselves.)
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <new>

#include "noise_corpus.h"
#include "plugin_symbols.h"
#include "qorn_texture.h"
#include "trivial_renderer.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
thread_local bool armed = false;
thread_local long allocations = 0;
}  // namespace

extern "C" void* malloc(size_t n) {
    if (armed) ++allocations;
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t m) {
    if (armed) ++allocations;
    return __libc_calloc(n, m);
}
extern "C" void* realloc(void* p, size_t n) {
    if (armed) ++allocations;
    return __libc_realloc(p, n);
}
extern "C" void free(void* p) {
    if (armed && p) ++allocations;
    __libc_free(p);
}
void* operator new(size_t n) {
    if (armed) ++allocations;
    void* p = __libc_malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](size_t n) { return operator new(n); }
void operator delete(void* p) noexcept {
    if (armed && p) ++allocations;
    __libc_free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

/// Runs `body` with the counter armed and returns how many allocator calls it made.
template <class Body>
long allocations_during(Body&& body) {
    allocations = 0;
    armed = true;
    body();
    armed = false;
    return allocations;
}

TEST(NoAllocation, TheCountingAllocatorSeesAnAllocation) {
    EXPECT_EQ(allocations_during([] { free(malloc(16)); }), 2);
}

TEST(NoAllocation, NoiseAndMaximaCallNoAllocator) {
    qorn::test::Plugin plugin(qorn::test::plugin_path());
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const qorn::test::NoiseApi api = plugin.noise_api();
    const qorn::test::MaxApi max = plugin.max_api();
    ASSERT_TRUE(api.noise && api.noise_metric && api.add_samples && api.add_samples_metric &&
                max.max2 && max.max3 && max.maxmax4)
        << plugin.error();
    const qorn::test::WeightedManhattan metric;
    const miVector weights{1, 1, 1};
    static float d[200];
    static miVector o[200];
    static unsigned long ids[200];
    volatile float sink = 0;
    const long count = allocations_during([&] {
        for (int i = 0; i < 50; ++i) {
            const float x = i * 1.7f - 40.0f, y = i * 0.3f, z = -i * 2.9f;
            api.noise(x, y, z, 1 + i % 7, d, i & 1 ? o : nullptr, i & 2 ? ids : nullptr);
            api.noise_metric(metric, weights, x, y, z, 200, d, o, ids);
            const miVector at{x, y, z};
            api.add_samples(i, -i, 3, 4, at, d, o, ids);
            api.add_samples_metric(metric, weights, i, -i, 3, 4, at, d, o, ids);
            sink = sink + max.max2(x, y) + max.max3(x, y, z) + max.maxmax4(x, y, z, d[0]);
        }
        api.noise(NAN, 0, 0, 3, d, o, ids);
    });
    EXPECT_EQ(count, 0);
}

TEST(NoAllocation, TheShaderCallsNoAllocator) {
    qorn::test::Plugin plugin(qorn::test::plugin_path());
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const auto shade = plugin.find<miBoolean (*)(miColor*, miState*, wireframetexture_params*)>(
        "qorn_wireframetexture");
    ASSERT_TRUE(shade) << plugin.error();

    // Every road of the shader: camera, object and an unsupported space, vertices that
    // cannot be had, one edge or all, wire and fill, opaque and transparent colours, a
    // failing trace, and parameters read from the record or, with flag words all set,
    // through mi_phen_eval.
    qorn::host::TrivialRenderer renderer;
    void* const renderer_data = qorn::host::renderer_data(renderer);
    struct {
        wireframetexture_params params;
        miInteger connected[sizeof(wireframetexture_params) / 4];
    } record;
    for (miInteger& flag : record.connected) flag = 1;
    const miOptions spaces[] = {{'c'}, {'o'}, {'c'}, {'w'}};
    const miShaderDesc unconnected{0}, connected{sizeof(wireframetexture_params)};
    int shaded = 0, declined = 0;
    const long count = allocations_during([&] {
        for (int i = 0; i < 64; ++i) {
            renderer.tri_vectors_fails = i % 16 == 15;
            renderer.trace_fails = i % 8 == 5;
            miState state{&spaces[i % 4], i & 8 ? &connected : &unconnected,
                          miVector{1.0f + 0.03f * i, 0.5f, 0.0f}, i, renderer_data};
            const float alpha = i % 3 == 0 ? 0.5f : 1.0f;
            record.params = wireframetexture_params{{1, 0, 0, alpha}, {0, 0, 1, alpha}, 0.01f * i,
                                                    (i & 16) != 0, i % 5 - 1, i % 7 - 2};
            miColor result;
            (shade(&result, &state, &record.params) ? shaded : declined) += 1;
        }
    });
    EXPECT_EQ(count, 0);
    EXPECT_GT(shaded, 0);
    EXPECT_GT(declined, 0);
}

}  // namespace
