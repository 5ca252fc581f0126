// The exported noise functions, which search each call reaches (see mrWorley.cpp),
// against the documented figures and the plain transcription.
#include "mrWorley.h"

#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "float_bits.h"
#include "noise_corpus.h"
#include "plain_search.h"
#include "search_oracle.h"

namespace {

using qorn::test::bits;

using qorn::test::Printed;

struct Figures {
    const char* what;
    float x, y, z;
    unsigned long order;
    std::vector<const char*> distances;
    std::vector<unsigned long> ids;
};

const Figures kFigures[] = {
    {"inside one cube", 1.25f, 1.25f, 1.25f, 3,
     {"0.1565036", "0.9221998", "1.059806"}, {586950981ul, 452604553ul, 615034973ul}},
    {"on a corner", 0.0f, 0.0f, 0.0f, 1, {"0.6480159"}, {779667506ul}},
    {"on a corner, three", 0.0f, 0.0f, 0.0f, 3,
     {"0.6480159", "1.183494", "1.413864"}, {779667506ul, 2226598506ul, 3711896046ul}},
    {"negative cube", 1.25f, -2.5f, 3.75f, 2, {"1.139809", "2.032574"},
     {3570097441ul, 3652455285ul}},
    {"rounded once", 10.0f, 20.0f, 30.0f, 4,
     {"0.4027979", "0.7763891", "0.8728009", "0.8797985"},
     {3066909808ul, 3039180795ul, 1392405012ul, 3692468407ul}},
};

TEST(Noise, ReproducesTheDocumentedFigures) {
    for (const Figures& f : kFigures) {
        SCOPED_TRACE(f.what);
        std::vector<float> d(f.order);
        std::vector<unsigned long> ids(f.order);
        std::vector<miVector> o(f.order);
        FWorley::noise(f.x, f.y, f.z, f.order, d.data(), o.data(), ids.data());
        for (unsigned long i = 0; i < f.order; ++i) {
            EXPECT_TRUE(Printed(d[i], f.distances[i])) << "entry " << i;
            EXPECT_EQ(ids[i], f.ids[i]) << "entry " << i;
        }
        // Without the optional lists the distances are the same bits.
        std::vector<float> plain(f.order);
        FWorley::noise(f.x, f.y, f.z, f.order, plain.data(), nullptr, nullptr);
        for (unsigned long i = 0; i < f.order; ++i) EXPECT_EQ(bits(plain[i]), bits(d[i]));
    }
}

TEST(Noise, ReproducesTheDocumentedOffsets) {
    float d[3];
    miVector o[3];
    FWorley::noise(1.25f, 1.25f, 1.25f, 3, d, o, nullptr);
    EXPECT_TRUE(Printed(o[0].x, "-0.0329299"));
    EXPECT_TRUE(Printed(o[0].y, "0.05598677"));
    EXPECT_TRUE(Printed(o[0].z, "0.1423885"));
    FWorley::noise(0.0f, 0.0f, 0.0f, 1, d, o, nullptr);
    EXPECT_TRUE(Printed(o[0].x, "-0.1726340"));
    EXPECT_TRUE(Printed(o[0].y, "-0.1124950"));
    EXPECT_TRUE(Printed(o[0].z, "-0.6143834"));
}

TEST(Noise, ConstantsHaveTheirBitPatterns) {
    using namespace qorn::noise;
    EXPECT_EQ(bits(kEmptyDistance), 0x497423feu);
    EXPECT_EQ(bits(kCellSize), 0x4020be52u);
    EXPECT_EQ(static_cast<double>(kCellDensity), 0.3981499969959259);
    EXPECT_EQ(bits(static_cast<float>(sqrt(static_cast<double>(kEmptyDistance)) * kCellSize)),
              bits(2511.616f));
}

TEST(Noise, UnfilledEntriesReadTheEmptyDistance) {
    // 27 cubes hold at most 135 points: with order 200 the list never fills.
    const unsigned long order = 200;
    std::vector<float> d(order);
    std::vector<unsigned long> ids(order, 4242);
    std::vector<miVector> o(order, miVector{1.0f, -2.0f, 0.5f});
    FWorley::noise(0.3f, 0.3f, 0.3f, order, d.data(), o.data(), ids.data());
    for (unsigned long i = 0; i < 70; ++i) {
        EXPECT_LT(d[i], 2511.0f) << i;
        EXPECT_NE(ids[i], 4242ul) << i;
    }
    for (unsigned long i = 70; i < order; ++i) {
        EXPECT_EQ(bits(d[i]), bits(2511.616f)) << i;
        EXPECT_EQ(ids[i], 4242ul) << "ids of unfilled entries stay as the caller had them";
        EXPECT_EQ(bits(o[i].x), bits(1.0f * qorn::noise::kCellSize));
        EXPECT_EQ(bits(o[i].y), bits(-2.0f * qorn::noise::kCellSize));
        EXPECT_EQ(bits(o[i].z), bits(0.5f * qorn::noise::kCellSize));
    }
}

TEST(Noise, OrderZeroReadsAndWritesNothing) {
    float d[1] = {-3.0f};
    miVector o[1] = {{9, 9, 9}};
    unsigned long ids[1] = {5};
    FWorley::noise(1.0f, 2.0f, 3.0f, 0, d, o, ids);
    FWorley::noise(qorn::test::SquaredEuclidean{}, o[0], 1.0f, 2.0f, 3.0f, 0, d, o, ids);
    FWorley::AddSamples(0, 0, 0, 0, o[0], d, o, ids);
    EXPECT_EQ(d[0], -3.0f);
    EXPECT_EQ(o[0].x, 9.0f);
    EXPECT_EQ(ids[0], 5ul);
    // Null arrays are never touched with order 0.
    FWorley::noise(1.0f, 2.0f, 3.0f, 0, nullptr, nullptr, nullptr);
}

TEST(Noise, UnsearchableQueriesFindNoPoint) {
    const float huge = 6e9f;  // scaled beyond the signed 32-bit range
    const float bad[][3] = {
        {NAN, 0.0f, 0.0f}, {0.0f, INFINITY, 0.0f}, {0.0f, 0.0f, -INFINITY},
        {huge, 0.0f, 0.0f}, {0.0f, -huge, 0.0f}, {-5.4e9f, 0.0f, 0.0f},
    };
    for (const auto& q : bad) {
        SCOPED_TRACE(testing::Message() << q[0] << " " << q[1] << " " << q[2]);
        float d[3];
        unsigned long ids[3] = {1, 2, 3};
        miVector o[3] = {{1, 1, 1}, {2, 2, 2}, {0, 0, 0}};
        FWorley::noise(q[0], q[1], q[2], 3, d, o, ids);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(bits(d[i]), bits(2511.616f));
            EXPECT_EQ(ids[i], static_cast<unsigned long>(i + 1));
        }
        EXPECT_EQ(o[1].y, 2.0f * qorn::noise::kCellSize);
        FWorley::noise(qorn::test::SquaredEuclidean{}, o[0], q[0], q[1], q[2], 3, d, nullptr, ids);
        EXPECT_EQ(bits(d[0]), bits(2511.616f));
    }
    // The largest searchable magnitude still finds points.
    float d[1];
    FWorley::noise(5.39e9f, -5.39e9f, 0.0f, 1, d, nullptr, nullptr);
    EXPECT_LT(d[0], 2511.0f);
}

TEST(Noise, CorpusDigestIsTheSameOnEveryBuild) {
    const qorn::test::NoiseApi api{FWorley::noise, FWorley::noise, FWorley::AddSamples,
                                   FWorley::AddSamples};
    qorn::test::CorpusSink sink;
    qorn::test::run_noise_corpus(api, sink);
    EXPECT_EQ(sink.hash(), qorn::test::kNoiseCorpusDigest) << std::hex << sink.hash();
}

using namespace qorn::noise;
using namespace qorn::noise::oracle;

TEST(Noise, WholeQueriesEqualThePlainTranscriptionWithEveryChoiceOfLists) {
    // Through the entry point, where orders 1 to 4 keep rough keys in registers and the
    // other orders choose their neighbours differently with and without lists.
    qorn::test::CorpusRandom rnd(99);
    for (const Query& q : random_queries()) {
        // Back to caller units; locate() lands on the same cube and cell-unit point
        // within the fast range, and elsewhere the two queries are simply other points.
        const float x = q.at.x / kCellDensity, y = q.at.y / kCellDensity, z = q.at.z / kCellDensity;
        for (unsigned long order : {1ul, 2ul, 3ul, 4ul, 6ul, 40ul}) {
            const bool with_offsets = rnd.next() & 1, with_ids = rnd.next() & 1;
            Outputs fast = caller_lists(order), ref = caller_lists(order);
            miVector* fo = with_offsets ? fast.o.data() : nullptr;
            miVector* ro = with_offsets ? ref.o.data() : nullptr;
            unsigned long* fi = with_ids ? fast.ids.data() : nullptr;
            unsigned long* ri = with_ids ? ref.ids.data() : nullptr;
            FWorley::noise(x, y, z, order, fast.d.data(), fo, fi);
            noise_reference(x, y, z, order, ref.d.data(), ro, ri);
            ASSERT_NO_FATAL_FAILURE(expect_same_lists(fast, ref, order)) << x << " " << y << " " << z << " order " << order;
        }
    }
}

}  // namespace
