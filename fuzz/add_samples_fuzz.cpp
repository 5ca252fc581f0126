// FWorley::AddSamples, both overloads, on arbitrary input: cube coordinates over the
// whole range of `long`, any query, and caller lists holding garbage (unsorted values,
// ties, NaNs). Nothing may be written outside the lists, and only the low 32 bits of a
// cube coordinate may matter.
//
// Input layout: cube x, y, z (int64); order (uint8, modulo 65); at (3 floats); flags
// (bit 0 offsets, bit 1 ids, bit 2 the pluggable overload); dist_param (3 floats); the
// caller's list (per entry: distance, offset x, y, z, id); then the measures.
#include <string.h>

#include "fuzz_input.h"
#include "guarded_list.h"
#include "mrWorley.h"

using namespace qorn;
using fuzz::finding;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const long cx = static_cast<long>(in.read<int64_t>());
    const long cy = static_cast<long>(in.read<int64_t>());
    const long cz = static_cast<long>(in.read<int64_t>());
    const unsigned long order = in.read<uint8_t>() % 65;
    const miVector at{in.any_float(), in.any_float(), in.any_float()};
    const uint8_t flags = in.read<uint8_t>();
    const miVector param{in.any_float(), in.any_float(), in.any_float()};
    fuzz::GuardedList list(order);
    list.fill(in);
    miVector* offsets = (flags & 1) ? list.offsets() : nullptr;
    unsigned long* ids = (flags & 2) ? list.ids() : nullptr;

    if (flags & 4) {
        const fuzz::InputMetric metric(in);
        FWorley::AddSamples(metric, param, cx, cy, cz, order, at, list.distances(), offsets, ids);
        if (metric.calls > 5) finding("more points measured than a cube holds");
        list.check_guards();
        return 0;
    }

    // The same cube named by coordinates that differ above bit 31 (where long is wider).
    fuzz::GuardedList again(order);
    fuzz::FuzzInput replay(data, size);
    for (int skip = 0; skip < 3 * 8 + 1 + 12 + 1 + 12; ++skip) replay.read<uint8_t>();
    again.fill(replay);
    const unsigned long high = sizeof(long) > 4 ? 0x1234567800000000ul : 0ul;
    FWorley::AddSamples(cx, cy, cz, order, at, list.distances(), offsets, ids);
    FWorley::AddSamples(static_cast<long>(static_cast<unsigned long>(cx) ^ high), cy,
                        static_cast<long>(static_cast<unsigned long>(cz) + high), order, at,
                        again.distances(), offsets ? again.offsets() : nullptr,
                        ids ? again.ids() : nullptr);
    list.check_guards();
    if (memcmp(list.distances(), again.distances(), order * sizeof(float)) != 0)
        finding("bits above 31 of a cube coordinate changed the result");
    return 0;
}
