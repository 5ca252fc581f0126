// The wireframe shader as the renderer drives it: qorn.so opened with dlopen, both
// entry points found by name, and every call answered by the scripted test host,
// which records the services the shader calls and the parameters it evaluates.
#include <gtest/gtest.h>
#include <limits.h>
#include <math.h>

#include <functional>
#include <string>
#include <vector>

#include "float_bits.h"
#include "plugin_symbols.h"
#include "qorn_texture.h"
#include "scripted_renderer.h"
#include "stack_scribble.h"

namespace {

using qorn::host::Affine;
using qorn::host::ScriptedRenderer;
using qorn::host::ShaderFn;
using qorn::test::bits;
using Calls = std::vector<std::string>;

constexpr miColor kWire = {1.0f, 0.0f, 0.0f, 1.0f};
constexpr miColor kFill = {0.0f, 0.0f, 1.0f, 1.0f};

/// Each parameter with its place in the record, to connect all of them.
const struct {
    const char* name;
    size_t offset;
} kParameters[] = {{"wire_color", offsetof(wireframetexture_params, wire_color)},
                   {"fill_color", offsetof(wireframetexture_params, fill_color)},
                   {"wire_width", offsetof(wireframetexture_params, wire_width)},
                   {"single_edge", offsetof(wireframetexture_params, single_edge)},
                   {"even_edge", offsetof(wireframetexture_params, even_edge)},
                   {"odd_edge", offsetof(wireframetexture_params, odd_edge)}};

testing::AssertionResult SameBits(const miColor& actual, const miColor& expected) {
    if (bits(actual.r) == bits(expected.r) && bits(actual.g) == bits(expected.g) &&
        bits(actual.b) == bits(expected.b) && bits(actual.a) == bits(expected.a)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "got (" << actual.r << ", " << actual.g << ", " << actual.b
                                       << ", " << actual.a << "), want (" << expected.r << ", "
                                       << expected.g << ", " << expected.b << ", " << expected.a << ")";
}

class Wireframe : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.loaded()) << plugin_.error();
        shader_ = plugin_.find<ShaderFn>("qorn_wireframetexture");
        version_ = plugin_.find<int (*)()>("qorn_wireframetexture_version");
        ASSERT_TRUE(shader_ && version_) << plugin_.error();
    }

    /// The triangle (0,0,0) (4,0,0) (0,3,0), handed out in camera space with an identity
    /// transform: edge 1 lies on y = 0, edge 2 on 3x + 4y = 12, edge 3 on x = 0. Opaque
    /// colours, wire width 0.5, all edges.
    static void scene(ScriptedRenderer& host, wireframetexture_params& params) {
        host.vertices[0] = {0, 0, 0};
        host.vertices[1] = {4, 0, 0};
        host.vertices[2] = {0, 3, 0};
        host.render_space = 'c';
        host.point = {1, 1, 0};
        host.primitive = 0;
        params = wireframetexture_params{kWire, kFill, 0.5f, miFALSE, 0, 0};
    }

    using Script = std::function<void(ScriptedRenderer&, wireframetexture_params&)>;
    using Connect = std::function<void(ScriptedRenderer&)>;

    /// Shades one sample of scene() changed by `script`; the result starts as garbage,
    /// and so does the stack the shader's locals will occupy. With `connect_all`, every
    /// parameter is connected to a shader that delivers the record's own value, so that
    /// each evaluation shows in the host's calls; `connect` connects parameters of its own.
    miBoolean shade(const Script& script, bool connect_all = false, const Connect& connect = {}) {
        wireframetexture_params params;
        scene(host_, params);
        script(host_, params);
        host_.set_record(&params, sizeof params);
        if (connect) connect(host_);
        if (connect_all) {
            const auto* record = reinterpret_cast<const char*>(&host_.record<wireframetexture_params>());
            for (const auto& p : kParameters) {
                host_.connect_to(p.offset, p.name, [at = record + p.offset] { return static_cast<const void*>(at); });
            }
        }
        host_.calls.clear();
        result_ = {NAN, -1.0f, 1e30f, 7.0f};
        qorn::test::scribble_stack(0xff);  // NaN floats, wild pointers
        return host_.shade(shader_, &result_);
    }

    qorn::test::Plugin plugin_{qorn::test::plugin_path()};
    ShaderFn shader_ = nullptr;
    int (*version_)() = nullptr;
    ScriptedRenderer host_;
    miColor result_{};
};

TEST_F(Wireframe, VersionIsFour) {
    EXPECT_EQ(version_(), 4);
    EXPECT_EQ(version_(), QORN_WIREFRAMETEXTURE_VERSION);
}

struct ShadeCase {
    const char* what;
    std::function<void(ScriptedRenderer&, wireframetexture_params&)> script;
    bool wire;
};

const float kJustBelowHalf = nextafterf(0.5f, 0.0f);

const ShadeCase kShading[] = {
    {"the interior is fill", [](auto&, auto&) {}, false},
    {"d² equal to w² is on the wire",
     [](auto& h, auto&) { h.point = {1, 0.5f, 0}; }, true},
    {"d² just above w² is not",
     [](auto& h, auto& p) { h.point = {1, 0.5f, 0}; p.wire_width = kJustBelowHalf; }, false},
    {"beyond V1 within the width of edge 1's line",
     [](auto& h, auto& p) { h.point = {6, 0.1f, 0}; p.wire_width = 0.2f; }, true},
    {"the width is the full distance, not half of it",
     [](auto& h, auto&) { h.point = {1, 0.4f, 0}; }, true},
    {"width 0: fill just off a line", [](auto& h, auto& p) { h.point = {1, 1e-3f, 0}; p.wire_width = 0; }, false},
    {"width 0: wire at the start vertex of a tested edge",
     [](auto& h, auto& p) { h.point = {0, 0, 0}; p.wire_width = 0; }, true},
    {"a negative width is its absolute value",
     [](auto& h, auto& p) { h.point = {1, 0.5f, 0}; p.wire_width = -0.5f; }, true},
    {"a degenerate edge makes every point wire",
     [](auto& h, auto& p) { h.vertices[1] = {1e-10f, 0, 0}; h.point = {2, 2, 0}; p.wire_width = 0; }, true},
    {"collinear long edges are measured",
     [](auto& h, auto&) { h.vertices[1] = {1, 0, 0}; h.vertices[2] = {2, 0, 0}; h.point = {1, 1, 0}; }, false},
    // (2, 1.5) lies on edge 2 only: 1.5 from edge 1, 2 from edge 3.
    {"single edge, even index: even_edge 2 draws V1 to V2",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; h.primitive = 6; p.single_edge = miTRUE; p.even_edge = 2; p.odd_edge = 1; }, true},
    {"single edge, even index: even_edge 1 leaves edge 2 out",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; h.primitive = 6; p.single_edge = miTRUE; p.even_edge = 1; p.odd_edge = 2; }, false},
    {"single edge, odd index: odd_edge 2 draws V1 to V2",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; h.primitive = 7; p.single_edge = miTRUE; p.even_edge = 1; p.odd_edge = 2; }, true},
    {"single edge, odd index: odd_edge 3 leaves edge 2 out",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; h.primitive = 7; p.single_edge = miTRUE; p.even_edge = 2; p.odd_edge = 3; }, false},
    {"single edge off: the edge numbers are ignored",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.even_edge = 1; p.odd_edge = 1; }, true},
    {"any non-zero single_edge counts as true",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = -5; p.even_edge = 1; }, false},
    {"edge number 0 draws all edges",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = miTRUE; p.even_edge = 0; }, true},
    {"a negative edge number draws all edges",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = miTRUE; p.even_edge = -2; }, true},
    {"edge number 4 names no edge: all are drawn",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = miTRUE; p.even_edge = 4; }, true},
    {"INT_MAX: all edges, no read past the vertices",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = miTRUE; p.even_edge = INT_MAX; }, true},
    {"INT_MIN: all edges, no overflow of the number minus one",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = miTRUE; h.primitive = 1; p.odd_edge = INT_MIN; }, true},
    // Object space: the vertices are handed out 10 below their internal place in y.
    {"object space vertices are converted with the object transform",
     [](auto& h, auto&) { h.render_space = 'o'; h.object_to_internal = Affine::translation(0, 10, 0); h.point = {2, 10.1f, 0}; }, true},
    {"object space: without the conversion the point would be interior",
     [](auto& h, auto&) { h.render_space = 'o'; h.object_to_internal = Affine::translation(0, 10, 0); h.point = {1, 1, 0}; }, false},
    {"camera space vertices are converted with the camera transform",
     [](auto& h, auto&) { h.camera_to_internal = Affine::translation(0, 10, 0); h.point = {2, 10.1f, 0}; }, true},
};

TEST_F(Wireframe, ReturnsWireOrFillColour) {
    for (const auto& c : kShading) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(shade(c.script), miTRUE);
        EXPECT_TRUE(SameBits(result_, c.wire ? kWire : kFill));
    }
}

TEST_F(Wireframe, UsesTheValuesOfConnectedParameters) {
    wireframetexture_params params;
    scene(host_, params);
    host_.point = {1, 0.75f, 0};
    host_.set_record(&params, sizeof params);
    const miColor green = {0, 1, 0, 1};
    host_.connect(offsetof(wireframetexture_params, wire_width), "wider", 1.0f);
    host_.connect(offsetof(wireframetexture_params, wire_color), "green", green);
    ASSERT_EQ(host_.shade(shader_, &result_), miTRUE);
    EXPECT_TRUE(SameBits(result_, green));
    EXPECT_EQ(host_.runs("wider"), 1);
    EXPECT_EQ(host_.runs("green"), 1);
}

TEST_F(Wireframe, FlagWordsOfZeroMeanOwnValues) {
    const miBoolean ok = shade([](auto& h, auto&) {
        h.point = {1, 0.5f, 0};
        h.has_connections = true;  // a non-zero connection offset, every flag word 0
    });
    ASSERT_EQ(ok, miTRUE);
    EXPECT_TRUE(SameBits(result_, kWire));
    EXPECT_EQ(host_.calls, (Calls{"mi_tri_vectors p 0", "mi_point_from_camera", "mi_point_from_camera",
                                  "mi_point_from_camera"}));
}

struct OrderCase {
    const char* what;
    std::function<void(ScriptedRenderer&, wireframetexture_params&)> script;
    miBoolean returns;
    Calls calls;
};

const Calls kCamera = {"mi_tri_vectors p 0", "mi_point_from_camera", "mi_point_from_camera",
                       "mi_point_from_camera"};

Calls then(Calls first, const Calls& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

const OrderCase kOrders[] = {
    {"all edges, fill: only what is needed, fill colour last", [](auto&, auto&) {}, miTRUE,
     then(kCamera, {"mi_phen_eval single_edge", "mi_phen_eval wire_width", "mi_phen_eval fill_color"})},
    {"all edges, wire: the fill colour is never evaluated",
     [](auto& h, auto&) { h.point = {1, 0.25f, 0}; }, miTRUE,
     then(kCamera, {"mi_phen_eval single_edge", "mi_phen_eval wire_width", "mi_phen_eval wire_color"})},
    {"one edge, even index: even_edge only",
     [](auto& h, auto& p) { p.single_edge = miTRUE; p.even_edge = 3; h.primitive = 2; }, miTRUE,
     then(kCamera, {"mi_phen_eval single_edge", "mi_phen_eval even_edge", "mi_phen_eval wire_width",
                    "mi_phen_eval fill_color"})},
    {"one edge, odd index: odd_edge only",
     [](auto& h, auto& p) { p.single_edge = miTRUE; p.odd_edge = 3; h.primitive = 3; h.point = {0.1f, 1, 0}; }, miTRUE,
     then(kCamera, {"mi_phen_eval single_edge", "mi_phen_eval odd_edge", "mi_phen_eval wire_width",
                    "mi_phen_eval wire_color"})},
    {"object space", [](auto& h, auto&) { h.render_space = 'o'; }, miTRUE,
     {"mi_tri_vectors p 0", "mi_point_from_object", "mi_point_from_object", "mi_point_from_object",
      "mi_phen_eval single_edge", "mi_phen_eval wire_width", "mi_phen_eval fill_color"}},
    {"a transparent colour: traced after it is evaluated",
     [](auto&, auto& p) { p.fill_color.a = 0.5f; }, miTRUE,
     then(kCamera, {"mi_phen_eval single_edge", "mi_phen_eval wire_width", "mi_phen_eval fill_color",
                    "mi_trace_transparent"})},
    {"world space: nothing converted, nothing evaluated", [](auto& h, auto&) { h.render_space = 'w'; },
     miFALSE, {"mi_tri_vectors p 0"}},
    {"no vertices: nothing else is asked", [](auto& h, auto&) { h.tri_vectors_fails = true; }, miFALSE,
     {"mi_tri_vectors p 0"}},
};

TEST_F(Wireframe, EvaluatesParametersLazilyInOrder) {
    for (const auto& c : kOrders) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(shade(c.script, /*connect_all=*/true), c.returns);
        EXPECT_EQ(host_.calls, c.calls);
    }
}

TEST_F(Wireframe, FailuresReturnTransparentBlackAskingNothingMore) {
    const Script failures[] = {
        [](auto& h, auto&) { h.tri_vectors_fails = true; },
        [](auto& h, auto&) { h.tri_vectors_fails = true; h.render_space = 'o'; },
        [](auto& h, auto&) { h.render_space = 'w'; },
        [](auto& h, auto&) { h.render_space = '\0'; },
        [](auto& h, auto&) { h.render_space = 'C'; },  // the spaces are lower case
        [](auto& h, auto&) { h.render_space = 'O'; },
        [](auto& h, auto&) { h.render_space = 'p'; },
        [](auto& h, auto&) { h.render_space = '\xff'; },  // negative where char is signed
    };
    for (const auto& script : failures) {
        EXPECT_EQ(shade(script, /*connect_all=*/true), miFALSE);
        EXPECT_TRUE(SameBits(result_, miColor{0, 0, 0, 0}));
        EXPECT_EQ(host_.calls, Calls{"mi_tri_vectors p 0"});
    }
}

struct CompositeCase {
    const char* what;
    miColor fill;
    miColor background;
    bool trace_fails;
    miColor result;
    bool traced;
};

const CompositeCase kComposites[] = {
    {"a quarter opaque over white", {0.2f, 0.4f, 0.6f, 0.25f}, {1, 1, 1, 0.5f}, false, {0.8f, 0.85f, 0.9f, 1.0f}, true},
    {"the background's alpha is not used", {0.2f, 0.4f, 0.6f, 0.25f}, {1, 1, 1, 123}, false, {0.8f, 0.85f, 0.9f, 1.0f}, true},
    {"alpha 0 shows the background", {0.2f, 0.4f, 0.6f, 0}, {0.5f, 0.25f, 0.125f, 1}, false, {0.5f, 0.25f, 0.125f, 1}, true},
    {"a failed trace: the cleared record is used", {0.2f, 0.4f, 0.6f, 0.5f}, {1, 1, 1, 1}, true, {0.1f, 0.2f, 0.3f, 1}, true},
    {"a failed trace under alpha 0: opaque black", {0.2f, 0.4f, 0.6f, 0}, {1, 1, 1, 1}, true, {0, 0, 0, 1}, true},
    {"alpha 1 is returned unchanged", {0.2f, 0.4f, 0.6f, 1}, {1, 1, 1, 1}, false, {0.2f, 0.4f, 0.6f, 1}, false},
    {"alpha above 1 is returned unchanged", {0.2f, 0.4f, 0.6f, 1.5f}, {1, 1, 1, 1}, false, {0.2f, 0.4f, 0.6f, 1.5f}, false},
    {"a NaN alpha is returned unchanged", {0.2f, 0.4f, 0.6f, NAN}, {1, 1, 1, 1}, false, {0.2f, 0.4f, 0.6f, NAN}, false},
};

TEST_F(Wireframe, CompositesTransparentColoursOverTheBackground) {
    for (const auto& c : kComposites) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(shade([&c](auto& h, auto& p) {
                      p.fill_color = c.fill;
                      h.background = c.background;
                      h.trace_fails = c.trace_fails;
                  }),
                  miTRUE);
        EXPECT_TRUE(SameBits(result_, c.result));
        const bool traced = !host_.calls.empty() && host_.calls.back() == "mi_trace_transparent";
        EXPECT_EQ(traced, c.traced);
    }
}

struct ConnectedValueCase {
    const char* what;
    std::function<void(ScriptedRenderer&, wireframetexture_params&)> script;
    std::function<void(ScriptedRenderer&)> connect;
    miColor result;
    bool traced;
};

constexpr size_t kWidthAt = offsetof(wireframetexture_params, wire_width);
constexpr size_t kWireAt = offsetof(wireframetexture_params, wire_color);
constexpr size_t kFillAt = offsetof(wireframetexture_params, fill_color);

// Connected shaders deliver what they like; the shader uses it as the rule says.
const ConnectedValueCase kConnectedValues[] = {
    {"a NaN width hits nothing, not even a vertex", [](auto& h, auto&) { h.point = {0, 0, 0}; },
     [](auto& h) { h.connect(kWidthAt, "width", NAN); }, kFill, false},
    {"an infinite width covers the interior", [](auto&, auto&) {},
     [](auto& h) { h.connect(kWidthAt, "width", INFINITY); }, kWire, false},
    {"so does a negative infinite width", [](auto&, auto&) {},
     [](auto& h) { h.connect(kWidthAt, "width", -INFINITY); }, kWire, false},
    {"and a width whose square overflows", [](auto&, auto&) {},
     [](auto& h) { h.connect(kWidthAt, "width", 1e30f); }, kWire, false},
    {"infinite and NaN components of an opaque colour are returned as delivered",
     [](auto& h, auto&) { h.point = {1, 0.25f, 0}; },
     [](auto& h) { h.connect(kWireAt, "wire", miColor{INFINITY, -INFINITY, NAN, 1}); },
     {INFINITY, -INFINITY, NAN, 1}, false},
    {"an infinite alpha is above 1: returned as delivered", [](auto&, auto&) {},
     [](auto& h) { h.connect(kFillAt, "fill", miColor{0.2f, 0.4f, 0.6f, INFINITY}); },
     {0.2f, 0.4f, 0.6f, INFINITY}, false},
    {"a NaN alpha: returned as delivered", [](auto&, auto&) {},
     [](auto& h) { h.connect(kFillAt, "fill", miColor{0.2f, 0.4f, 0.6f, NAN}); },
     {0.2f, 0.4f, 0.6f, NAN}, false},
    {"a NaN component is composited like any other", [](auto& h, auto&) { h.background = {1, 1, 1, 1}; },
     [](auto& h) { h.connect(kFillAt, "fill", miColor{NAN, 0.5f, 0.5f, 0.5f}); },
     {NAN, 0.75f, 0.75f, 1}, true},
    {"a negative infinite alpha is below 1: composited",
     [](auto& h, auto&) { h.background = {1, -1, 0.5f, 1}; },
     [](auto& h) { h.connect(kFillAt, "fill", miColor{-1, 1, -1, -INFINITY}); },
     {INFINITY, -INFINITY, INFINITY, 1}, true},
    {"a connected edge number out of range draws all edges",
     [](auto& h, auto& p) { h.point = {2, 1.5f, 0}; p.single_edge = miTRUE; p.even_edge = 1; },
     [](auto& h) { h.connect(offsetof(wireframetexture_params, even_edge), "edge", miInteger{7}); },
     kWire, false},
};

TEST_F(Wireframe, UsesWhateverConnectedShadersDeliver) {
    for (const auto& c : kConnectedValues) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(shade(c.script, false, c.connect), miTRUE);
        EXPECT_TRUE(SameBits(result_, c.result));
        const bool traced = !host_.calls.empty() && host_.calls.back() == "mi_trace_transparent";
        EXPECT_EQ(traced, c.traced);
    }
}

}  // namespace
