// Numbers as the command line gives them: every one is read in full, must be finite
// and must lie in the range of the option it sets, so nothing downstream converts a
// value it cannot hold (a double beyond float range, NaN into an integer, a coordinate
// beyond what the intersector handles).
#ifndef QORN_RENDER_NUMBERS_H
#define QORN_RENDER_NUMBERS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "mesh/geometry.h"

namespace qorn::render {

/// A finite double written in full (decimal or hexadecimal, optional sign; no
/// surrounding space). False for anything else, NaN and infinities included.
bool parse_double(const std::string& text, double& value);

/// A finite single-precision value written in full, rounded once to nearest.
/// Subnormal values are accepted; a magnitude beyond the largest float is refused.
bool parse_float(const std::string& text, float& value);

/// A whole number in the signed 32-bit range, in decimal digits with an optional sign
/// ("4.0", "4.9", "1e3" and "nan" are refused).
bool parse_int32(const std::string& text, int32_t& value);

/// `text` as a number from `lo` to `hi` (inclusive; `lo` itself excluded when
/// `lo_open`). Throws std::runtime_error with a one-line message naming `flag`.
double number_in(const std::string& text, const std::string& flag, double lo, double hi, bool lo_open = false);

/// Three numbers "x,y,z", each of magnitude at most `limit`. Throws std::runtime_error
/// naming `flag`.
Vec3 vec3_in(const std::string& text, const std::string& flag, double limit);

/// `count` comma-separated finite single-precision numbers. Throws std::runtime_error
/// naming `flag`.
std::vector<float> floats_in(const std::string& text, const std::string& flag, size_t count);

/// The message number_in() would throw for `text`, or "" when it is accepted: for
/// validators that report instead of throwing.
std::string number_problem(const std::string& text, double lo, double hi, bool lo_open = false);

}  // namespace qorn::render

#endif
