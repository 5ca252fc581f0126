// Pictures of qorn.so's cellular noise: planar slices of F1, F2, F2 - F1 and the
// nearest point's identifier, for each distance measure, computed by calling
// FWorley::noise through the plug-in's exported symbols.
#ifndef QORN_RENDER_NOISE_SLICES_H
#define QORN_RENDER_NOISE_SLICES_H

#include <string>
#include <vector>

#include "output/image.h"

namespace qorn::render {

class Plugin;

/// Limits that keep every query coordinate a finite float (|x| <= 1024 * scale).
constexpr double kMaxSliceScale = 1e30;
constexpr double kMaxSliceZ = 1e30;

struct SliceSettings {
    int size = 256;      ///< pixels per side, 1 to 2048
    double scale = 0.05; ///< noise units per pixel, above 0 and at most kMaxSliceScale
    double z = 0.0;      ///< the slice's plane, in noise units, |z| at most kMaxSliceZ
};

struct Slice {
    std::string name;  ///< "euclidean-f1", "chebyshev-ids", ...
    Image image;
};

/// Every slice, metric by metric: Euclidean (the plain overload), Manhattan and
/// Chebyshev (the pluggable one); per metric F1, F2, F2 - F1 and ids. Distances are
/// shown as grey levels scaled by the slice's own maximum; identifiers as colours.
/// The slices are data, not colours: write them with ImageOptions::data, so that a
/// PNG byte is 255 times the value over the maximum (no sRGB encoding).
/// Throws std::runtime_error when `plugin` lacks the noise functions.
std::vector<Slice> noise_slices(const Plugin& plugin, const SliceSettings& settings);

/// All slices side by side, one metric per row, with a 2-pixel gap.
Image contact_sheet(const std::vector<Slice>& slices, int per_row);

}  // namespace qorn::render

#endif
