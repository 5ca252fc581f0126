// The search against an independent brute force: every point of the 27 cubes,
// generated from the documented formulas and merged with the documented rule.
#include "nearest_search.h"

#include <gtest/gtest.h>
#include <math.h>

#include <array>
#include <vector>

#include "float_bits.h"
#include "noise_corpus.h"

namespace qorn::noise {
namespace {

using test::bits;

// ---------------------------------------------------------------------------------------
// The oracle, written straight from the formulas and sharing no code with the library
// but the count table.

struct Entry {
    float d;
    miVector o;
    unsigned long id;
};

struct OraclePoint {
    uint32_t id;
    double dx, dy, dz;
};

std::vector<OraclePoint> oracle_points(int32_t x, int32_t y, int32_t z, const miVector& at) {
    const uint32_t seed = 702395077u * static_cast<uint32_t>(x) +
                          915488749u * static_cast<uint32_t>(y) +
                          2120969693u * static_cast<uint32_t>(z);
    const int count = Poisson_count[seed >> 24];
    uint32_t s = 1402024253u * seed + 586950981u;
    const double cx = static_cast<float>(x), cy = static_cast<float>(y), cz = static_cast<float>(z);
    std::vector<OraclePoint> points;
    for (int n = 0; n < count; ++n) {
        const uint32_t s1 = 1402024253u * s + 586950981u;
        const uint32_t s2 = 1586653321u * s + 2081239990u;
        const uint32_t s3 = 796795301u * s + 2233291171u;
        const double fx = (static_cast<double>(s1) + 0.5) / 4294967296.0;
        const double fy = (static_cast<double>(s2) + 0.5) / 4294967296.0;
        const double fz = (static_cast<double>(s3) + 0.5) / 4294967296.0;
        points.push_back({s, (fx + cx) - at.x, (fy + cy) - at.y, (fz + cz) - at.z});
        s = 49518929u * s + 2381041692u;
    }
    return points;
}

/// A measure: Euclidean in double, or a caller's metric on the float offset.
struct OracleMeasure {
    const DistType* metric = nullptr;
    miVector param{};
    // Returns the measure as double (exactly the float one for a metric) and the offset.
    double operator()(const OraclePoint& p, miVector* o) const {
        *o = miVector{static_cast<float>(p.dx), static_cast<float>(p.dy), static_cast<float>(p.dz)};
        if (metric) return metric->distance(*o, param);
        return (p.dx * p.dx + p.dy * p.dy) + p.dz * p.dz;
    }
};

void oracle_merge(std::vector<Entry>& list, double m, const miVector& o, uint32_t id) {
    if (!(m < list.back().d)) return;
    size_t pos = list.size() - 1;
    while (pos > 0 && m < list[pos - 1].d) --pos;
    list.pop_back();
    list.insert(list.begin() + static_cast<long>(pos), Entry{static_cast<float>(m), o, id});
}

struct OracleResult {
    std::vector<Entry> list;
    std::vector<std::array<int32_t, 3>> visited;
    bool pruning_sound = true;  // no skipped neighbour held an admissible point
};

const int8_t kOrder[26][3] = {
    {-1, 0, 0},  {0, -1, 0},  {0, 0, -1},  {1, 0, 0},   {0, 1, 0},    {0, 0, 1},   {-1, -1, 0},
    {-1, 0, -1}, {0, -1, -1}, {1, 1, 0},   {1, 0, 1},   {0, 1, 1},    {-1, 1, 0},  {-1, 0, 1},
    {0, -1, 1},  {1, -1, 0},  {1, 0, -1},  {0, 1, -1},  {-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1},
    {-1, 1, 1},  {1, -1, -1}, {1, -1, 1},  {1, 1, -1},  {1, 1, 1},
};

/// The search over cell-unit query `at` in cube `c`; `prune` false visits all 27 cubes.
OracleResult oracle_search(const miVector& at, const int32_t c[3], unsigned long order,
                           const std::vector<Entry>& start, const OracleMeasure& measure,
                           bool prune) {
    OracleResult r;
    r.list = start;
    auto visit = [&](int32_t x, int32_t y, int32_t z) {
        r.visited.push_back({x, y, z});
        for (const OraclePoint& p : oracle_points(x, y, z, at)) {
            miVector o;
            const double m = measure(p, &o);
            oracle_merge(r.list, m, o, p.id);
        }
    };
    visit(c[0], c[1], c[2]);
    const double f[3] = {static_cast<double>(at.x) - c[0], static_cast<double>(at.y) - c[1],
                         static_cast<double>(at.z) - c[2]};
    for (const auto& s : kOrder) {
        double bound = 0;
        int terms = 0;
        for (int a = 0; a < 3; ++a) {
            if (!s[a]) continue;
            const double t = s[a] < 0 ? f[a] * f[a] : (1 - f[a]) * (1 - f[a]);
            bound = terms++ ? bound + t : t;
        }
        const int32_t x = c[0] + s[0], y = c[1] + s[1], z = c[2] + s[2];
        const float threshold = r.list[order - 1].d;
        if (!prune || bound < threshold) {
            visit(x, y, z);
        } else if (!measure.metric) {
            for (const OraclePoint& p : oracle_points(x, y, z, at)) {
                miVector o;
                if (measure(p, &o) < threshold) r.pruning_sound = false;
            }
        }
    }
    for (Entry& e : r.list) {
        e.d = static_cast<float>(sqrt(static_cast<double>(e.d)) * static_cast<double>(2.5116162f));
        e.o = miVector{e.o.x * 2.5116162f, e.o.y * 2.5116162f, e.o.z * 2.5116162f};
    }
    return r;
}

// ---------------------------------------------------------------------------------------

struct Outputs {
    std::vector<float> d;
    std::vector<miVector> o;
    std::vector<unsigned long> ids;
};

const miVector kCallerOffset{0.125f, -3.0f, 7.5f};
constexpr unsigned long kCallerId = 123456789ul;

std::vector<Entry> caller_start(unsigned long order) {
    return std::vector<Entry>(order, Entry{kEmptyDistance, kCallerOffset, kCallerId});
}

Outputs run_search(const Query& q, unsigned long order, bool with_offsets, bool with_ids,
                   const DistType* metric, const miVector& param) {
    Outputs out{std::vector<float>(order), std::vector<miVector>(order, kCallerOffset),
                std::vector<unsigned long>(order, kCallerId)};
    miVector* o = with_offsets ? out.o.data() : nullptr;
    unsigned long* ids = with_ids ? out.ids.data() : nullptr;
    start_search(order, out.d.data());
    if (metric)
        search_metric(*metric, param, q, order, out.d.data(), o, ids);
    else
        search_euclidean(q, order, out.d.data(), o, ids);
    finish_search(order, out.d.data(), o);
    return out;
}

void expect_same(const Outputs& got, const std::vector<Entry>& want, bool with_offsets,
                 bool with_ids) {
    for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(bits(got.d[i]), bits(want[i].d)) << "distance " << i;
        if (with_ids) {
            ASSERT_EQ(got.ids[i], want[i].id) << "id " << i;
        }
        if (with_offsets) {
            ASSERT_EQ(bits(got.o[i].x), bits(want[i].o.x)) << "offset " << i;
            ASSERT_EQ(bits(got.o[i].y), bits(want[i].o.y)) << "offset " << i;
            ASSERT_EQ(bits(got.o[i].z), bits(want[i].o.z)) << "offset " << i;
        }
    }
}

/// A query placed directly in cell units (faces, edges and corners are reachable).
Query cell_query(float ax, float ay, float az) {
    Query q;
    q.at = miVector{ax, ay, az};
    q.cube[0] = static_cast<int32_t>(floorf(ax));
    q.cube[1] = static_cast<int32_t>(floorf(ay));
    q.cube[2] = static_cast<int32_t>(floorf(az));
    q.searchable = true;
    return q;
}

std::vector<Query> random_queries() {
    test::CorpusRandom rnd(2024);
    std::vector<Query> queries;
    const float scales[] = {0.001f, 1.0f, 10.0f, 100.0f, 1e4f, 1.3e6f, 1e7f, 4e7f};
    for (float scale : scales)
        for (int n = 0; n < 250; ++n)
            queries.push_back(locate(rnd.symmetric(scale), rnd.symmetric(scale), rnd.symmetric(scale)));
    // On faces, edges and corners of cubes, and at cube coordinates' extremes.
    for (int n = 0; n < 300; ++n) {
        const float base = static_cast<float>(static_cast<int32_t>(rnd.next() % 2001) - 1000);
        const float frac[3] = {0.0f, rnd.symmetric(1.0f), 0.5f};
        const int pick = static_cast<int>(rnd.next() % 8);
        queries.push_back(cell_query(base + ((pick & 1) ? 0.0f : frac[1]),
                                     -base + ((pick & 2) ? 0.0f : frac[2]),
                                     base * 0.5f + ((pick & 4) ? 0.0f : frac[1] * 0.5f)));
    }
    queries.push_back(cell_query(0.0f, -0.0f, 0x1p-12f));
    queries.push_back(cell_query(0x1p-149f, -0x1p-11f, 0x1p-10f));
    queries.push_back(cell_query(524287.9f, -524288.0f, 0x1p19f));
    queries.push_back(cell_query(16777216.0f, -16777216.0f, 2.1e9f));
    return queries;
}

TEST(SearchOracle, EuclideanEqualsBruteForceOverAll27Cubes) {
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

TEST(SearchOracle, PluggableEqualsTheSameSearchWithTheSameMeasure) {
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

TEST(SearchOracle, FastPathEqualsTheReferenceSearch) {
    // The reference search is the plain transcription the fast path replaces.
    for (const Query& q : random_queries()) {
        for (unsigned long order : {1ul, 2ul, 6ul, 40ul}) {
            Outputs fast{std::vector<float>(order), std::vector<miVector>(order),
                         std::vector<unsigned long>(order)};
            Outputs ref = fast;
            start_search(order, fast.d.data());
            start_search(order, ref.d.data());
            search_euclidean(q, order, fast.d.data(), fast.o.data(), fast.ids.data());
            search_euclidean_reference(q, order, ref.d.data(), ref.o.data(), ref.ids.data());
            for (unsigned long i = 0; i < order; ++i) {
                ASSERT_EQ(bits(fast.d[i]), bits(ref.d[i])) << q.at.x << " " << q.at.y << " " << q.at.z;
                ASSERT_EQ(fast.ids[i], ref.ids[i]);
                ASSERT_EQ(bits(fast.o[i].x), bits(ref.o[i].x));
                ASSERT_EQ(bits(fast.o[i].y), bits(ref.o[i].y));
                ASSERT_EQ(bits(fast.o[i].z), bits(ref.o[i].z));
            }
        }
    }
}

TEST(SearchOracle, WholeQueriesEqualTheReferenceWithEveryChoiceOfLists) {
    // Through the entry point, where orders 1 to 4 keep rough keys in registers and the
    // other orders choose their neighbours differently with and without lists.
    test::CorpusRandom rnd(99);
    for (const Query& q : random_queries()) {
        // Back to caller units; locate() lands on the same cube and cell-unit point
        // within the fast range, and elsewhere the two queries are simply other points.
        const float x = q.at.x / kCellDensity, y = q.at.y / kCellDensity, z = q.at.z / kCellDensity;
        for (unsigned long order : {1ul, 2ul, 3ul, 4ul, 6ul, 40ul}) {
            const bool with_offsets = rnd.next() & 1, with_ids = rnd.next() & 1;
            Outputs fast{std::vector<float>(order), std::vector<miVector>(order, kCallerOffset),
                         std::vector<unsigned long>(order, kCallerId)};
            Outputs ref = fast;
            miVector* fo = with_offsets ? fast.o.data() : nullptr;
            miVector* ro = with_offsets ? ref.o.data() : nullptr;
            unsigned long* fi = with_ids ? fast.ids.data() : nullptr;
            unsigned long* ri = with_ids ? ref.ids.data() : nullptr;
            noise_euclidean(x, y, z, order, fast.d.data(), fo, fi);
            noise_reference(x, y, z, order, ref.d.data(), ro, ri);
            for (unsigned long i = 0; i < order; ++i) {
                ASSERT_EQ(bits(fast.d[i]), bits(ref.d[i])) << x << " " << y << " " << z << " order " << order;
                ASSERT_EQ(fast.ids[i], ref.ids[i]);
                ASSERT_EQ(bits(fast.o[i].x), bits(ref.o[i].x));
                ASSERT_EQ(bits(fast.o[i].y), bits(ref.o[i].y));
                ASSERT_EQ(bits(fast.o[i].z), bits(ref.o[i].z));
            }
        }
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

TEST(SearchOracle, FastPluggableSearchMakesTheReferenceCallsAndResults) {
    // The same calls of the measure, in the same order, and the same lists, for every
    // combination of optional lists.
    const miVector weights[] = {{0.0f, 1.0f, 0.0f}, {0.25f, 0.5f, 0.0f}, {0.4f, 0.0f, 0.0f}};
    int n = 0;
    for (const Query& q : random_queries()) {
        const unsigned long order = std::array<unsigned long, 4>{1, 2, 5, 40}[n % 4];
        const miVector& w = weights[n % 3];
        const bool with_offsets = n & 1, with_ids = n & 2;
        ++n;
        Outputs fast{std::vector<float>(order), std::vector<miVector>(order, kCallerOffset),
                     std::vector<unsigned long>(order, kCallerId)};
        Outputs ref = fast;
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
        for (unsigned long i = 0; i < order; ++i) {
            ASSERT_EQ(bits(fast.d[i]), bits(ref.d[i]));
            ASSERT_EQ(fast.ids[i], ref.ids[i]);
            ASSERT_EQ(bits(fast.o[i].x), bits(ref.o[i].x));
            ASSERT_EQ(bits(fast.o[i].y), bits(ref.o[i].y));
            ASSERT_EQ(bits(fast.o[i].z), bits(ref.o[i].z));
        }
    }
}

// ---------------------------------------------------------------------------------------
// Which cubes a search visits, and in what order.

std::vector<std::array<int32_t, 3>> visited_cubes(float x, float y, float z, unsigned long order,
                                                  int* points = nullptr) {
    const Query q = locate(x, y, z);
    std::vector<float> d(order);
    start_search(order, d.data());
    std::vector<std::array<int32_t, 3>> cubes;
    visit_cubes(q, order, d.data(), [&](int32_t cx, int32_t cy, int32_t cz) {
        cubes.push_back({cx, cy, cz});
        if (points) *points += Poisson_count[cube_seed(cx, cy, cz) >> 24];
        add_cube_points(cx, cy, cz, order, q.at, d.data(), nullptr, nullptr, EuclideanMeasure{});
    });
    return cubes;
}

TEST(VisitCubes, CornerQueryVisitsTheLowerCubesInTableOrder) {
    const std::vector<std::array<int32_t, 3>> want = {
        {0, 0, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {-1, -1, 0}, {-1, 0, -1}, {0, -1, -1}, {-1, -1, -1}};
    EXPECT_EQ(visited_cubes(0.0f, 0.0f, 0.0f, 1), want);
}

TEST(VisitCubes, CountsOfTheDocumentedQueries) {
    EXPECT_EQ(visited_cubes(1.25f, 1.25f, 1.25f, 3).size(), 1u);
    EXPECT_EQ(visited_cubes(1.25f, -2.5f, 3.75f, 2).size(), 18u);
    EXPECT_EQ(visited_cubes(10.0f, 20.0f, 30.0f, 4).size(), 11u);
    int points = 0;
    EXPECT_EQ(visited_cubes(0.3f, 0.3f, 0.3f, 200, &points).size(), 27u);
    EXPECT_EQ(points, 70);
}

TEST(Locate, ScalesAndFloorsTheQuery) {
    const Query q = locate(1.25f, -2.5f, 3.75f);
    EXPECT_TRUE(test::bits(q.at.x) == test::bits(1.25f * 0.39815f));
    EXPECT_EQ(q.cube[0], 0);
    EXPECT_EQ(q.cube[1], -1);
    EXPECT_EQ(q.cube[2], 1);
    const Query neg = locate(-0.1f, 10.0f, 30.0f);
    EXPECT_EQ(neg.cube[0], -1);
    EXPECT_EQ(static_cast<float>(static_cast<double>(neg.at.x) - neg.cube[0]), 0.960185f);
    EXPECT_EQ(neg.cube[1], 3);
    EXPECT_EQ(neg.cube[2], 11);
    // The threshold after the central cube of (1.25, 1.25, 1.25), order 3.
    float d[3];
    start_search(3, d);
    const Query inside = locate(1.25f, 1.25f, 1.25f);
    add_cube_points(0, 0, 0, 3, inside.at, d, nullptr, nullptr, EuclideanMeasure{});
    EXPECT_FLOAT_EQ(d[2], 0.1780519f);
    EXPECT_EQ(face_terms(inside).lower[0], static_cast<double>(inside.at.x) * inside.at.x);
}

TEST(Locate, FloorsExactlyAcrossTheRange) {
    const float values[] = {-0.0f, 0.0f, -0x1p-149f, 0.999999f, -1.0f, -1.5f, 8388607.5f,
                            -8388607.5f, 0x1p30f, -0x1p31f + 128.0f, 0x1p31f - 128.0f};
    for (float v : values) EXPECT_EQ(floor_to_int(v), static_cast<int32_t>(floorf(v))) << v;
}

}  // namespace
}  // namespace qorn::noise
