// Test support for the searches: an independent brute force over every point of the 27
// cubes, generated from the documented formulas and merged with the documented rule, and
// the random queries and list comparisons the search tests share.
#ifndef QORN_NOISE_SEARCH_ORACLE_H
#define QORN_NOISE_SEARCH_ORACLE_H

#include <gtest/gtest.h>
#include <math.h>

#include <array>
#include <vector>

#include "euclidean_search.h"
#include "float_bits.h"
#include "metric_search.h"
#include "noise_corpus.h"
#include "plain_search.h"

namespace qorn::noise::oracle {

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

inline std::vector<OraclePoint> oracle_points(int32_t x, int32_t y, int32_t z, const miVector& at) {
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

inline void oracle_merge(std::vector<Entry>& list, double m, const miVector& o, uint32_t id) {
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

inline constexpr int8_t kOrder[26][3] = {
    {-1, 0, 0},  {0, -1, 0},  {0, 0, -1},  {1, 0, 0},   {0, 1, 0},    {0, 0, 1},   {-1, -1, 0},
    {-1, 0, -1}, {0, -1, -1}, {1, 1, 0},   {1, 0, 1},   {0, 1, 1},    {-1, 1, 0},  {-1, 0, 1},
    {0, -1, 1},  {1, -1, 0},  {1, 0, -1},  {0, 1, -1},  {-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1},
    {-1, 1, 1},  {1, -1, -1}, {1, -1, 1},  {1, 1, -1},  {1, 1, 1},
};

/// The search over cell-unit query `at` in cube `c`; `prune` false visits all 27 cubes.
inline OracleResult oracle_search(const miVector& at, const int32_t c[3], unsigned long order,
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

inline const miVector kCallerOffset{0.125f, -3.0f, 7.5f};
inline constexpr unsigned long kCallerId = 123456789ul;

inline std::vector<Entry> caller_start(unsigned long order) {
    return std::vector<Entry>(order, Entry{kEmptyDistance, kCallerOffset, kCallerId});
}

inline Outputs run_search(const Query& q, unsigned long order, bool with_offsets, bool with_ids,
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

inline void expect_same(const Outputs& got, const std::vector<Entry>& want, bool with_offsets,
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

/// Asserts that two whole lists, distances, ids and offsets, hold the same bits.
inline void expect_same_lists(const Outputs& got, const Outputs& want, unsigned long order) {
    for (unsigned long i = 0; i < order; ++i) {
        ASSERT_EQ(bits(got.d[i]), bits(want.d[i])) << "distance " << i;
        ASSERT_EQ(got.ids[i], want.ids[i]) << "id " << i;
        ASSERT_EQ(bits(got.o[i].x), bits(want.o[i].x)) << "offset " << i;
        ASSERT_EQ(bits(got.o[i].y), bits(want.o[i].y)) << "offset " << i;
        ASSERT_EQ(bits(got.o[i].z), bits(want.o[i].z)) << "offset " << i;
    }
}

/// Lists of one order for a search to fill, holding the caller's own values beforehand.
inline Outputs caller_lists(unsigned long order) {
    return Outputs{std::vector<float>(order), std::vector<miVector>(order, kCallerOffset),
                   std::vector<unsigned long>(order, kCallerId)};
}

/// A query placed directly in cell units (faces, edges and corners are reachable).
inline Query cell_query(float ax, float ay, float az) {
    Query q;
    q.at = miVector{ax, ay, az};
    q.cube[0] = static_cast<int32_t>(floorf(ax));
    q.cube[1] = static_cast<int32_t>(floorf(ay));
    q.cube[2] = static_cast<int32_t>(floorf(az));
    q.searchable = true;
    return q;
}

inline std::vector<Query> random_queries() {
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

}  // namespace qorn::noise::oracle

#endif
