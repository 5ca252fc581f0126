// qorn-render: renders pictures through a shader plug-in, loaded and called as the
// renderer loads and calls it, and writes pictures of the plug-in's cellular noise.
#include <CLI/CLI.hpp>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "mesh/mesh_file.h"
#include "render/noise_slices.h"
#include "plugins/numbers.h"
#include "plugins/plugin.h"
#include "render/renderer.h"
#include "view/view_options.h"
#include "render/resource_use.h"

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

/// A CLI11 check that the text is a finite number in the range (also said in --help).
CLI::Validator finite_in(double lo, double hi, bool lo_open = false) {
    char description[64];
    if (lo_open)
        snprintf(description, sizeof description, "finite, above %g, at most %g", lo, hi);
    else
        snprintf(description, sizeof description, "finite, %g to %g", lo, hi);
    return CLI::Validator([=](std::string& text) { return number_problem(text, lo, hi, lo_open); }, description);
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

/// A connected host shader's own values, "name value, ...".
std::string source_summary(const ShaderInstance& source) {
    std::string text;
    for (const ParamDecl& p : source.decl().params) {
        if (source.connected(p.name)) continue;
        text += (text.empty() ? "" : ", ") + p.name + " " + source.value_text(p.name);
    }
    return text;
}

/// How to change what a host shader of the view options does.
std::string view_hint(const std::string& host_shader) {
    if (host_shader == "qorn_host_pixel_width") return "--wire-px and --wire-cap change it, --set wire_width=W replaces it";
    return "--shade changes it, --shade flat removes it";
}

/// The shader's parameters with the host's starting values, a line each.
std::string parameter_lines(const ShaderInstance& shader, const char* indent) {
    std::string lines;
    for (const ParamDecl& p : shader.decl().params) {
        char line[320];
        const ShaderInstance* source = shader.connected(p.name);
        const std::string value = source ? "connected to the host's " + source->decl().name + " (" +
                                               source_summary(*source) + "; " + view_hint(source->decl().name) + ")"
                                         : shader.value_text(p.name);
        snprintf(line, sizeof line, "%s%-14s %-8s %s\n", indent, p.name.c_str(), type_name(p.type), value.c_str());
        lines += line;
    }
    return lines;
}

/// For render --help: the parameters of the shader a render would use.
std::string shader_help(const std::string& plugin_path, const std::string& name) {
    try {
        const Plugin plugin(plugin_path);
        ShaderInstance shader(plugin.shader(name));
        host_defaults(shader);
        connect_view_shaders(ViewOptions{}, shader, {});
        return "Parameters of " + shader.decl().name + " in " + plugin_path + " (--set NAME=VALUE; starting values):\n" +
               parameter_lines(shader, "  ");
    } catch (const std::exception& e) {
        return "(cannot list the shader's parameters: " + std::string(e.what()) + ")";
    }
}

struct RenderOptions {
    std::string output, plugin = default_plugin(), shader, obj, eye, look_at, background, format;
    double fov = 40;
    bool half = false;
    std::vector<std::string> sets, connects;
    RenderSettings settings;
    ViewOptions view;
    std::string space = "c";
    bool quiet = false;
};

void print_warnings(const Plugin& plugin) {
    for (const std::string& w : plugin.warnings()) fprintf(stderr, "qorn-render: warning: %s\n", w.c_str());
}

int run_render(const RenderOptions& o) {
    RenderSettings settings = o.settings;
    settings.space = o.space[0];
    settings.progress = !o.quiet && isatty(2);
    if (!o.background.empty()) {
        const std::vector<float> b = floats_in(o.background, "--background", 3);
        settings.background = {b[0], b[1], b[2], 1.0f};
    }
    ImageOptions picture;
    picture.format = o.format.empty() ? format_for(o.output) : format_named(o.format);
    picture.alpha = settings.alpha;
    picture.half = o.half;
    // Before any work: an output the rules refuse (a folder, a device, ...) or no
    // picture format.
    check_output(o.output, {});

    // Plug-ins stay loaded for the whole run, as in the renderer.
    std::vector<std::unique_ptr<Plugin>> plugins;
    plugins.push_back(std::make_unique<Plugin>(o.plugin));
    print_warnings(*plugins[0]);
    ShaderInstance shader(plugins[0]->shader(o.shader));
    host_defaults(shader);
    for (const std::string& c : o.connects) {
        const auto [param, target] = split_at(c, '=', "--connect");
        const size_t colon = target.rfind(':');
        const bool named = colon != std::string::npos && target.find('/', colon) == std::string::npos;
        plugins.push_back(std::make_unique<Plugin>(named ? target.substr(0, colon) : target));
        print_warnings(*plugins.back());
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
    connect_view_shaders(o.view, shader, o.sets);

    // Nothing the run reads may be what it writes.
    std::vector<InputFile> inputs;
    if (!o.obj.empty()) inputs.push_back({"the mesh", o.obj});
    for (const auto& plugin : plugins) {
        inputs.push_back({"the plug-in", plugin->path()});
        inputs.push_back({"the shader declaration", plugin->declaration_path()});
    }

    auto phase = std::chrono::steady_clock::now();
    const Scene scene = o.obj.empty() ? default_scene()
                                      : load_mesh(o.obj, settings.progress ? terminal_load_progress() : nullptr);
    const double load_seconds = seconds_since(phase);
    const double aspect = static_cast<double>(settings.width) / settings.height;
    const Vec3 eye = o.eye.empty() ? Vec3{} : vec3_in(o.eye, "--eye", kMaxCoordinate);
    const Vec3 target = o.look_at.empty() ? Vec3{} : vec3_in(o.look_at, "--look-at", kMaxCoordinate);
    if (!o.eye.empty() && !o.look_at.empty()) {
        const Vec3 gap = eye - target;
        if (gap.x == 0 && gap.y == 0 && gap.z == 0) throw std::runtime_error("--eye and --look-at are the same point");
    }
    const std::vector<Frame> frames = view_frames(o.view, scene, o.obj.empty(), o.fov, aspect,
                                                  o.eye.empty() ? nullptr : &eye, o.look_at.empty() ? nullptr : &target,
                                                  o.output);
    // Every frame's output is checked before the first is rendered.
    for (const Frame& frame : frames) check_output(frame.path, inputs);
    for (const Frame& frame : frames) {
        phase = std::chrono::steady_clock::now();
        const Renderer renderer(scene, frame.camera, shader, settings);  // builds the acceleration structure
        const double build_seconds = seconds_since(phase);
        RenderStats stats;
        const Image image = renderer.render(stats);
        write_image(image, frame.path, picture, inputs);
        if (!o.quiet) {
            fprintf(stderr, "qorn-render: %s: %dx%d, %d samples/pixel, %llu samples in %.2f s, %.2f M samples/s",
                    frame.path.c_str(), settings.width, settings.height, settings.samples,
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
    }
    return 0;
}

struct NoiseOptions {
    std::string plugin = default_plugin(), out_dir, sheet;
    SliceSettings settings;
};

int run_noise(const NoiseOptions& o) {
    if (o.out_dir.empty() && o.sheet.empty()) throw std::runtime_error("noise: give --out-dir, --sheet or both");
    ImageOptions data;
    data.data = true;  // the slices are measurements: bytes proportional to the value
    ImageOptions sheet = data;
    if (!o.sheet.empty()) sheet.format = format_for(o.sheet);
    // Only FWorley::noise is needed: any library exporting it, with or without a .mi.
    const Plugin plugin(o.plugin, Plugin::Declarations::None);
    const std::vector<InputFile> inputs = {{"the plug-in", o.plugin}};
    if (!o.sheet.empty()) check_output(o.sheet, inputs);
    const std::vector<Slice> slices = noise_slices(plugin, o.settings);
    if (!o.out_dir.empty())
        for (const Slice& s : slices) write_image(s.image, o.out_dir + "/noise-" + s.name + ".png", data, inputs);
    if (!o.sheet.empty()) write_image(contact_sheet(slices, 4), o.sheet, sheet, inputs);
    return 0;
}

/// Every shader the plug-in declares, with its parameters and the host's starting values.
int run_info(const std::string& path) {
    const Plugin plugin(path);
    print_warnings(plugin);
    printf("%s: shaders declared in %s\n", path.c_str(), plugin.declaration_path().c_str());
    for (const ShaderDecl& d : plugin.declarations()) {
        ShaderEntry entry;
        std::string problem;
        try {
            entry = plugin.shader(d.name);
        } catch (const std::exception& e) {
            entry.decl = &d;
            problem = std::string(" (not usable: ") + e.what() + ")";
        }
        ShaderInstance shader(entry);
        host_defaults(shader);
        if (problem.empty()) connect_view_shaders(ViewOptions{}, shader, {});
        printf("\n%s %s, version %d, %zu parameters in %zu bytes%s\n", type_name(d.result), d.name.c_str(), d.version,
               d.params.size(), d.record_size, problem.c_str());
        fputs(parameter_lines(shader, "  ").c_str(), stdout);
    }
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
    app.fallthrough();  // --config also after the subcommand
    app.allow_config_extras(CLI::config_extras_mode::error);
    // A later option overrides an earlier one, as scripts that add to a command expect.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    // One file reproduces a render: options by their long names, in a [render] (or
    // [noise]) section; options on the command line take precedence.
    app.set_config("--config", "", "read options from a TOML or INI file: a [render] or [noise] section, one "
                                   "LONG_NAME = VALUE per option (set = [\"wire_width=0.1\"]); the command line "
                                   "takes precedence");

    RenderOptions r;
    CLI::App* render = app.add_subcommand("render", "render a scene with a surface shader on every mesh");
    render->add_option("-o,--output", r.output,
                       "picture to write: .png (8-bit sRGB) or .exr (linear); a FIFO or device is written through")
        ->required();
    render->add_option("--format", r.format, "picture format, for names without .png or .exr")
        ->check(CLI::IsMember({"png", "exr"}));
    render->add_flag("--alpha", r.settings.alpha, "transparent background: alpha is the share of samples on a surface");
    render->add_flag("--half", r.half, "EXR in 16-bit half floats (default: 32-bit float)");
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
    render->add_option("--background", r.background,
                       "background colour r,g,b, linear (finite floats; 0 to 1 shows, the rest clamps in PNG)");
    const std::string limit = std::to_string(static_cast<long long>(kMaxCoordinate));
    render->add_option("--eye", r.eye, "camera position x,y,z, each of magnitude at most " + limit);
    render->add_option("--look-at", r.look_at, "point the camera looks at x,y,z, each of magnitude at most " + limit +
                                                   "; not the eye");
    render->add_option("--fov", r.fov, "vertical field of view in degrees")->check(finite_in(1.0, 170.0))->capture_default_str();
    render->add_option("--set", r.sets, "shader parameter NAME=VALUE, or PARAM.NAME=VALUE for a connected shader; "
                                        "colours r,g,b[,a] and scalars as finite floats (subnormals too), integers "
                                        "whole 32-bit numbers, booleans true/false")->take_all();
    render->add_option("--connect", r.connects, "connect parameter NAME=PLUGIN[:SHADER] to a shader of another plug-in "
                                                     "(default: its first shader of the parameter's type)")
        ->take_all();
    render->add_flag("-q,--quiet", r.quiet, "no progress bar or summary");
    add_view_options(*render, r.view);
    render->footer([&r] { return shader_help(r.plugin, r.shader); });

    NoiseOptions n;
    CLI::App* noise = app.add_subcommand("noise", "pictures of F1, F2, F2-F1 and cell ids for each distance measure");
    noise->add_option("--plugin", n.plugin, "the plug-in exporting FWorley::noise")->capture_default_str();
    noise->add_option("--size", n.settings.size, "pixels per side")->check(CLI::Range(1, 2048))->capture_default_str();
    noise->add_option("--scale", n.settings.scale, "noise units per pixel")
        ->check(finite_in(0, kMaxSliceScale, true))->capture_default_str();
    noise->add_option("--z", n.settings.z, "the slice's z, in noise units")
        ->check(finite_in(-kMaxSliceZ, kMaxSliceZ))->capture_default_str();
    noise->add_option("--out-dir", n.out_dir, "folder for one PNG per slice (noise-METRIC-WHAT.png)");
    noise->add_option("--sheet", n.sheet, "one .png or .exr with all slices, a metric per row");

    std::string info_plugin = default_plugin();
    CLI::App* info = app.add_subcommand("info", "list a plug-in's shaders, their parameters and starting values");
    info->add_option("plugin", info_plugin, "the shader plug-in (its NAME.mi declaration beside it)")->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fprintf(stderr, "qorn-render: %s (see --help)\n", one_line(e.what()).c_str());
        return 2;
    }
    // A reader that went away is a write error with a message, not a silent death.
    signal(SIGPIPE, SIG_IGN);
    try {
        if (info->parsed()) return run_info(info_plugin);
        return render->parsed() ? run_render(r) : run_noise(n);
    } catch (const std::exception& e) {
        fprintf(stderr, "qorn-render: %s\n", one_line(e.what()).c_str());
        return 1;
    }
}
