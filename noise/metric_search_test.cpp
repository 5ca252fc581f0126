// The search with a caller's measure against the brute force, and the plain search's
// calls of the measure.
#include "metric_search.h"

#include <gtest/gtest.h>

#include "search_oracle.h"

namespace qorn::noise {
namespace {

using namespace oracle;

TEST(MetricSearch, EqualsBruteForceWithTheSameMeasure) {
    const test::WeightedManhattan manhattan;
    const test::SquaredEuclidean euclid;
    const miVector weights{0.5f, 1.0f, 1.5f};
    const unsigned long orders[] = {1, 2, 4, 9, 200};
    int n = 0;
    for (const Query& q : random_queries()) {
        const unsigned long order = orders[n % 5];
        const DistType* metric = (n++ & 1) ? static_cast<const DistType*>(&manhattan) : &euclid;
        const Outputs got = run_search(q, order, true, true, metric, weights);
        OracleMeasure measure;
        measure.metric = metric;
        measure.param = weights;
        const OracleResult want = oracle_search(q.at, q.cube, order, caller_start(order), measure, true);
        expect_same(got, want.list, true, true);
        if (HasFatalFailure()) return;
    }
}

/// A measure that records every offset it is asked about, and answers from a mix of
/// Manhattan and Euclidean terms so that it is shorter than the bounds in places.
struct RecordingMetric final : DistType {
    float distance(const miVector& o, const miVector& w) const override {
        calls.push_back(o);
        const float manhattan = fabsf(o.x) + fabsf(o.y) + fabsf(o.z);
        return w.x * manhattan * manhattan + w.y * (o.x * o.x + o.y * o.y + o.z * o.z);
    }
    mutable std::vector<miVector> calls;
};

TEST(MetricSearch, MakesThePlainSearchsCallsAndResults) {
    // The same calls of the measure, in the same order, and the same lists, for every
    // combination of optional lists.
    const miVector weights[] = {{0.0f, 1.0f, 0.0f}, {0.25f, 0.5f, 0.0f}, {0.4f, 0.0f, 0.0f}};
    int n = 0;
    for (const Query& q : random_queries()) {
        const unsigned long order = std::array<unsigned long, 4>{1, 2, 5, 40}[n % 4];
        const miVector& w = weights[n % 3];
        const bool with_offsets = n & 1, with_ids = n & 2;
        ++n;
        Outputs fast = caller_lists(order), ref = caller_lists(order);
        RecordingMetric fast_metric, ref_metric;
        start_search(order, fast.d.data());
        start_search(order, ref.d.data());
        search_metric(fast_metric, w, q, order, fast.d.data(), with_offsets ? fast.o.data() : nullptr,
                      with_ids ? fast.ids.data() : nullptr);
        search_metric_reference(ref_metric, w, q, order, ref.d.data(),
                                with_offsets ? ref.o.data() : nullptr,
                                with_ids ? ref.ids.data() : nullptr);
        ASSERT_EQ(fast_metric.calls.size(), ref_metric.calls.size()) << q.at.x << " " << q.at.y << " " << q.at.z;
        for (size_t i = 0; i < ref_metric.calls.size(); ++i) {
            ASSERT_EQ(bits(fast_metric.calls[i].x), bits(ref_metric.calls[i].x)) << "call " << i;
            ASSERT_EQ(bits(fast_metric.calls[i].y), bits(ref_metric.calls[i].y)) << "call " << i;
            ASSERT_EQ(bits(fast_metric.calls[i].z), bits(ref_metric.calls[i].z)) << "call " << i;
        }
        ASSERT_NO_FATAL_FAILURE(expect_same_lists(fast, ref, order)) << q.at.x << " " << q.at.y << " " << q.at.z;
    }
}

}  // namespace
}  // namespace qorn::noise
