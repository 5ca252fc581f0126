// Bit-level float helpers for exact assertions.
#ifndef QORN_TESTS_FLOAT_BITS_H
#define QORN_TESTS_FLOAT_BITS_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

namespace qorn::test {

inline uint32_t bits(float f) {
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    return u;
}

inline uint64_t bits(double d) {
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

inline float from_bits(uint32_t u) {
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

/// True when `printed` is `v` written to 7 significant digits (trailing zeros dropped),
/// the form in which figures are documented.
inline testing::AssertionResult Printed(float v, const char* printed) {
    char text[32];
    snprintf(text, sizeof text, "%.7g", static_cast<double>(v));
    if (strtod(text, nullptr) == strtod(printed, nullptr)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "value " << text << " (bits 0x" << std::hex << bits(v)
                                       << ") is not " << printed;
}

}  // namespace qorn::test

#endif
