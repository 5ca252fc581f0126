// qorn-render: renders pictures through a shader plug-in, loaded and called as the
// renderer loads and calls it, and writes pictures of the plug-in's cellular noise.
#include <CLI/CLI.hpp>
#include <limits.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "mesh_file.h"
#include "noise_slices.h"
#include "plugin.h"
#include "renderer.h"
#include "resource_use.h"

namespace qorn::render {
namespace {

/// qorn.so in ../lib from this executable: right in the build tree and when installed.
std::string default_plugin() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "qorn.so";
    std::string dir(exe, static_cast<size_t>(n));
    dir.resize(dir.rfind('/'));
    return dir + "/../lib/qorn.so";
}

Vec3 parse_vec3(const std::string& text, const char* what) {
    Vec3 v;
    char tail;
    if (sscanf(text.c_str(), "%lf,%lf,%lf%c", &v.x, &v.y, &v.z, &tail) != 3)
        throw std::runtime_error(std::string(what) + " wants three numbers x,y,z, not '" + text + "'");
    return v;
}

std::pair<std::string, std::string> split_at(const std::string& text, char c, const char* what) {
    const size_t at = text.find(c);
    if (at == std::string::npos || at == 0)
        throw std::runtime_error(std::string(what) + " wants NAME" + c + "VALUE, not '" + text + "'");
    return {text.substr(0, at), text.substr(at + 1)};
}

/// Starting values for qorn_wireframetexture, whose declaration carries no defaults:
/// dark wires on a light opaque fill, 0.02 units wide.
void host_defaults(ShaderInstance& shader) {
    if (shader.decl().name != "qorn_wireframetexture") return;
    const std::pair<const char*, const char*> values[] = {
        {"wire_color", "0.05,0.06,0.09,1"}, {"fill_color", "0.93,0.92,0.88,1"}, {"wire_width", "0.02"}};
    for (const auto& [name, value] : values)
        if (shader.decl().find(name) && shader.decl().find(name)->defaults.empty()) shader.set(name, value);
}

/// The first shader `plugin` declares whose result has the type of `param` (else its
/// first shader, which connect() then refuses with a message naming both types).
std::string first_returning(const Plugin& plugin, const ShaderInstance& shader, const std::string& param) {
    const ParamDecl* p = shader.decl().find(param);
    for (const ShaderDecl& d : plugin.declarations())
        if (p && d.result == p->type) return d.name;
    return "";
}

struct RenderOptions {
    std::string output, plugin = default_plugin(), shader, obj, eye, look_at, background;
    double fov = 40;
    std::vector<std::string> sets, connects;
    RenderSettings settings;
    std::string space = "c";
    bool quiet = false;
};

int run_render(const RenderOptions& o) {
    RenderSettings settings = o.settings;
    settings.space = o.space[0];
    settings.progress = !o.quiet && isatty(2);
    if (!o.background.empty()) {
        const Vec3 b = parse_vec3(o.background, "--background");
        settings.background = {static_cast<float>(b.x), static_cast<float>(b.y), static_cast<float>(b.z), 1.0f};
    }

    // Plug-ins stay loaded for the whole run, as in the renderer.
    std::vector<std::unique_ptr<Plugin>> plugins;
    plugins.push_back(std::make_unique<Plugin>(o.plugin));
    ShaderInstance shader(plugins[0]->shader(o.shader));
    host_defaults(shader);
    for (const std::string& c : o.connects) {
        const auto [param, target] = split_at(c, '=', "--connect");
        const size_t colon = target.rfind(':');
        const bool named = colon != std::string::npos && target.find('/', colon) == std::string::npos;
        plugins.push_back(std::make_unique<Plugin>(named ? target.substr(0, colon) : target));
        const std::string source = named ? target.substr(colon + 1) : first_returning(*plugins.back(), shader, param);
        shader.connect(param, std::make_unique<ShaderInstance>(plugins.back()->shader(source)));
    }
    for (const std::string& s : o.sets) {
        const auto [name, value] = split_at(s, '=', "--set");
        const size_t dot = name.find('.');
        if (dot == std::string::npos) {
            shader.set(name, value);
            continue;
        }
        ShaderInstance* source = shader.connected(name.substr(0, dot));
        if (!source) throw std::runtime_error("--set " + name + ": parameter " + name.substr(0, dot) + " is not connected");
        source->set(name.substr(dot + 1), value);
    }

    auto phase = std::chrono::steady_clock::now();
    const Scene scene = o.obj.empty() ? default_scene()
                                      : load_mesh(o.obj, settings.progress ? terminal_load_progress() : nullptr);
    const double load_seconds = seconds_since(phase);
    const double aspect = static_cast<double>(settings.width) / settings.height;
    Camera camera = o.obj.empty() ? default_camera(aspect, o.fov) : framing_camera(scene, aspect, o.fov);
    if (!o.eye.empty() || !o.look_at.empty()) {
        Vec3 centre;
        double radius;
        bounds(scene, centre, radius);
        const Vec3 target = o.look_at.empty() ? centre : parse_vec3(o.look_at, "--look-at");
        const Vec3 eye = o.eye.empty() ? target + Vec3{0, 0, 3 * radius} : parse_vec3(o.eye, "--eye");
        if (length(eye - target) == 0) throw std::runtime_error("--eye and --look-at are the same point");
        camera = look_at(eye, target, o.fov, aspect);
    }

    phase = std::chrono::steady_clock::now();
    const Renderer renderer(scene, camera, shader, settings);  // builds the acceleration structure
    const double build_seconds = seconds_since(phase);
    RenderStats stats;
    const Image image = renderer.render(stats);
    write_png(image, o.output);
    if (!o.quiet) {
        fprintf(stderr, "qorn-render: %s: %dx%d, %d samples/pixel, %llu samples in %.2f s, %.2f M samples/s",
                o.output.c_str(), settings.width, settings.height, settings.samples,
                static_cast<unsigned long long>(stats.samples), stats.seconds,
                static_cast<double>(stats.samples) / std::max(stats.seconds, 1e-9) * 1e-6);
        fprintf(stderr, "; %llu shader calls, %llu transparency traces, %llu connected",
                static_cast<unsigned long long>(stats.shader_calls), static_cast<unsigned long long>(stats.transparent),
                static_cast<unsigned long long>(stats.connected_calls));
        if (stats.unshaded)
            fprintf(stderr, "; %llu unshaded (the shader returned false)", static_cast<unsigned long long>(stats.unshaded));
        fprintf(stderr, "; load %.2f s, build %.2f s, render %.2f s, peak memory %.0f MiB\n", load_seconds,
                build_seconds, stats.seconds, peak_memory_mib());
    }
    return 0;
}

struct NoiseOptions {
    std::string plugin = default_plugin(), out_dir, sheet;
    SliceSettings settings;
};

int run_noise(const NoiseOptions& o) {
    if (o.out_dir.empty() && o.sheet.empty()) throw std::runtime_error("noise: give --out-dir, --sheet or both");
    const Plugin plugin(o.plugin);
    const std::vector<Slice> slices = noise_slices(plugin, o.settings);
    if (!o.out_dir.empty())
        for (const Slice& s : slices) write_png(s.image, o.out_dir + "/noise-" + s.name + ".png");
    if (!o.sheet.empty()) write_png(contact_sheet(slices, 4), o.sheet);
    return 0;
}

std::string one_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace
}  // namespace qorn::render

int main(int argc, char** argv) {
    using namespace qorn::render;
    CLI::App app{"qorn-render: renders through a shader plug-in as the renderer does, and pictures its noise"};
    app.require_subcommand(1);
    // A later option overrides an earlier one, as scripts that add to a command expect.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    RenderOptions r;
    CLI::App* render = app.add_subcommand("render", "render a scene with a surface shader on every mesh");
    render->add_option("-o,--output", r.output, "PNG file to write")->required();
    render->add_option("--plugin", r.plugin, "shader plug-in (its NAME.mi declaration beside it)")->capture_default_str();
    render->add_option("--shader", r.shader, "shader to use (default: the first the declaration names)");
    render->add_option("--obj,--mesh", r.obj, "mesh file: .obj, .ply or .stl (default: the built-in scene)");
    render->add_option("-W,--width", r.settings.width, "image width in pixels")->check(CLI::Range(1, 16384))->capture_default_str();
    render->add_option("-H,--height", r.settings.height, "image height in pixels")->check(CLI::Range(1, 16384))->capture_default_str();
    render->add_option("-s,--samples", r.settings.samples, "jittered samples per pixel")->check(CLI::Range(1, 1024))->capture_default_str();
    render->add_option("-j,--threads", r.settings.threads, "threads (0: one per core)")->check(CLI::Range(0, 1024))->capture_default_str();
    render->add_option("--space", r.space, "working space: c (camera) or o (object); w (world) the shader refuses")
        ->check(CLI::IsMember({"c", "o", "w"}))->capture_default_str();
    render->add_option("--depth", r.settings.max_depth, "surfaces a ray may pass through")->check(CLI::Range(0, 64))->capture_default_str();
    render->add_option("--background", r.background, "background colour r,g,b (linear, 0 to 1)");
    render->add_option("--eye", r.eye, "camera position x,y,z");
    render->add_option("--look-at", r.look_at, "point the camera looks at x,y,z");
    render->add_option("--fov", r.fov, "vertical field of view in degrees")->check(CLI::Range(1.0, 170.0))->capture_default_str();
    render->add_option("--set", r.sets, "shader parameter NAME=VALUE, or PARAM.NAME=VALUE for a connected shader; "
                                        "colours r,g,b[,a], booleans true/false")->take_all();
    render->add_option("--connect", r.connects, "connect parameter NAME=PLUGIN[:SHADER] to a shader of another plug-in "
                                                     "(default: its first shader of the parameter's type)")
        ->take_all();
    render->add_flag("-q,--quiet", r.quiet, "no progress bar or summary");

    NoiseOptions n;
    CLI::App* noise = app.add_subcommand("noise", "pictures of F1, F2, F2-F1 and cell ids for each distance measure");
    noise->add_option("--plugin", n.plugin, "the plug-in exporting FWorley::noise")->capture_default_str();
    noise->add_option("--size", n.settings.size, "pixels per side")->check(CLI::Range(1, 2048))->capture_default_str();
    noise->add_option("--scale", n.settings.scale, "noise units per pixel")->check(CLI::PositiveNumber)->capture_default_str();
    noise->add_option("--z", n.settings.z, "the slice's z, in noise units")->capture_default_str();
    noise->add_option("--out-dir", n.out_dir, "folder for one PNG per slice (noise-METRIC-WHAT.png)");
    noise->add_option("--sheet", n.sheet, "one PNG with all slices, a metric per row");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fprintf(stderr, "qorn-render: %s (see --help)\n", one_line(e.what()).c_str());
        return 2;
    }
    try {
        return render->parsed() ? run_render(r) : run_noise(n);
    } catch (const std::exception& e) {
        fprintf(stderr, "qorn-render: %s\n", one_line(e.what()).c_str());
        return 1;
    }
}
