// Reads a fuzzer's bytes front to back as fixed-size values; past the end every read
// gives zero bytes. A fixed layout keeps the seed files easy to write by hand.
#ifndef QORN_FUZZ_FUZZ_INPUT_H
#define QORN_FUZZ_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace qorn::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    template <class T>
    T read() {
        T value;
        unsigned char bytes[sizeof(T)] = {};
        for (size_t i = 0; i < sizeof(T) && pos_ < size_; ++i) bytes[i] = data_[pos_++];
        memcpy(&value, bytes, sizeof(T));
        return value;
    }
    /// Any 32-bit pattern, NaNs and infinities included.
    float any_float() { return read<float>(); }
    bool flag() { return read<uint8_t>() & 1; }
    uint32_t below(uint32_t bound) { return bound ? read<uint32_t>() % bound : 0; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

/// Fails the run loudly: libFuzzer records the input as a finding.
[[noreturn]] inline void finding(const char* what) {
    fprintf(stderr, "finding: %s\n", what);
    abort();
}

}  // namespace qorn::fuzz

#endif
