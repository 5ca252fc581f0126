// A separately compiled client of qorn.so: it sees only the public headers and reaches
// the library only through dlopen/dlsym by symbol name, as another shader library in
// the renderer would, with metrics of its own.
#include <gtest/gtest.h>
#include <math.h>

#include "float_bits.h"
#include "mrWorley.h"
#include "plugin_symbols.h"

namespace {

using qorn::test::bits;

/// A metric that records how the library uses it. Slot 1 (name) must never be called;
/// slot 2 (distance) returns the squared length and notes its arguments.
struct ObservedMetric final : DistType {
    mutable int name_calls = 0;
    mutable int distance_calls = 0;
    mutable const miVector* last_param = nullptr;
    const char* name() const override {
        ++name_calls;
        return "observed";
    }
    float distance(const miVector& o, const miVector& param) const override {
        ++distance_calls;
        last_param = &param;
        return o.x * o.x + o.y * o.y + o.z * o.z;
    }
};

/// Chebyshev distance, squared: the measure of a client's own choosing.
struct Chebyshev final : DistType {
    float distance(const miVector& o, const miVector&) const override {
        float m = fabsf(o.x);
        if (fabsf(o.y) > m) m = fabsf(o.y);
        if (fabsf(o.z) > m) m = fabsf(o.z);
        return m * m;
    }
};

class NoiseClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.loaded()) << plugin_.error();
        api_ = plugin_.noise_api();
        ASSERT_TRUE(api_.noise && api_.noise_metric && api_.add_samples && api_.add_samples_metric)
            << plugin_.error();
    }
    qorn::test::Plugin plugin_{qorn::test::plugin_path()};
    qorn::test::NoiseApi api_{};
};

TEST_F(NoiseClient, FindsTheNearestPointsThroughExportedSymbols) {
    float d[3];
    miVector o[3];
    unsigned long ids[3];
    api_.noise(1.25f, 1.25f, 1.25f, 3, d, o, ids);
    EXPECT_NEAR(d[0], 0.1565036f, 1e-7f);
    EXPECT_NEAR(d[1], 0.9221998f, 1e-7f);
    EXPECT_NEAR(d[2], 1.059806f, 1e-6f);
    EXPECT_EQ(ids[0], 586950981ul);
    EXPECT_EQ(ids[1], 452604553ul);
    EXPECT_EQ(ids[2], 615034973ul);
    EXPECT_NEAR(o[0].x, -0.0329299f, 1e-7f);
    EXPECT_NEAR(o[0].y, 0.05598677f, 1e-8f);
    EXPECT_NEAR(o[0].z, 0.1423885f, 1e-7f);
}

TEST_F(NoiseClient, CallsOnlyTheSecondVirtualSlot) {
    ObservedMetric metric;
    const miVector param{1, 2, 3};
    float d[3], plain[3];
    unsigned long ids[3], plain_ids[3];
    api_.noise_metric(metric, param, 1.25f, 1.25f, 1.25f, 3, d, nullptr, ids);
    api_.noise(1.25f, 1.25f, 1.25f, 3, plain, nullptr, plain_ids);
    EXPECT_EQ(metric.name_calls, 0);
    // Only the central cube is searched for this query, and it holds four points.
    EXPECT_EQ(metric.distance_calls, 4);
    EXPECT_EQ(metric.last_param, &param) << "dist_param must reach the metric unchanged";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ids[i], plain_ids[i]);
        EXPECT_NEAR(d[i], plain[i], 1e-6f);
    }

    ObservedMetric direct;
    float list[2] = {1e6f, 1e6f};
    const miVector at{0.5f, 0.5f, 0.5f};
    api_.add_samples_metric(direct, param, 0, 0, 0, 2, at, list, nullptr, nullptr);
    EXPECT_EQ(direct.name_calls, 0);
    EXPECT_EQ(direct.distance_calls, 4);
    EXPECT_EQ(direct.last_param, &param);
}

TEST_F(NoiseClient, UsesTheClientsOwnMeasure) {
    const Chebyshev metric;
    const miVector unused{0, 0, 0};
    float d[4];
    miVector o[4];
    api_.noise_metric(metric, unused, 10.0f, 20.0f, 30.0f, 4, d, o, nullptr);
    for (int i = 0; i < 4; ++i) {
        float cheb = fmaxf(fabsf(o[i].x), fmaxf(fabsf(o[i].y), fabsf(o[i].z)));
        EXPECT_NEAR(d[i], cheb, 1e-5f) << i;
        if (i > 0) {
            EXPECT_LE(d[i - 1], d[i]);
        }
    }
}

TEST_F(NoiseClient, AgreesBitForBitWithTheInProcessCorpus) {
    qorn::test::CorpusSink sink;
    qorn::test::run_noise_corpus(api_, sink);
    EXPECT_EQ(sink.hash(), qorn::test::kNoiseCorpusDigest);
}

TEST_F(NoiseClient, MaximaFollowTheirTieAndNaNRules) {
    const qorn::test::MaxApi m = plugin_.max_api();
    ASSERT_TRUE(m.max2 && m.max3 && m.maxmax4) << plugin_.error();
    EXPECT_EQ(bits(m.max2(0.0f, -0.0f)), bits(-0.0f));
    EXPECT_EQ(bits(m.max2(-0.0f, 0.0f)), bits(0.0f));
    EXPECT_EQ(m.max2(NAN, 1.0f), 1.0f);
    EXPECT_TRUE(isnan(m.max2(1.0f, NAN)));
    EXPECT_TRUE(isnan(m.max3(1.0f, 2.0f, NAN)));
    EXPECT_EQ(m.max3(NAN, 1.0f, 2.0f), 2.0f);
    EXPECT_EQ(m.max3(1.0f, NAN, 2.0f), 2.0f);
    EXPECT_EQ(m.maxmax4(1.0f, 4.0f, 2.0f, 3.0f), 4.0f);
    EXPECT_EQ(bits(m.max3(0.0f, 0.0f, -0.0f)), bits(-0.0f));
}

}  // namespace
