// End to end: the real qorn.so (and the example qorn_cells.so) loaded by path and
// rendered through Embree, checked pixel by pixel where the geometry is known.
#include "render/renderer.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace qorn::render {
namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
Rgb bytes(float r, float g, float b) { return {to_byte(r), to_byte(g), to_byte(b)}; }

constexpr int kSize = 101;

/// A square [-1, 1]^2 in the z = 0 plane (scaled and moved by `placed`), split into the
/// even triangle (-1,-1) (1,-1) (1,1) and the odd one (-1,-1) (1,1) (-1,1).
Mesh square(const Affine& placed) {
    Mesh m = grid_mesh("square", 1, 1);
    m.object_to_world = placed;
    return m;
}

class Render : public ::testing::Test {
protected:
    Render() : plugin_(QORN_PLUGIN_PATH), shader_(plugin_.shader("qorn_wireframetexture")) {
        shader_.set("wire_color", "1,0,0,1");
        shader_.set("fill_color", "0,0,1,1");
        shader_.set("wire_width", "0.06");
        settings_.width = settings_.height = kSize;
        settings_.samples = 1;  // the pixel's centre
        settings_.background = {0, 1, 0, 1};
        // Object space differs from world space: the mesh is scaled and moved.
        scene_.meshes.push_back(square(translation({0.5, -0.25, 0}) * scaling({2, 2, 2}) * translation({-0.25, 0.125, 0}) *
                                       scaling({0.5, 0.5, 0.5})));
    }

    Image render(RenderStats* out = nullptr) {
        const Renderer renderer(scene_, camera_, shader_, settings_);
        RenderStats stats;
        Image image = renderer.render(stats);
        if (out) *out = stats;
        return image;
    }

    /// The pixel whose centre ray passes nearest to world point p.
    Rgb at(const Image& image, Vec3 p) const {
        const Vec3 q = camera_.world_to_camera().point(p);
        const double half = tan(20.0 * M_PI / 180.0);
        const int x = static_cast<int>(floor((q.x / -q.z / half + 1) / 2 * kSize));
        const int y = static_cast<int>(floor((1 - q.y / -q.z / half) / 2 * kSize));
        const float* px = image.pixel(x, y);
        return {to_byte(px[0]), to_byte(px[1]), to_byte(px[2])};
    }

    Plugin plugin_;
    ShaderInstance shader_;
    RenderSettings settings_;
    Scene scene_;
    Camera camera_{{0, 0, 4}, {0, 0, 0}, {0, 1, 0}, 40, 1.0};
};

const Rgb kWire{255, 0, 0}, kFill{0, 0, 255}, kBackground{0, 255, 0};

TEST_F(Render, WireWhereEdgesProjectFillElsewhereBackgroundAround) {
    for (char space : {'c', 'o'}) {
        settings_.space = space;
        const Image image = render();
        EXPECT_EQ(at(image, {0.5, 0.5, 0}), kWire) << space << ": on the diagonal";
        EXPECT_EQ(at(image, {0.3, -0.98, 0}), kWire) << space << ": near the bottom edge";
        EXPECT_EQ(at(image, {-0.98, 0.4, 0}), kWire) << space << ": near the left edge";
        EXPECT_EQ(at(image, {0.5, -0.5, 0}), kFill) << space << ": inside the even triangle";
        EXPECT_EQ(at(image, {-0.5, 0.5, 0}), kFill) << space << ": inside the odd triangle";
        EXPECT_EQ(at(image, {1.3, 0, 0}), kBackground) << space;
    }
}

TEST_F(Render, SingleEdgeDrawsTheChosenEdgeOfEvenAndOddTriangles) {
    shader_.set("single_edge", "true");
    shader_.set("even_edge", "2");  // even: (1,-1) to (1,1), the right side
    shader_.set("odd_edge", "3");   // odd: (-1,1) to (-1,-1), the left side
    const Image image = render();
    EXPECT_EQ(at(image, {0.98, 0.2, 0}), kWire);
    EXPECT_EQ(at(image, {-0.98, 0.2, 0}), kWire);
    EXPECT_EQ(at(image, {0.5, 0.5, 0}), kFill) << "the diagonal is not drawn";
    EXPECT_EQ(at(image, {0.3, -0.98, 0}), kFill) << "the bottom edge is not drawn";
}

TEST_F(Render, TransparentFillShowsTheBackgroundAndTheMeshesBehind) {
    shader_.set("fill_color", "0.2,0.4,0.6,0.25");
    settings_.background = {1, 1, 1, 1};
    Image image = render();
    EXPECT_EQ(at(image, {0.5, -0.5, 0}), bytes(0.8f, 0.85f, 0.9f)) << "over the background";

    // A larger square behind, turned by 90 degrees so that its diagonal runs along
    // y = -x: seen through the front's fill at (0.8, -0.8) it shows its wire.
    scene_.meshes.push_back(square(translation({0, 0, -2}) * rotation({0, 0, 1}, 90) * scaling({2, 2, 2})));
    RenderStats stats;
    image = render(&stats);
    EXPECT_EQ(at(image, {0.8, -0.8, 0}), bytes(0.25f * 0.2f + 0.75f, 0.25f * 0.4f, 0.25f * 0.6f)) << "over the wire behind";
    EXPECT_EQ(at(image, {0.5, -0.3, 0}), bytes(0.05f + 0.75f * 0.8f, 0.1f + 0.75f * 0.85f, 0.15f + 0.75f * 0.9f))
        << "fill over fill over background";
    EXPECT_GT(stats.transparent, 0u);

    // With no depth left, the trace stops at the background.
    settings_.max_depth = 0;
    image = render();
    EXPECT_EQ(at(image, {0.8, -0.8, 0}), bytes(0.8f, 0.85f, 0.9f));
}

TEST_F(Render, ConnectedFillRunsTheCellShaderOnlyWhereTheFillIsUsed) {
    Plugin cells(QORN_CELLS_PATH);
    auto source = std::make_unique<ShaderInstance>(cells.shader("qorn_cells"));
    source->set("color_a", "1,1,0,1");
    source->set("color_b", "1,1,0,1");
    source->set("border", "-1");  // no borders: every cell yellow
    shader_.connect("fill_color", std::move(source));
    RenderStats stats;
    Image image = render(&stats);
    EXPECT_EQ(at(image, {0.5, -0.5, 0}), (Rgb{255, 255, 0}));
    EXPECT_EQ(at(image, {0.5, 0.5, 0}), kWire);
    EXPECT_GT(stats.connected_calls, 0u);
    EXPECT_LT(stats.connected_calls, stats.shader_calls);

    shader_.set("wire_width", "100");  // every sample on the wire: the fill is never needed
    render(&stats);
    EXPECT_GT(stats.shader_calls, 0u);
    EXPECT_EQ(stats.connected_calls, 0u);
}

TEST_F(Render, AScalarParameterConnectedToAScalarShader) {
    Plugin cells(QORN_CELLS_PATH);
    auto source = std::make_unique<ShaderInstance>(cells.shader("qorn_cell_distance"));
    ShaderInstance* width = source.get();
    shader_.connect("wire_width", std::move(source));
    width->set("gain", "0");
    width->set("offset", "100");
    RenderStats stats;
    Image image = render(&stats);
    EXPECT_EQ(at(image, {0.5, -0.5, 0}), kWire) << "a connected width of 100";
    EXPECT_EQ(stats.connected_calls, stats.shader_calls);
    width->set("offset", "0");
    image = render();
    EXPECT_EQ(at(image, {0.5, -0.5, 0}), kFill) << "a connected width of 0";
    EXPECT_EQ(at(image, {0.5, 0.5, 0}), kFill) << "a connected width of 0";
}

TEST_F(Render, AWorkingSpaceTheShaderRefusesLeavesSamplesUnshaded) {
    settings_.space = 'w';
    RenderStats stats;
    const Image image = render(&stats);
    EXPECT_GT(stats.shader_calls, 0u);
    EXPECT_EQ(stats.unshaded, stats.shader_calls);
    EXPECT_EQ(at(image, {0.5, -0.5, 0}), (Rgb{0, 0, 0}));
}

TEST_F(Render, WithAlphaTheBackgroundIsTransparentAndSurfacesKeepTheirColour) {
    settings_.alpha = true;
    const Image image = render();
    EXPECT_EQ(at(image, {0.5, -0.5, 0}), kFill);
    EXPECT_EQ(at(image, {0.5, 0.5, 0}), kWire);
    EXPECT_EQ(image.pixel(0, 0)[3], 0.0f) << "background";
    EXPECT_EQ(image.pixel(kSize / 2, kSize / 2)[3], 1.0f) << "on the square";
    settings_.alpha = false;
    EXPECT_EQ(render().pixel(0, 0)[3], 1.0f);
}

/// A declaration of the wireframe shader with fewer parameters than its record: the
/// host warns, and the shader reads only zeroed slack the host owns (ASan and
/// memcheck check that) instead of memory past the record.
TEST(ShortDeclaration, IsReportedAndHarmless) {
    char pattern[] = "/tmp/render_test.XXXXXX";
    const std::string dir = mkdtemp(pattern);
    ASSERT_EQ(symlink(QORN_PLUGIN_PATH, (dir + "/qorn.so").c_str()), 0);
    FILE* mi = fopen((dir + "/qorn.mi").c_str(), "w");
    fputs("declare shader color \"qorn_wireframetexture\" (color \"wire_color\") version 4 end declare\n", mi);
    fclose(mi);
    const Plugin plugin(dir + "/qorn.so");
    ASSERT_EQ(plugin.warnings().size(), 1u);
    EXPECT_NE(plugin.warnings()[0].find("1 parameters in 16 bytes"), std::string::npos) << plugin.warnings()[0];
    ShaderInstance shader(plugin.shader(""));
    shader.set("wire_color", "1,0,0,1");
    Scene scene;
    scene.meshes.push_back(square(Affine{}));
    RenderSettings settings;
    settings.width = settings.height = 16;
    settings.samples = 1;
    const Camera camera{{0, 0, 4}, {0, 0, 0}, {0, 1, 0}, 40, 1.0};
    const Renderer renderer(scene, camera, shader, settings);
    RenderStats stats;
    const Image image = renderer.render(stats);
    EXPECT_GT(stats.shader_calls, 0u);
    // The fill colour and width read as zeros: a fill of alpha 0, which shows the
    // background, away from the lines.
    const float* inside = image.pixel(4, 8);
    EXPECT_EQ(inside[0], settings.background.r);
    EXPECT_EQ(inside[2], settings.background.b);
    unlink((dir + "/qorn.so").c_str());
    unlink((dir + "/qorn.mi").c_str());
    rmdir(dir.c_str());
}

/// The default scene with everything on: transparency, a connection, jitter.
class DefaultScene : public ::testing::Test {
protected:
    DefaultScene()
        : plugin_(QORN_PLUGIN_PATH), cells_(QORN_CELLS_PATH), shader_(plugin_.shader("qorn_wireframetexture")) {
        shader_.set("fill_color", "0.3,0.6,0.9,0.5");
        shader_.connect("wire_color", std::make_unique<ShaderInstance>(cells_.shader("")));
        settings_.width = 160;
        settings_.height = 90;
        settings_.samples = 3;
    }
    Image render(int threads, char space) {
        RenderSettings s = settings_;
        s.threads = threads;
        s.space = space;
        const Camera camera = default_camera(160.0 / 90.0);
        const Renderer renderer(scene_, camera, shader_, s);
        RenderStats stats;
        return renderer.render(stats);
    }
    Plugin plugin_, cells_;
    ShaderInstance shader_;
    RenderSettings settings_;
    Scene scene_ = default_scene();
};

TEST_F(DefaultScene, SameBytesForAnyNumberOfThreads) {
    const Image one = render(1, 'c');
    EXPECT_EQ(render(3, 'c').rgba, one.rgba);
    EXPECT_EQ(render(7, 'c').rgba, one.rgba);
}

TEST_F(DefaultScene, CameraAndObjectSpaceAgreeUpToRounding) {
    const Image c = render(2, 'c'), o = render(2, 'o');
    // Vertices reach internal space through different single-precision roundings, so a
    // sample right at the wire's border may fall on either side; nothing else differs.
    size_t differing = 0;
    for (size_t i = 0; i < c.rgba.size(); i += 4)
        if (c.rgba[i] != o.rgba[i] || c.rgba[i + 1] != o.rgba[i + 1] || c.rgba[i + 2] != o.rgba[i + 2]) ++differing;
    EXPECT_LT(differing, c.rgba.size() / 4 / 200) << "more than 0.5% of the pixels differ";
}

}  // namespace
}  // namespace qorn::render
