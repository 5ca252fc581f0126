// The wireframe's edge geometry on arbitrary input: any float bits for the vertices,
// the point and the width (NaN, infinities, denormals, huge values), either parity,
// single_edge on or off, and any edge numbers. Every answer must equal the rule written
// out plainly in double (wire_rule.h), and no call may read past the three vertices,
// which lie in an allocation of exactly three.
//
// Input layout: V0, V1, V2, P (3 floats each); wire_width (float); flags (bit 0
// single_edge, bit 1 an odd primitive index); even_edge, odd_edge, and an edge index
// handed to wire_hit as it is (int32 each).
#include <memory>

#include "fuzz_input.h"
#include "wire_geometry.h"
#include "wire_rule.h"

using namespace qorn;
using fuzz::finding;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::unique_ptr<miVector[]> heap(new miVector[3]);
    for (int i = 0; i < 3; ++i) heap[i] = miVector{in.any_float(), in.any_float(), in.any_float()};
    const miVector(&v)[3] = *reinterpret_cast<const miVector(*)[3]>(heap.get());
    const miVector p{in.any_float(), in.any_float(), in.any_float()};
    const float width = in.any_float();
    const uint8_t flags = in.read<uint8_t>();
    const bool single_edge = flags & 1, odd = flags & 2;
    const miInteger even_edge = in.read<int32_t>(), odd_edge = in.read<int32_t>();
    const int raw_edge = in.read<int32_t>();
    const float w2 = width * width;

    // The number as the shader chooses it: by the parity of the primitive index.
    const miInteger number = odd ? odd_edge : even_edge;
    const int index = shader::edge_index(number);
    if (number >= 1 && number <= 3 ? index != number - 1 : index != shader::kAllEdges)
        finding("edge_index names the wrong edge");

    const int edge = single_edge ? index : shader::kAllEdges;
    if (shader::wire_hit(v, p, edge, w2) != fuzz::rule_wire_hit(v, p, single_edge, number, w2))
        finding("wire_hit differs from the rule for the chosen edges");

    for (int i = 0; i < 3; ++i) {
        if (shader::edge_hit(v[i], v[(i + 1) % 3], p, w2) != fuzz::rule_edge_hit(v, i + 1, p, w2))
            finding("edge_hit differs from the rule");
    }

    // wire_hit's own contract: 0, 1, 2 test one edge; any other value tests all three.
    const bool want = raw_edge >= 0 && raw_edge <= 2
                          ? fuzz::rule_edge_hit(v, raw_edge + 1, p, w2)
                          : fuzz::rule_wire_hit(v, p, false, 0, w2);
    if (shader::wire_hit(v, p, raw_edge, w2) != want)
        finding("wire_hit differs from the rule for an edge index");
    return 0;
}
