#include "render/noise_slices.h"

#include <algorithm>
#include <stdexcept>

#include "cell_metrics.h"
#include "plugins/plugin.h"
#include "render/sampling.h"

namespace qorn::render {

namespace {

using PlainNoise = void (*)(float, float, float, unsigned long, float*, miVector*, unsigned long*);
using MetricNoise = void (*)(const DistType&, const miVector&, float, float, float, unsigned long, float*, miVector*,
                             unsigned long*);
// The types of the overloads that the mangled names below stand for (unevaluated:
// nothing is linked).
static_assert(sizeof(static_cast<PlainNoise>(&FWorley::noise)) != 0, "FWorley::noise, plain");
static_assert(sizeof(static_cast<MetricNoise>(&FWorley::noise)) != 0, "FWorley::noise, with a DistType");

Image grey(const std::vector<float>& values, int size) {
    const float top = std::max(*std::max_element(values.begin(), values.end()), 1e-6f);
    Image image(size, size);
    for (size_t i = 0; i < values.size(); ++i)
        image.rgba[4 * i] = image.rgba[4 * i + 1] = image.rgba[4 * i + 2] = values[i] / top;
    return image;
}

}  // namespace

std::vector<Slice> noise_slices(const Plugin& plugin, const SliceSettings& settings) {
    const auto plain = reinterpret_cast<PlainNoise>(plugin.symbol("_ZN7FWorley5noiseEfffmPfP8miVectorPm"));
    const auto pluggable =
        reinterpret_cast<MetricNoise>(plugin.symbol("_ZN7FWorley5noiseERK8DistTypeRK8miVectorfffmPfPS3_Pm"));
    if (!plain || !pluggable) throw std::runtime_error(plugin.path() + " does not export FWorley::noise");

    const int n = settings.size;
    const miVector no_param{0, 0, 0};
    std::vector<Slice> slices;
    for (int m = 0; m < cells::kMetricCount; ++m) {
        const DistType& metric = cells::metric(m);
        std::vector<float> f1, f2, gap;
        Image ids(n, n);
        for (int py = 0; py < n; ++py)
            for (int px = 0; px < n; ++px) {
                const float x = static_cast<float>((px + 0.5 - n / 2.0) * settings.scale);
                const float y = static_cast<float>((n / 2.0 - py - 0.5) * settings.scale);
                const float z = static_cast<float>(settings.z);
                float d[2];
                unsigned long id[2] = {0, 0};
                if (m == 0)
                    plain(x, y, z, 2, d, nullptr, id);
                else
                    pluggable(metric, no_param, x, y, z, 2, d, nullptr, id);
                f1.push_back(d[0]);
                f2.push_back(d[1]);
                gap.push_back(d[1] - d[0]);
                const uint32_t h = hash4(static_cast<uint32_t>(id[0]), 0, 0, 0);
                float* p = ids.pixel(px, py);
                p[0] = static_cast<float>(64 + (h & 0xbf)) / 255.0f;
                p[1] = static_cast<float>(64 + ((h >> 8) & 0xbf)) / 255.0f;
                p[2] = static_cast<float>(64 + ((h >> 16) & 0xbf)) / 255.0f;
            }
        const std::string name = metric.name();
        slices.push_back({name + "-f1", grey(f1, n)});
        slices.push_back({name + "-f2", grey(f2, n)});
        slices.push_back({name + "-f2-f1", grey(gap, n)});
        slices.push_back({name + "-ids", ids});
    }
    return slices;
}

Image contact_sheet(const std::vector<Slice>& slices, int per_row) {
    const int gap = 2, size = slices.empty() ? 0 : slices[0].image.width;
    const int rows = (static_cast<int>(slices.size()) + per_row - 1) / per_row;
    Image sheet(per_row * (size + gap) - gap, rows * (size + gap) - gap);
    std::fill(sheet.rgba.begin(), sheet.rgba.end(), 1.0f);
    for (size_t i = 0; i < slices.size(); ++i) {
        const int x0 = static_cast<int>(i) % per_row * (size + gap), y0 = static_cast<int>(i) / per_row * (size + gap);
        for (int y = 0; y < size; ++y)
            std::copy_n(slices[i].image.pixel(0, y), 4 * size, sheet.pixel(x0, y0 + y));
    }
    return sheet;
}

}  // namespace qorn::render
