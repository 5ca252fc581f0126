// FWorley::noise, both overloads, on arbitrary input: any float bits for the query
// (NaN, infinities, denormals, huge values), order 0 to 300, optional lists present or
// not, and a measure that returns whatever the input says. Both overloads must equal
// their plain transcriptions bit for bit (the pluggable one with the same calls of the
// measure), and no call may write outside its lists.
//
// Input layout: x, y, z (float bits); order (uint16, modulo 301); flags (bit 0 offsets,
// bit 1 ids, bit 2 the pluggable overload); dist_param (3 floats); then the measures.
#include <math.h>
#include <string.h>

#include "fuzz_input.h"
#include "guarded_list.h"
#include "mrWorley.h"
#include "plain_search.h"

using namespace qorn;
using fuzz::finding;

namespace {

void expect_same_bytes(const void* a, const void* b, size_t bytes, const char* what) {
    if (memcmp(a, b, bytes) != 0) finding(what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const float x = in.any_float(), y = in.any_float(), z = in.any_float();
    const unsigned long order = in.read<uint16_t>() % 301;
    const uint8_t flags = in.read<uint8_t>();
    const miVector param{in.any_float(), in.any_float(), in.any_float()};
    fuzz::GuardedList list(order);
    miVector* offsets = (flags & 1) ? list.offsets() : nullptr;
    unsigned long* ids = (flags & 2) ? list.ids() : nullptr;

    fuzz::GuardedList ref(order);
    miVector* ref_offsets = (flags & 1) ? ref.offsets() : nullptr;
    unsigned long* ref_ids = (flags & 2) ? ref.ids() : nullptr;
    if (flags & 4) {
        fuzz::FuzzInput replay = in;  // the same measures again for the transcription
        const fuzz::InputMetric metric(in), ref_metric(replay);
        FWorley::noise(metric, param, x, y, z, order, list.distances(), offsets, ids);
        if (metric.calls > 27 * 5) finding("more points measured than 27 cubes hold");
        list.check_guards();
        noise::noise_metric_reference(ref_metric, param, x, y, z, order, ref.distances(),
                                   ref_offsets, ref_ids);
        if (metric.calls != ref_metric.calls)
            finding("the measure is called other than in the plain transcription");
    } else {
        FWorley::noise(x, y, z, order, list.distances(), offsets, ids);
        list.check_guards();
        noise::noise_reference(x, y, z, order, ref.distances(), ref_offsets, ref_ids);
    }
    expect_same_bytes(list.distances(), ref.distances(), order * sizeof(float),
                      "distances differ from the plain transcription");
    if (offsets)
        expect_same_bytes(list.offsets(), ref.offsets(), order * sizeof(miVector),
                          "offsets differ from the plain transcription");
    if (ids)
        expect_same_bytes(list.ids(), ref.ids(), order * sizeof(unsigned long),
                          "ids differ from the plain transcription");
    if (flags & 4) return 0;  // a caller's measures need not be sorted numbers
    for (unsigned long i = 0; i < order; ++i) {
        const float d = list.distances()[i];
        if (!(d >= 0.0f) || (i > 0 && d < list.distances()[i - 1]))
            finding("Euclidean distances are not sorted non-negative numbers");
    }
    return 0;
}
