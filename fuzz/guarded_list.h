// Output arrays with guard entries before and after, which a call must leave exactly as
// they were.
#ifndef QORN_FUZZ_GUARDED_LIST_H
#define QORN_FUZZ_GUARDED_LIST_H

#include <stdio.h>
#include <string.h>

#include <vector>

#include "fuzz_input.h"
#include "mrWorley.h"

namespace qorn::fuzz {

class GuardedList {
public:
    static constexpr size_t kGuard = 4;
    static constexpr unsigned char kPattern = 0xa5;

    explicit GuardedList(unsigned long order)
        : order_(order),
          d_((order + 2 * kGuard) * sizeof(float), kPattern),
          o_((order + 2 * kGuard) * sizeof(miVector), kPattern),
          ids_((order + 2 * kGuard) * sizeof(unsigned long), kPattern) {}

    float* distances() { return reinterpret_cast<float*>(d_.data()) + kGuard; }
    miVector* offsets() { return reinterpret_cast<miVector*>(o_.data()) + kGuard; }
    unsigned long* ids() { return reinterpret_cast<unsigned long*>(ids_.data()) + kGuard; }

    /// Fills the list from the input: any bit patterns (garbage, NaN, unsorted).
    void fill(FuzzInput& in) {
        for (unsigned long i = 0; i < order_; ++i) {
            distances()[i] = in.any_float();
            offsets()[i] = miVector{in.any_float(), in.any_float(), in.any_float()};
            ids()[i] = in.read<uint32_t>();
        }
    }

    void check_guards() const {
        check(d_, sizeof(float));
        check(o_, sizeof(miVector));
        check(ids_, sizeof(unsigned long));
    }

private:
    void check(const std::vector<unsigned char>& bytes, size_t item) const {
        const size_t guard = kGuard * item;
        for (size_t i = 0; i < guard; ++i)
            if (bytes[i] != kPattern || bytes[bytes.size() - 1 - i] != kPattern)
                finding("a guard entry around an output array was written");
    }

    unsigned long order_;
    std::vector<unsigned char> d_, o_, ids_;
};

/// A measure that returns whatever the input says: NaN, negative, infinite, ties.
struct InputMetric final : DistType {
    explicit InputMetric(FuzzInput& in) : in_(in) {}
    float distance(const miVector&, const miVector&) const override {
        ++calls;
        return in_.any_float();
    }
    mutable unsigned long calls = 0;

private:
    FuzzInput& in_;
};

}  // namespace qorn::fuzz

#endif
