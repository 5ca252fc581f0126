// Cellular (Worley) noise for shader libraries.
//
// Space, in cell units, is cut into unit cubes. Each cube holds 0 to 5 feature points
// whose number, positions and identifiers depend only on the cube's integer
// coordinates. FWorley::noise returns, for a point given in the caller's units, the
// nearest feature points: distances sorted nearest first, optionally the offsets to
// them and their identifiers. One cube measures about 2.51 caller units per side
// (the caller's space is scaled by 0.39815).
//
// All functions are pure: no state, no locks, no allocation; they may be called from
// any number of threads at once as long as each call has its own output arrays.
// Results are identical bit for bit on 32-bit x86 and x86-64.
#ifndef QORN_MRWORLEY_H
#define QORN_MRWORLEY_H

#include "mi_interface.h"

#if defined(QORN_BUILDING_LIBRARY)
#define QORN_API __attribute__((visibility("default")))
#else
#define QORN_API
#endif

/// A caller-supplied distance measure for the pluggable overloads.
///
/// Derive from it and pass an object by const reference. The library never creates,
/// copies or destroys a DistType and calls only distance(), on the calling thread.
/// The order of the two virtual functions is part of the binary interface: the first
/// slot is name(), the second distance().
class DistType {
public:
    /// A short human-readable name for the measure ("manhattan", ...), for tools and
    /// user interfaces. The noise functions never call it.
    virtual const char* name() const { return "custom"; }

    /// The measure of a candidate feature point.
    /// `offset`: feature point minus query point, in cell units (single precision);
    /// it lives only for the duration of the call.
    /// `dist_param`: passed through unchanged from the noise/AddSamples call.
    /// Returns a value on the scale of a squared distance in cell units: the search
    /// compares it with squared Euclidean distances to cube faces and returns its
    /// square root. Returning offset·offset reproduces the Euclidean overload (up to
    /// the single-precision rounding of the offset). A NaN measure never enters a list.
    virtual float distance(const miVector& offset, const miVector& dist_param) const = 0;

protected:
    DistType() = default;
    DistType(const DistType&) = default;
    DistType& operator=(const DistType&) = default;
    ~DistType() = default;
};

namespace FWorley {

/// Merges the feature points of cube (cube_x, cube_y, cube_z) into a caller's list of
/// the `order` nearest points, ranked by squared Euclidean distance in cell units.
///
/// `at`: the query point in cell units. `distances`: `order` measures in ascending
/// order; entry order-1 is the admission threshold (a point enters only with a
/// strictly smaller measure; an equal inner measure is placed after its equals).
/// `offsets` (feature point minus `at`, cell units) and `ids` are optional (null to
/// skip) and move together with `distances`.
/// Cube coordinates are taken as signed 32-bit values (the low 32 bits where `long`
/// is wider); identifiers are below 2^32. `order` 0 reads and writes nothing.
QORN_API void AddSamples(long cube_x, long cube_y, long cube_z, unsigned long order,
                         const miVector& at, float* distances, miVector* offsets,
                         unsigned long* ids);

/// As above, ranked by `metric.distance(offset, dist_param)`, where the offset handed
/// to the metric is the single-precision offset that is also stored in `offsets`.
QORN_API void AddSamples(const DistType& metric, const miVector& dist_param, long cube_x,
                         long cube_y, long cube_z, unsigned long order, const miVector& at,
                         float* distances, miVector* offsets, unsigned long* ids);

/// The `order` feature points nearest to (x, y, z), in the caller's units.
///
/// `distances` (at least `order` entries, no initialisation needed) receives the
/// Euclidean distances in ascending order; `offsets` (optional) the feature point
/// minus the query point; `ids` (optional) the points' identifiers. Only the 27 cubes
/// around the query are searched; entries that found no point read 2511.616 in
/// `distances`, keep the caller's value in `ids`, and have their `offsets` entry
/// multiplied by 2.5116162.
///
/// Range: the scaled coordinates (x·0.39815 etc.) must lie strictly inside the signed
/// 32-bit range (|x| below about 5.39e9); beyond about 4.21e7 cube positions lose
/// precision. A query with a NaN, infinite or out-of-range coordinate searches no
/// cube: every `distances` entry reads 2511.616, `ids` are untouched and `offsets`
/// entries are multiplied by 2.5116162, exactly as for entries that found no point.
/// `order` 0 reads and writes nothing.
QORN_API void noise(float x, float y, float z, unsigned long order, float* distances,
                    miVector* offsets, unsigned long* ids);

/// As above, ranked by `metric.distance` (see DistType); `metric` and `dist_param` are
/// handed unchanged to every cube's AddSamples. Returned distances are
/// sqrt(measure)·2.5116162. Neighbour cubes are skipped by their squared Euclidean
/// distance, so a measure smaller than the squared Euclidean length of its offset may
/// miss points in skipped cubes.
QORN_API void noise(const DistType& metric, const miVector& dist_param, float x, float y,
                    float z, unsigned long order, float* distances, miVector* offsets,
                    unsigned long* ids);

}  // namespace FWorley

#endif
