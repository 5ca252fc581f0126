// The general Euclidean search against the brute force and against the plain search.
#include "euclidean_search.h"

#include <gtest/gtest.h>

#include "search_oracle.h"

namespace qorn::noise {
namespace {

using namespace oracle;

TEST(EuclideanSearch, EqualsBruteForceOverAll27Cubes) {
    const unsigned long orders[] = {1, 2, 3, 4, 5, 8, 16, 33, 135, 136, 200};
    test::CorpusRandom rnd(7);
    int n = 0;
    for (const Query& q : random_queries()) {
        const unsigned long order = orders[n++ % 11];
        const bool with_offsets = rnd.next() & 1, with_ids = rnd.next() & 1;
        SCOPED_TRACE(testing::Message() << "at " << q.at.x << " " << q.at.y << " " << q.at.z
                                        << " order " << order);
        const Outputs got = run_search(q, order, with_offsets, with_ids, nullptr, {});
        const OracleMeasure euclid;
        const OracleResult pruned = oracle_search(q.at, q.cube, order, caller_start(order), euclid, true);
        const OracleResult brute = oracle_search(q.at, q.cube, order, caller_start(order), euclid, false);
        expect_same(got, pruned.list, with_offsets, with_ids);
        if (HasFatalFailure()) return;
        // Beyond 2^24 neighbouring cubes' float coordinates coincide, and the bounds no
        // longer hold; below it, skipping is exact.
        const float exact = 0x1p24f;
        if (fabsf(q.at.x) >= exact || fabsf(q.at.y) >= exact || fabsf(q.at.z) >= exact) continue;
        ASSERT_TRUE(pruned.pruning_sound) << "a skipped neighbour held a nearer point";
        expect_same(got, brute.list, with_offsets, with_ids);
        if (HasFatalFailure()) return;
    }
}

TEST(EuclideanSearch, EqualsThePlainSearch) {
    // The reference search is the plain transcription the fast path replaces.
    for (const Query& q : random_queries()) {
        for (unsigned long order : {1ul, 2ul, 6ul, 40ul}) {
            Outputs fast = caller_lists(order), ref = caller_lists(order);
            start_search(order, fast.d.data());
            start_search(order, ref.d.data());
            search_euclidean(q, order, fast.d.data(), fast.o.data(), fast.ids.data());
            search_euclidean_reference(q, order, ref.d.data(), ref.o.data(), ref.ids.data());
            ASSERT_NO_FATAL_FAILURE(expect_same_lists(fast, ref, order))
                << q.at.x << " " << q.at.y << " " << q.at.z << " order " << order;
        }
    }
}

}  // namespace
}  // namespace qorn::noise
