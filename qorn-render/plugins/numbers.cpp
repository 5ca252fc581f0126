#include "plugins/numbers.h"

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <stdexcept>

namespace qorn::render {

namespace {

/// strtod and strtof skip leading space and read "inf"/"nan"; a number here starts
/// with a sign, a digit or a point.
bool starts_like_a_number(const std::string& text) {
    if (text.empty()) return false;
    const unsigned char c = static_cast<unsigned char>(text[0]);
    return isdigit(c) || c == '-' || c == '+' || c == '.';
}

std::string shown(double v) {
    char text[32];
    snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

namespace {

/// A whole text as one finite number, read by `read` (strtod or strtof, which round
/// once from the text, giving infinity rather than an undefined conversion beyond the
/// type's range; an underflow is still the nearest value).
template <class Real>
bool parse_real(const std::string& text, Real (*read)(const char*, char**), Real& value) {
    if (!starts_like_a_number(text) || text.find('\0') != std::string::npos) return false;
    char* end = nullptr;
    const Real v = read(text.c_str(), &end);
    if (*end != '\0' || end == text.c_str() || !isfinite(v)) return false;
    value = v;
    return true;
}

}  // namespace

bool parse_double(const std::string& text, double& value) { return parse_real(text, strtod, value); }

// strtof itself, not strtod then a cast, which would round twice.
bool parse_float(const std::string& text, float& value) { return parse_real(text, strtof, value); }

bool parse_int32(const std::string& text, int32_t& value) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i == text.size() || text.size() > 24) return false;
    for (size_t j = i; j < text.size(); ++j)
        if (!isdigit(static_cast<unsigned char>(text[j]))) return false;
    errno = 0;
    const long long v = strtoll(text.c_str(), nullptr, 10);
    if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::vector<float> floats_in(const std::string& text, const std::string& flag, size_t count) {
    std::vector<float> values;
    size_t start = 0;
    for (bool more = true; more;) {
        const size_t comma = text.find(',', start);
        more = comma != std::string::npos;
        float v;
        if (!parse_float(text.substr(start, more ? comma - start : std::string::npos), v) || values.size() == count) {
            values.clear();
            break;
        }
        values.push_back(v);
        start = comma + 1;
    }
    if (values.size() != count)
        throw std::runtime_error(flag + " wants " + std::to_string(count) +
                                 " finite single-precision numbers separated by commas, not '" + text + "'");
    return values;
}

std::string number_problem(const std::string& text, double lo, double hi, bool lo_open) {
    double v;
    const std::string range = (lo_open ? "above " + shown(lo) + " and at most " : "from " + shown(lo) + " to ") + shown(hi);
    if (!parse_double(text, v) || v > hi || v < lo || (lo_open && v == lo))
        return "wants a number " + range + ", not '" + text + "'";
    return "";
}

double number_in(const std::string& text, const std::string& flag, double lo, double hi, bool lo_open) {
    const std::string problem = number_problem(text, lo, hi, lo_open);
    if (!problem.empty()) throw std::runtime_error(flag + " " + problem);
    double v = 0;
    parse_double(text, v);
    return v;
}

Vec3 vec3_in(const std::string& text, const std::string& flag, double limit) {
    double c[3];
    size_t start = 0;
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) {
        const size_t comma = text.find(',', start);
        const bool last = i == 2;
        if (last != (comma == std::string::npos)) ok = false;
        const std::string part = text.substr(start, last ? std::string::npos : comma - start);
        ok = ok && parse_double(part, c[i]) && fabs(c[i]) <= limit;
        start = comma + 1;
    }
    if (!ok)
        throw std::runtime_error(flag + " wants three numbers x,y,z of magnitude at most " + shown(limit) + ", not '" +
                                 text + "'");
    return {c[0], c[1], c[2]};
}

}  // namespace qorn::render
