// A fixed corpus of noise calls whose every output bit is fed to a sink: the same
// corpus runs in-process, through dlopen, and in the 32- and 64-bit builds, and the
// results must agree bit for bit.
#ifndef QORN_TESTS_NOISE_CORPUS_H
#define QORN_TESTS_NOISE_CORPUS_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "mrWorley.h"

namespace qorn::test {

/// The four cellular-noise entry points, however they were obtained.
struct NoiseApi {
    void (*noise)(float, float, float, unsigned long, float*, miVector*, unsigned long*);
    void (*noise_metric)(const DistType&, const miVector&, float, float, float, unsigned long,
                         float*, miVector*, unsigned long*);
    void (*add_samples)(long, long, long, unsigned long, const miVector&, float*, miVector*,
                        unsigned long*);
    void (*add_samples_metric)(const DistType&, const miVector&, long, long, long,
                               unsigned long, const miVector&, float*, miVector*,
                               unsigned long*);
};

/// Squared Euclidean length of the offset: the plain overload's measure.
struct SquaredEuclidean final : DistType {
    float distance(const miVector& o, const miVector&) const override {
        return o.x * o.x + o.y * o.y + o.z * o.z;
    }
};

/// A weighted Manhattan measure, squared, using dist_param as per-axis weights.
struct WeightedManhattan final : DistType {
    float distance(const miVector& o, const miVector& w) const override {
        float d = w.x * (o.x < 0 ? -o.x : o.x) + w.y * (o.y < 0 ? -o.y : o.y) +
                  w.z * (o.z < 0 ? -o.z : o.z);
        return d * d;
    }
};

/// FNV-1a over everything the corpus produces; optionally also a text dump.
class CorpusSink {
public:
    explicit CorpusSink(FILE* dump = nullptr) : dump_(dump) {}
    void words(const char* label, const void* data, size_t bytes) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < bytes; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001b3ull;
        if (!dump_) return;
        fprintf(dump_, "%s", label);
        for (size_t i = 0; i + 4 <= bytes; i += 4) {
            uint32_t w;
            memcpy(&w, p + i, 4);
            fprintf(dump_, " %08x", w);
        }
        fprintf(dump_, "\n");
    }
    uint64_t hash() const { return hash_; }

private:
    FILE* dump_;
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

/// Deterministic integers, identical on every ABI.
class CorpusRandom {
public:
    explicit CorpusRandom(uint32_t seed) : s_(seed) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    /// Uniform in [-range, range], built from exact float operations.
    float symmetric(float range) {
        float unit = static_cast<float>(next() >> 8) * 0x1p-24f;  // [0, 1)
        return (unit * 2.0f - 1.0f) * range;
    }

private:
    uint32_t s_;
};

/// The corpus digest: every build, 32-bit or 64-bit, in-process or through dlopen,
/// must produce exactly these bits.
constexpr uint64_t kNoiseCorpusDigest = 0x11c2e7cced5078daull;

/// Runs the corpus: plain and pluggable noise at many scales and orders, with and
/// without offsets and ids, and AddSamples over the whole 32-bit cube range.
inline void run_noise_corpus(const NoiseApi& api, CorpusSink& sink) {
    const float scales[] = {1.0f, 100.0f, 1e4f, 1.3e6f, 4e7f, 1e9f, 0.01f};
    const unsigned long orders[] = {1, 2, 3, 4, 7, 16, 40, 136, 200};
    const SquaredEuclidean euclid;
    const WeightedManhattan manhattan;
    const miVector weights{1.0f, 0.5f, 2.0f};
    CorpusRandom rnd(12345);
    static float d[200];
    static miVector o[200];
    static unsigned long ids[200];
    char label[64];
    for (float scale : scales) {
        for (int n = 0; n < 60; ++n) {
            const float x = rnd.symmetric(scale), y = rnd.symmetric(scale),
                        z = rnd.symmetric(scale);
            const unsigned long order = orders[rnd.next() % 9];
            const int which = static_cast<int>(rnd.next() % 4);
            for (unsigned long i = 0; i < order; ++i) {
                o[i] = miVector{0.5f, -0.25f, 2.0f};
                ids[i] = 7;
            }
            miVector* offsets = (which & 1) ? o : nullptr;
            unsigned long* id_out = (which & 2) ? ids : nullptr;
            snprintf(label, sizeof label, "noise %g %lu", static_cast<double>(scale), order);
            api.noise(x, y, z, order, d, offsets, id_out);
            sink.words(label, d, order * sizeof(float));
            sink.words(" offsets", o, order * sizeof(miVector));
            for (unsigned long i = 0; i < order; ++i) {
                const uint32_t id32 = static_cast<uint32_t>(ids[i]);
                sink.words(" id", &id32, 4);
            }
            const DistType& metric = (n & 1) ? static_cast<const DistType&>(manhattan)
                                             : static_cast<const DistType&>(euclid);
            api.noise_metric(metric, weights, x, y, z, order, d, o, ids);
            sink.words("metric", d, order * sizeof(float));
            sink.words(" offsets", o, order * sizeof(miVector));
        }
    }
    // AddSamples on its own, at cube coordinates spread over the 32-bit range.
    for (int n = 0; n < 200; ++n) {
        const long cx = static_cast<int32_t>(rnd.next()), cy = static_cast<int32_t>(rnd.next()),
                   cz = static_cast<int32_t>(rnd.next());
        const miVector at{static_cast<float>(cx) + 0.5f, static_cast<float>(cy) + 0.25f,
                          static_cast<float>(cz) + 0.75f};
        for (int i = 0; i < 6; ++i) d[i] = 4.0f * static_cast<float>(i);
        api.add_samples(cx, cy, cz, 6, at, d, o, ids);
        sink.words("add", d, 6 * sizeof(float));
        sink.words(" offsets", o, 6 * sizeof(miVector));
        for (int i = 0; i < 6; ++i) {
            const uint32_t id32 = static_cast<uint32_t>(ids[i]);
            sink.words(" id", &id32, 4);
        }
        for (int i = 0; i < 6; ++i) d[i] = 4.0f * static_cast<float>(i);
        api.add_samples_metric(manhattan, weights, cx, cy, cz, 6, at, d, o, ids);
        sink.words("addm", d, 6 * sizeof(float));
    }
}

}  // namespace qorn::test

#endif
