#include "view/view_options.h"

#include <CLI/CLI.hpp>

#include <stdio.h>
#include <string.h>

#include <stdexcept>

#include "render/host_shaders.h"

namespace qorn::render {

void add_view_options(CLI::App& render, ViewOptions& view) {
    render.add_option("--wire-px", view.wire_px,
                      "wire width across in pixels, at any scale (--set wire_width=... in scene units takes over)")
        ->check(CLI::Range(0.0, 1000.0))->capture_default_str();
    render.add_option("--wire-cap", view.wire_cap,
                      "with pixel wires, each at most this share of its triangle's smallest height, so dense "
                      "meshes keep some fill (0: no cap)")
        ->check(CLI::Range(0.0, 1.0))->capture_default_str();
    render.add_option("--shade", view.shade,
                      "fill: flat (the shader's colours exactly), facing (darker where the surface turns away) or "
                      "headlight (lit from beside the eye)")
        ->check(CLI::IsMember({"flat", "facing", "headlight"}))->capture_default_str();
    // Any of these frames the built-in scene too instead of its fixed camera.
    auto given = [&view](const auto&) { view.orbit_given = true; };
    render.add_option_function<std::string>(
              "--up", [&view](const std::string& up) { view.orbit.up = up[0], view.orbit_given = true; },
              "the world axis that is up: x, y or z (default y)")
        ->check(CLI::IsMember({"x", "y", "z"}));
    render.add_option("--azimuth", view.orbit.azimuth, "degrees around the up axis from the front, toward the right")
        ->check(CLI::Range(-3600.0, 3600.0))->capture_default_str()->each(given);
    render.add_option("--elevation", view.orbit.elevation, "degrees above the horizontal")
        ->check(CLI::Range(-90.0, 90.0))->capture_default_str()->each(given);
    render.add_flag("--ortho", view.orthographic, "orthographic projection")->each(given);
    render.add_option("--turntable", view.turntable,
                      "write N frames around the up axis, OUT-000.png to OUT-(N-1).png for -o OUT.png")
        ->check(CLI::Range(1, 3600))->each(given);
}

void connect_view_shaders(const ViewOptions& view, ShaderInstance& shader, const std::vector<std::string>& sets) {
    const ParamDecl* width = shader.decl().find("wire_width");
    bool width_set = false;
    for (const std::string& s : sets) width_set |= s.rfind("wire_width=", 0) == 0;
    if (width && width->type == ParamType::Scalar && !width_set && !shader.connected("wire_width")) {
        auto pixels = std::make_unique<ShaderInstance>(host_shader("qorn_host_pixel_width"));
        // wire_width is the distance from the edge's line: half the wire's width across.
        pixels->set("pixels", std::to_string(view.wire_px / 2));
        pixels->set("height_share", std::to_string(view.wire_cap));
        shader.connect("wire_width", std::move(pixels));
    }

    const ParamDecl* fill = shader.decl().find("fill_color");
    if (view.shade == "flat" || !fill || fill->type != ParamType::Color) return;
    auto shape = std::make_unique<ShaderInstance>(host_shader("qorn_host_" + view.shade));
    if (std::unique_ptr<ShaderInstance> previous = shader.release("fill_color")) {
        shape->connect("color", std::move(previous));
    } else {
        float c[4];
        memcpy(c, static_cast<const char*>(shader.record()) + fill->offset, sizeof c);
        char text[80];
        snprintf(text, sizeof text, "%.9g,%.9g,%.9g,%.9g", c[0], c[1], c[2], c[3]);
        shape->set("color", text);
    }
    shader.connect("fill_color", std::move(shape));
}

std::string frame_path(const std::string& output, int frame, int frames) {
    int digits = 3;
    for (int n = frames - 1; n >= 1000; n /= 10) ++digits;
    char number[16];
    snprintf(number, sizeof number, "-%0*d", digits, frame);
    const size_t slash = output.rfind('/'), dot = output.rfind('.');
    const bool has_extension = dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    return has_extension ? output.substr(0, dot) + number + output.substr(dot) : output + number;
}

std::vector<Frame> view_frames(const ViewOptions& view, const Scene& scene, bool built_in, double fov,
                               double aspect, const Vec3* eye, const Vec3* target, const std::string& output) {
    const int frames = view.turntable > 0 ? view.turntable : 1;
    std::vector<Camera> cameras;
    if (eye || target) {
        Vec3 centre;
        double radius;
        bounds(scene, centre, radius);
        const Vec3 look = target ? *target : centre;
        const Vec3 from = eye ? *eye : look + orbit_axes(view.orbit).back * (3 * radius);
        if (length(from - look) == 0) throw std::runtime_error("--eye and --look-at are the same point");
        // Orthographic: as wide as the model's bounding sphere, with the framing's margin.
        const double half = radius / kFrameFill / fmin(1.0, aspect);
        const Vec3 up = axis_vector(view.orbit.up);
        for (int i = 0; i < frames; ++i) {
            const Affine turn = translation(look) * rotation(up, 360.0 * i / frames) * translation(look * -1.0);
            cameras.push_back(aimed_camera(turn.point(from), look, view.orbit.up, view.orthographic, fov, half, aspect));
        }
    } else if (built_in && !view.orbit_given) {
        cameras.push_back(default_camera(aspect, fov));
    } else if (view.turntable > 0) {
        cameras = turntable_cameras(scene, view.orbit, view.orthographic, fov, aspect, frames);
    } else {
        cameras.push_back(frame_scene(scene, view.orbit, view.orthographic, fov, aspect));
    }

    std::vector<Frame> out;
    for (size_t i = 0; i < cameras.size(); ++i)
        out.push_back({cameras[i], view.turntable > 0 ? frame_path(output, static_cast<int>(i), frames) : output});
    return out;
}

}  // namespace qorn::render
