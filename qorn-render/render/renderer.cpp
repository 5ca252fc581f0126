#include "render/renderer.h"
#include "render/sample_context.h"

#include <stdio.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "render/sampling.h"

namespace qorn::render {

namespace {

constexpr int kTile = 32;

/// Every mesh's vertices mapped by `after` * object_to_world, rounded once.
std::vector<std::vector<miVector>> transformed(const Scene& scene, const Affine& after) {
    std::vector<std::vector<miVector>> out;
    for (const Mesh& mesh : scene.meshes) {
        const Affine map = after * mesh.object_to_world;
        std::vector<miVector> vertices;
        vertices.reserve(mesh.vertices.size());
        for (const miVector& v : mesh.vertices) vertices.push_back(to_mi(map.point(to_vec3(v))));
        out.push_back(std::move(vertices));
    }
    return out;
}

void add(RenderStats& into, const RenderStats& from) {
    into.samples += from.samples;
    into.shader_calls += from.shader_calls;
    into.unshaded += from.unshaded;
    into.transparent += from.transparent;
    into.connected_calls += from.connected_calls;
}

}  // namespace

Renderer::Renderer(const Scene& scene, const Camera& camera, const ShaderInstance& shader,
                   const RenderSettings& settings)
    : scene_(scene),
      camera_(camera),
      shader_(shader),
      settings_(settings),
      options_{settings.space},
      world_(transformed(scene, Affine{})),
      camera_space_(transformed(scene, camera.world_to_camera())),
      intersector_(scene, world_) {}

const std::vector<miVector>& Renderer::space_vertices(unsigned mesh) const {
    switch (settings_.space) {
        case 'c': return camera_space_[mesh];
        case 'o': return scene_.meshes[mesh].vertices;
        default: return world_[mesh];  // a space the host does not model: internal space
    }
}

Vec3 Renderer::facing_normal(const Ray& ray, const Hit& hit) const {
    const std::vector<miVector>& w = world_[hit.mesh];
    const uint32_t* tri = &scene_.meshes[hit.mesh].indices[3 * static_cast<size_t>(hit.triangle)];
    const Vec3 a = to_vec3(w[tri[0]]);
    const Vec3 n = cross(to_vec3(w[tri[1]]) - a, to_vec3(w[tri[2]]) - a);
    const double l = length(n);
    if (!(l > 0)) return ray.direction * -1.0;
    return n * ((dot(n, ray.direction) > 0 ? -1.0 : 1.0) / l);
}

miColor Renderer::shade(const Ray& ray, const Hit& hit, int depth, RenderStats& counters) const {
    // The intersection point in internal (world) space, from Embree's barycentrics.
    const Mesh& mesh = scene_.meshes[hit.mesh];
    const std::vector<miVector>& w = world_[hit.mesh];
    const uint32_t* tri = &mesh.indices[3 * static_cast<size_t>(hit.triangle)];
    const double u = hit.u, v = hit.v;
    const Vec3 point = to_vec3(w[tri[0]]) * (1.0 - u - v) + to_vec3(w[tri[1]]) * u + to_vec3(w[tri[2]]) * v;

    SampleContext context(this, &shader_, ray, hit, depth, &counters);
    miState state;
    state.options = &options_;
    state.shader = shader_.desc();
    state.point = to_mi(point);
    state.pri_idx = static_cast<miInteger>(hit.triangle);
    state.renderer_data = host::renderer_data(context);
    miColor result{0, 0, 0, 0};
    ++counters.shader_calls;
    if (!shader_.entry().function(&result, &state, const_cast<void*>(shader_.record()))) ++counters.unshaded;
    return result;
}

miColor Renderer::trace(const Ray& ray, double t_min, int depth, RenderStats& counters) const {
    const Hit hit = intersector_.nearest(ray, t_min);
    return hit.found ? shade(ray, hit, depth, counters) : settings_.background;
}

void Renderer::render_tile(int tile, Image& image, RenderStats& counters) const {
    const int tiles_x = (settings_.width + kTile - 1) / kTile;
    const int x0 = (tile % tiles_x) * kTile, y0 = (tile / tiles_x) * kTile;
    const int x1 = std::min(x0 + kTile, settings_.width), y1 = std::min(y0 + kTile, settings_.height);
    const int n = settings_.samples;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            float r = 0, g = 0, b = 0;
            int covered = 0;
            for (int s = 0; s < n; ++s) {
                double dx, dy;
                jitter(x, y, s, n, dx, dy);
                const Ray ray = camera_.ray((x + dx) / settings_.width, (y + dy) / settings_.height);
                const Hit hit = intersector_.nearest(ray, 0.0);
                // With alpha, the background is transparent: only hits add colour.
                if (!hit.found && settings_.alpha) continue;
                const miColor c = hit.found ? shade(ray, hit, 0, counters) : settings_.background;
                covered += hit.found;
                r += c.r;
                g += c.g;
                b += c.b;
            }
            counters.samples += static_cast<uint64_t>(n);
            // Straight alpha: the colour of what covers the pixel, and how much of it does.
            const float weight = static_cast<float>(settings_.alpha ? std::max(covered, 1) : n);
            float* p = image.pixel(x, y);
            p[0] = r / weight;
            p[1] = g / weight;
            p[2] = b / weight;
            p[3] = settings_.alpha ? static_cast<float>(covered) / static_cast<float>(n) : 1.0f;
        }
}

Image Renderer::render(RenderStats& stats) const {
    const auto start = std::chrono::steady_clock::now();
    Image image(settings_.width, settings_.height);
    const int tiles = ((settings_.width + kTile - 1) / kTile) * ((settings_.height + kTile - 1) / kTile);
    int threads = settings_.threads > 0 ? settings_.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(1, std::min(threads, tiles));

    std::atomic<int> next_tile{0}, done_tiles{0};
    std::vector<RenderStats> per_thread(static_cast<size_t>(threads));
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int tile; (tile = next_tile.fetch_add(1)) < tiles;) {
                render_tile(tile, image, per_thread[static_cast<size_t>(t)]);
                if (done_tiles.fetch_add(1) + 1 == tiles) {
                    std::lock_guard<std::mutex> lock(mutex);
                    finished.notify_all();
                }
            }
        });

    // The progress bar appears only once a render has taken longer than a moment.
    bool bar_shown = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(250), [&] { return done_tiles.load() == tiles; })) {
            if (!settings_.progress) continue;
            const int percent = static_cast<int>(100.0 * done_tiles.load() / tiles);
            char bar[41];
            for (int i = 0; i < 40; ++i) bar[i] = i < percent * 40 / 100 ? '#' : '.';
            bar[40] = '\0';
            fprintf(stderr, "\rrendering [%s] %3d%%", bar, percent);
            bar_shown = true;
        }
    }
    for (std::thread& t : pool) t.join();
    if (bar_shown) fprintf(stderr, "\rrendering [########################################] 100%%\n");

    stats = RenderStats{};
    for (const RenderStats& s : per_thread) add(stats, s);
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return image;
}

}  // namespace qorn::render
