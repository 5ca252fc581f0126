// End to end through the view options: framing, orbit about each up axis, the
// orthographic camera, pixel-wide wires at any scale, shape shading and turntables,
// rendered with the real qorn.so and compared in memory.
#include "view/view_options.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>

namespace qorn::render {
namespace {

/// A small asymmetric model, as a loaded file gives it: a flattened box and a ball
/// beside it, vertices in world units (identity transforms), times `scale`.
Scene model(double scale, const std::function<Vec3(Vec3)>& turn = [](Vec3 p) { return p; }) {
    Scene scene;
    Mesh box = box_mesh("box", 3), ball = sphere_mesh("ball", 8, 12);
    for (miVector& v : box.vertices) v = to_mi(turn(Vec3{v.x * 1.2, v.y * 0.6, v.z * 0.8} * scale));
    for (miVector& v : ball.vertices) v = to_mi(turn((Vec3{v.x, v.y, v.z} * 0.5 + Vec3{1.6, 0.9, 0.3}) * scale));
    scene.meshes = {box, ball};
    return scene;
}

/// A rendered picture as linear bytes, three a pixel: what these checks count in.
struct Bytes {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};
Bytes bytes(const Image& image) {
    Bytes b{image.width, image.height, {}};
    b.rgb.reserve(static_cast<size_t>(image.width) * image.height * 3);
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        for (int c = 0; c < 3; ++c) b.rgb.push_back(to_byte(image.rgba[i + c]));
    return b;
}

/// Green background, red wires, blue fill: each channel is one kind of coverage.
class View : public ::testing::Test {
protected:
    View() : plugin_(QORN_PLUGIN_PATH), cells_(QORN_CELLS_PATH) {}

    /// The shader as the command sets it up: colours, then the view's host shaders.
    std::unique_ptr<ShaderInstance> shader(const ViewOptions& view, const std::vector<std::string>& sets = {}) {
        auto s = std::make_unique<ShaderInstance>(plugin_.shader("qorn_wireframetexture"));
        s->set("wire_color", "1,0,0,1");
        s->set("fill_color", "0,0,1,1");
        s->set("wire_width", "0.02");
        for (const std::string& set : sets) s->set(set.substr(0, set.find('=')), set.substr(set.find('=') + 1));
        connect_view_shaders(view, *s, sets);
        return s;
    }

    Bytes render(const Scene& scene, const ShaderInstance& s, const Camera& camera, int w, int h, char space = 'c') {
        RenderSettings settings;
        settings.width = w;
        settings.height = h;
        settings.space = space;
        settings.threads = 2;
        settings.background = {0, 1, 0, 1};
        RenderStats stats;
        return bytes(Renderer(scene, camera, s, settings).render(stats));
    }

    Bytes render(const Scene& scene, const ViewOptions& view, int w = 96, int h = 64, char space = 'c') {
        const std::vector<Frame> frames = view_frames(view, scene, false, 40, double(w) / h, nullptr, nullptr, "x.png");
        return render(scene, *shader(view), frames[0].camera, w, h, space);
    }

    Plugin plugin_, cells_;
};

/// The sum of one channel over the image, in pixels of full coverage.
double coverage(const Bytes& image, int channel) {
    double sum = 0;
    for (size_t i = channel; i < image.rgb.size(); i += 3) sum += image.rgb[i] / 255.0;
    return sum;
}

/// Pixels whose colour differs by more than `tolerance` in any channel.
size_t differing(const Bytes& a, const Bytes& b, int tolerance = 24) {
    size_t n = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (abs(a.rgb[i + c] - b.rgb[i + c]) > tolerance) {
                ++n;
                break;
            }
    return n;
}

/// The box around every pixel that is not pure background.
struct Box {
    int x0, y0, x1, y1;  ///< inclusive
};
Box model_box(const Bytes& image) {
    Box box{image.width, image.height, -1, -1};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.pixel(x, y);
            if (p[0] == 0 && p[1] == 255 && p[2] == 0) continue;
            box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
        }
    return box;
}

TEST_F(View, ATinyAndAHugeCopyGiveTheSamePictureWithPixelWires) {
    const ViewOptions view;
    for (char space : {'c', 'o'}) {
        const Bytes unit = render(model(1), view, 96, 64, space);
        const double wire = coverage(unit, 0);
        EXPECT_GT(wire, 0.08 * 96 * 64) << "wires that show";
        EXPECT_GT(coverage(unit, 2), 0.15 * 96 * 64) << "fill that shows between them";
        for (double scale : {1e-3, 1e3}) {
            const Bytes copy = render(model(scale), view, 96, 64, space);
            EXPECT_NEAR(coverage(copy, 0), wire, 0.01 * wire) << "scale " << scale << ", space " << space;
            EXPECT_LT(differing(copy, unit), unit.rgb.size() / 3 / 100) << "scale " << scale << ", space " << space;
        }
    }
}

TEST_F(View, WiresAreAsManyPixelsWideAsAsked) {
    // Two triangles face-on, sharing the edge x = 0 down the image's middle; their other
    // edges cross row 40 far to the sides.
    for (double px : {2.0, 6.0})
        for (double distance : {0.003, 3.0, 3000.0}) {
            Scene scene;
            Mesh m;
            for (Vec3 v : {Vec3{0, -1, 0}, Vec3{0, 1, 0}, Vec3{-1, 0, 0}, Vec3{1, 0, 0}})
                m.vertices.push_back(to_mi(v * (distance / 3)));
            m.indices = {0, 1, 2, 0, 3, 1};
            scene.meshes.push_back(m);
            ViewOptions view;
            view.wire_px = px;
            view.wire_cap = 0;  // the width asked for, however large the triangles are on screen
            const Camera camera({0, 0, distance}, {0, 0, 0}, {0, 1, 0}, 40, 1.0);
            const Bytes image = render(scene, *shader(view), camera, 64, 64);
            double across = 0;  // the wire's coverage left of the middle, along row 40
            for (int x = 20; x < 32; ++x) across += image.pixel(x, 40)[0] / 255.0;
            EXPECT_NEAR(across, px / 2, 0.3) << px << " px at distance " << distance;
        }
}

TEST_F(View, ASetOrConnectedWidthTakesOver) {
    ViewOptions view;
    EXPECT_NE(shader(view)->connected("wire_width"), nullptr);
    EXPECT_EQ(shader(view, {"wire_width=0.5"})->connected("wire_width"), nullptr);
    auto s = std::make_unique<ShaderInstance>(plugin_.shader("qorn_wireframetexture"));
    s->connect("wire_width", std::make_unique<ShaderInstance>(cells_.shader("qorn_cell_distance")));
    connect_view_shaders(view, *s, {});
    EXPECT_EQ(s->connected("wire_width")->decl().name, "qorn_cell_distance");
}

struct FramingCase {
    int width, height;
    double azimuth, elevation;
    bool orthographic;
};

TEST_F(View, FramingFillsTheLimitingDimensionAndCentresTheModel) {
    const FramingCase cases[] = {{120, 60, 30, 20, false}, {60, 120, 30, 20, false}, {90, 90, -70, 45, false},
                                 {120, 60, 0, 0, true},    {60, 120, 200, -30, true}, {100, 70, 90, 90, false}};
    for (const FramingCase& c : cases) {
        ViewOptions view;
        view.orbit.azimuth = c.azimuth;
        view.orbit.elevation = c.elevation;
        view.orthographic = c.orthographic;
        const Bytes image = render(model(1), view, c.width, c.height);
        const Box b = model_box(image);
        const double fx = (b.x1 - b.x0 + 1.0) / c.width, fy = (b.y1 - b.y0 + 1.0) / c.height;
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " az " +
                                 std::to_string(c.azimuth) + " el " + std::to_string(c.elevation) +
                                 (c.orthographic ? " ortho" : "");
        EXPECT_GE(std::max(fx, fy), 0.85) << what;
        EXPECT_LE(std::max(fx, fy), 0.95) << what;
        EXPECT_NEAR(b.x0, c.width - 1 - b.x1, 2) << what << ": centred across";
        EXPECT_NEAR(b.y0, c.height - 1 - b.y1, 2) << what << ": centred vertically";
    }
}

TEST_F(View, UpZOnAZUpModelMatchesUpYOnTheSameModelTurned) {
    // Y-up to Z-up turns y into z and z into -y; to X-up, y into x and x into -y.
    const std::pair<char, std::function<Vec3(Vec3)>> cases[] = {
        {'z', [](Vec3 p) { return Vec3{p.x, -p.z, p.y}; }}, {'x', [](Vec3 p) { return Vec3{p.y, -p.x, p.z}; }}};
    ViewOptions y_up;
    const Bytes reference = render(model(1), y_up, 96, 64);
    for (const auto& [axis, turn] : cases) {
        ViewOptions view;
        view.orbit.up = axis;
        const Bytes turned = render(model(1, turn), view, 96, 64);
        EXPECT_LT(differing(turned, reference), reference.rgb.size() / 3 / 200) << "up " << axis;
        EXPECT_GT(differing(render(model(1, turn), y_up, 96, 64), reference), reference.rgb.size() / 3 / 20)
            << "up " << axis << ": the turned model seen with y up looks different";
    }
}

TEST_F(View, OrthographicKeepsParallelEdgesEvenlySpaced) {
    // A 6 by 6 grid tilted away from the eye, only its horizontal edges drawn (edge 1 of
    // even triangles, edge 2 of odd ones): its 7 rows cross the image's middle column
    // evenly spaced in an orthographic view, closer together far off in perspective.
    Scene plane;
    plane.meshes.push_back(grid_mesh("plane", 6, 6));
    plane.meshes[0].object_to_world = rotation({1, 0, 0}, -60);
    auto rows = [&](bool orthographic) {
        ViewOptions view;
        view.orthographic = orthographic;
        view.orbit.azimuth = 0;
        view.orbit.elevation = 0;
        view.wire_px = 3;
        view.wire_cap = 0;
        const Camera camera = frame_scene(plane, view.orbit, orthographic, 40, 1.0);
        const Bytes image =
            render(plane, *shader(view, {"single_edge=true", "even_edge=1", "odd_edge=2"}), camera, 128, 128);
        std::vector<double> centres;  // coverage-weighted centre of each run of wire
        double weight = 0, sum = 0;
        for (int y = 0; y <= 128; ++y) {
            const double red = y < 128 ? image.pixel(64, y)[0] / 255.0 : 0;
            if (red > 0.05) weight += red, sum += red * y;
            else if (weight > 0) centres.push_back(sum / weight), weight = sum = 0;
        }
        std::vector<double> gaps;
        for (size_t i = 1; i < centres.size(); ++i) gaps.push_back(centres[i] - centres[i - 1]);
        return gaps;
    };
    const std::vector<double> ortho = rows(true), perspective = rows(false);
    // The outer rows lie on the silhouette, half their wire off the plane: compare the inner gaps.
    ASSERT_EQ(ortho.size(), 6u);
    for (size_t i = 2; i < 5; ++i) EXPECT_NEAR(ortho[i], ortho[1], 0.5) << i;
    ASSERT_EQ(perspective.size(), 6u);
    EXPECT_LT(perspective[1] * 1.15, perspective[4]) << "far rows (top) closer together";
}

TEST_F(View, WiresOnTrianglesSmallerThanTheyAreWideLeaveTheFillShowing) {
    // A 48 by 48 grid face-on in 32 by 32 pixels: every triangle is under a pixel high,
    // so 1.5-pixel wires alone would paint it solid.
    Scene dense;
    dense.meshes.push_back(grid_mesh("dense", 48, 48));
    const Camera camera({0, 0, 2.9}, {0, 0, 0}, {0, 1, 0}, 40, 1.0);
    ViewOptions capped, uncapped;
    uncapped.wire_cap = 0;
    const double pixels = 32 * 32;
    EXPECT_LT(coverage(render(dense, *shader(uncapped), camera, 32, 32), 2), 0.02 * pixels) << "all wire";
    const Bytes image = render(dense, *shader(capped), camera, 32, 32);
    EXPECT_GT(coverage(image, 2), 0.4 * pixels) << "the fill shows between capped wires";
    EXPECT_GT(coverage(image, 0), 0.15 * pixels) << "and the wires still tint it";
}

TEST_F(View, ShapeShadingDarkensTheFillAndLeavesTheWiresExact) {
    ViewOptions flat, facing, headlight;
    flat.shade = "flat";
    facing.shade = "facing";
    headlight.shade = "headlight";
    const Bytes f = render(model(1), flat), s = render(model(1), facing), h = render(model(1), headlight);
    EXPECT_LT(coverage(s, 2), 0.9 * coverage(f, 2));
    EXPECT_LT(coverage(h, 2), 0.9 * coverage(f, 2));
    EXPECT_GT(coverage(s, 2), 0.3 * coverage(f, 2));
    // The wires are where they were, in their own colour.
    EXPECT_NEAR(coverage(s, 0), coverage(f, 0), 1e-9);
    EXPECT_NEAR(coverage(h, 0), coverage(f, 0), 1e-9);

    // A face turned by 60 degrees from the eye: its fill is ambient + (1 - ambient) cos 60.
    Scene plane;
    plane.meshes.push_back(grid_mesh("plane", 1, 1));
    plane.meshes[0].object_to_world = rotation({0, 1, 0}, 60);
    const Camera camera({0, 0, 50}, {0, 0, 0}, {0, 1, 0}, 2, 1.0);  // nearly parallel rays
    const Bytes tilted = render(plane, *shader(facing), camera, 32, 32);
    EXPECT_NEAR(tilted.pixel(8, 16)[2], to_byte(0.3f + 0.7f * 0.5f), 2);
}

TEST_F(View, ShapeShadingMultipliesAConnectedFill) {
    auto s = std::make_unique<ShaderInstance>(plugin_.shader("qorn_wireframetexture"));
    auto cells = std::make_unique<ShaderInstance>(cells_.shader("qorn_cells"));
    cells->set("color_a", "1,1,0,1");
    cells->set("color_b", "1,1,0,1");
    cells->set("border", "-1");
    s->connect("fill_color", std::move(cells));
    s->set("wire_width", "0");
    ViewOptions facing;
    facing.shade = "facing";
    connect_view_shaders(facing, *s, {"wire_width=0"});
    ASSERT_EQ(s->connected("fill_color")->decl().name, "qorn_host_facing");
    Scene plane;
    plane.meshes.push_back(grid_mesh("plane", 1, 1));
    const Bytes image = render(plane, *s, Camera({0, 0, 4}, {0, 0, 0}, {0, 1, 0}, 20, 1.0), 16, 16);
    const uint8_t* p = image.pixel(5, 8);
    EXPECT_EQ(p[0], p[1]) << "yellow";
    EXPECT_GT(p[0], 240) << "a face turned to the eye keeps its colour";
    EXPECT_EQ(p[2], 0);
}

TEST_F(View, TurntableFramesCircleTheUpAxisAndAllFit) {
    char dir[] = "/tmp/qorn-turntable-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ViewOptions view;
    view.turntable = 5;
    const std::string out = std::string(dir) + "/spin.png";
    const Scene scene = model(1);
    const std::vector<Frame> frames = view_frames(view, scene, false, 40, 1.5, nullptr, nullptr, out);
    ASSERT_EQ(frames.size(), 5u);
    const auto s = shader(view);
    Vec3 centre;
    double radius;
    bounds(scene, centre, radius);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].path, std::string(dir) + "/spin-00" + std::to_string(i) + ".png");
        const Bytes image = render(scene, *s, frames[i].camera, 96, 64);
        const Box b = model_box(image);
        EXPECT_GT(b.x0, 0) << "frame " << i << " fits";
        EXPECT_GT(b.y0, 0) << "frame " << i << " fits";
        EXPECT_LT(b.x1, 95) << "frame " << i << " fits";
        EXPECT_LT(b.y1, 63) << "frame " << i << " fits";
        write_png(Image(image.width, image.height), frames[i].path);
        struct stat st;
        EXPECT_EQ(stat(frames[i].path.c_str(), &st), 0) << frames[i].path;
        // The eye circles the up axis through the centre at one height and distance.
        const Vec3 eye = frames[i].camera.camera_to_world().t - centre;
        const Vec3 first = frames[0].camera.camera_to_world().t - centre;
        EXPECT_NEAR(eye.y, first.y, 1e-9 * radius);
        EXPECT_NEAR(length(eye), length(first), 1e-9 * radius);
        remove(frames[i].path.c_str());
    }
    EXPECT_EQ(rmdir(dir), 0);
}

TEST(FramePath, NumbersFramesBeforeTheExtension) {
    const struct {
        const char *output, *path;
        int frame, frames;
    } cases[] = {{"out.png", "out-007.png", 7, 10},    {"a/b.c/out", "a/b.c/out-000", 0, 2},
                 {"x.y.png", "x.y-012.png", 12, 24}, {"spin.png", "spin-01234.png", 1234, 20000},
                 {".png", ".png-001", 1, 2}};
    for (const auto& c : cases) EXPECT_EQ(frame_path(c.output, c.frame, c.frames), c.path) << c.output;
}

TEST(Framing, TheEyeStaysWithinTheCoordinateLimit) {
    Scene scene = model(0.9e12);
    for (bool orthographic : {false, true}) {
        const Vec3 eye = frame_scene(scene, Orbit{}, orthographic, 40, 1.0).camera_to_world().t;
        EXPECT_LE(fmax(fabs(eye.x), fmax(fabs(eye.y), fabs(eye.z))), kMaxCoordinate * (1 + 1e-12));
    }
}

}  // namespace
}  // namespace qorn::render
