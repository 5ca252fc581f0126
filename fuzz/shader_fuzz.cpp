// The whole qorn_wireframetexture call through the scripted test host on arbitrary
// input: any vertices, point, primitive index, working space and parameter record (edge
// numbers far out of range included), failing services, and parameters connected to
// shaders that deliver anything (NaN or infinite colours and widths). Each call must
//  - return false with (0, 0, 0, 0) when the vertices cannot be had or the space is
//    neither camera nor object space, having asked for nothing else;
//  - otherwise return true with the wire or fill colour that the rule (wire_rule.h)
//    picks, composited over the background (or over black when the trace fails and
//    leaves its colour unset) when its alpha is below 1;
//  - evaluate exactly the parameters it needs, in their order, and write nothing but
//    the result, which lies in an allocation of exactly one colour;
//  - give the same bits after the stack was filled with two different patterns, so it
//    reads no local it did not set.
//
// Input layout:
//   V0, V1, V2 (as handed out, 3 floats each); P (internal space, 3 floats);
//   primitive index (int32); working space (one character);
//   services (uint8): bit 0 mi_tri_vectors fails, bit 1 the trace fails and writes
//     nothing, bit 2 flag words with nothing connected, bit 3 a camera transform and
//     bit 4 an object transform follow at the end (else identities);
//   the parameter record (48 bytes, the renderer's layout);
//   connections (uint8): bit i connects the i-th parameter of the record; then, for
//     each connected one in record order, the value its shader delivers (its type);
//   background (4 floats); the result's contents before the call (4 floats);
//   the transforms (12 floats each, row by row), as the services byte says.
#include <math.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "qorn_texture.h"
#include "scripted_renderer.h"
#include "stack_scribble.h"
#include "wire_rule.h"

using namespace qorn;
using fuzz::finding;

namespace {

const struct {
    const char* name;
    size_t offset;
    size_t size;
} kParameters[] = {
    {"wire_color", offsetof(wireframetexture_params, wire_color), sizeof(miColor)},
    {"fill_color", offsetof(wireframetexture_params, fill_color), sizeof(miColor)},
    {"wire_width", offsetof(wireframetexture_params, wire_width), sizeof(miScalar)},
    {"single_edge", offsetof(wireframetexture_params, single_edge), sizeof(miBoolean)},
    {"even_edge", offsetof(wireframetexture_params, even_edge), sizeof(miInteger)},
    {"odd_edge", offsetof(wireframetexture_params, odd_edge), sizeof(miInteger)},
};
enum { kWireColor, kFillColor, kWireWidth, kSingleEdge, kEvenEdge, kOddEdge };
constexpr int kParameterCount = 6;

host::Affine read_affine(fuzz::FuzzInput& in) {
    host::Affine m;
    for (auto& row : m.m)
        for (float& x : row) x = in.any_float();
    return m;
}

bool same_float(float a, float b) {
    return (isnan(a) && isnan(b)) || memcmp(&a, &b, sizeof a) == 0;
}

bool same_colour(const miColor& a, const miColor& b) {
    return same_float(a.r, b.r) && same_float(a.g, b.g) && same_float(a.b, b.b) &&
           same_float(a.a, b.a);
}

/// What the call must do: its return, its result and the services it asks for.
struct Expected {
    miBoolean returns = miFALSE;
    miColor result = {0.0f, 0.0f, 0.0f, 0.0f};
    std::vector<std::string> calls;
};

/// The documented behaviour for the scripted sample, from the parameter values in
/// `record` and, for connected ones, in `delivered`.
Expected expect(const host::ScriptedRenderer& host, const wireframetexture_params& record,
                const wireframetexture_params& delivered, unsigned connected) {
    Expected e;
    e.calls.push_back("mi_tri_vectors p 0");
    if (host.tri_vectors_fails) return e;
    if (host.render_space != 'c' && host.render_space != 'o') return e;
    const bool camera = host.render_space == 'c';
    miVector v[3];
    for (int i = 0; i < 3; ++i) {
        v[i] = (camera ? host.camera_to_internal : host.object_to_internal).apply(host.vertices[i]);
        e.calls.push_back(camera ? "mi_point_from_camera" : "mi_point_from_object");
    }
    // The value of parameter `i` as the rule evaluates it, noting connected evaluations.
    wireframetexture_params value = record;
    auto evaluate = [&](int i) {
        if (!(connected & (1u << i))) return;
        e.calls.push_back(std::string("mi_phen_eval ") + kParameters[i].name);
        memcpy(reinterpret_cast<char*>(&value) + kParameters[i].offset,
               reinterpret_cast<const char*>(&delivered) + kParameters[i].offset, kParameters[i].size);
    };
    evaluate(kSingleEdge);
    const bool single = value.single_edge != 0;
    const bool odd = (host.primitive & 1) != 0;
    miInteger number = 0;
    if (single) {
        evaluate(odd ? kOddEdge : kEvenEdge);
        number = odd ? value.odd_edge : value.even_edge;
    }
    evaluate(kWireWidth);
    const float w2 = value.wire_width * value.wire_width;
    const bool hit = fuzz::rule_wire_hit(v, host.point, single, number, w2);
    evaluate(hit ? kWireColor : kFillColor);
    miColor c = hit ? value.wire_color : value.fill_color;
    if (c.a < 1.0f) {
        e.calls.push_back("mi_trace_transparent");
        const miColor behind = host.trace_fails ? miColor{0, 0, 0, 0} : host.background;
        const float a = c.a;
        c = miColor{a * c.r + (1.0f - a) * behind.r, a * c.g + (1.0f - a) * behind.g,
                    a * c.b + (1.0f - a) * behind.b, 1.0f};
    }
    e.returns = miTRUE;
    e.result = c;
    return e;
}

/// The shader as a host calls any shader.
miBoolean shade_wireframe(void* result, miState* state, void* params) {
    return qorn_wireframetexture(static_cast<miColor*>(result), state,
                                 static_cast<wireframetexture_params*>(params));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    host::ScriptedRenderer host;
    for (miVector& v : host.vertices) v = miVector{in.any_float(), in.any_float(), in.any_float()};
    host.point = miVector{in.any_float(), in.any_float(), in.any_float()};
    host.primitive = in.read<int32_t>();
    host.render_space = in.read<char>();
    const uint8_t services = in.read<uint8_t>();
    host.tri_vectors_fails = services & 1;
    host.trace_fails = services & 2;
    const auto record = in.read<wireframetexture_params>();
    const unsigned connected = in.read<uint8_t>() & 0x3f;
    wireframetexture_params delivered;
    memset(&delivered, 0, sizeof delivered);
    for (int i = 0; i < kParameterCount; ++i) {
        if (!(connected & (1u << i))) continue;
        for (size_t b = 0; b < kParameters[i].size; ++b)
            reinterpret_cast<unsigned char*>(&delivered)[kParameters[i].offset + b] = in.read<uint8_t>();
    }
    host.background = in.read<miColor>();
    const miColor before = in.read<miColor>();
    if (services & 8) host.camera_to_internal = read_affine(in);
    if (services & 16) host.object_to_internal = read_affine(in);

    host.set_record(&record, sizeof record);
    host.has_connections = (services & 4) != 0;
    for (int i = 0; i < kParameterCount; ++i) {
        if (!(connected & (1u << i))) continue;
        const char* at = reinterpret_cast<const char*>(&delivered) + kParameters[i].offset;
        host.connect_to(kParameters[i].offset, kParameters[i].name,
                        [at] { return static_cast<const void*>(at); });
    }
    const Expected want = expect(host, record, delivered, connected);

    miColor first{};
    const unsigned char patterns[] = {0x7f, 0xa5};
    for (unsigned char pattern : patterns) {
        const std::unique_ptr<miColor> result(new miColor(before));
        host.calls.clear();
        test::scribble_stack(pattern);
        const miBoolean returned = host.shade(shade_wireframe, result.get());

        if (returned != want.returns) finding("the shader returns the wrong boolean");
        if (host.calls != want.calls) finding("the shader asks for other services than it needs");
        if (!returned && memcmp(result.get(), &want.result, sizeof(miColor)) != 0)
            finding("a failing call leaves a result other than (0, 0, 0, 0)");
        if (returned && !same_colour(*result, want.result))
            finding("the result is not the rule's colour");
        if (memcmp(&host.record<wireframetexture_params>(), &record, sizeof record) != 0)
            finding("the shader wrote into its parameter record");
        if (pattern == patterns[0])
            first = *result;
        else if (memcmp(&first, result.get(), sizeof first) != 0)
            finding("the result depends on what was on the stack before the call");
    }
    return 0;
}
