#include "mesh/mesh_reading.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace qorn::render::mesh {

namespace {

constexpr size_t kReportEvery = size_t{4} << 20;
constexpr uint32_t kUnused = UINT32_MAX;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string quoted(std::string_view word) {
    // Long or unprintable words are cut so the message stays one readable line.
    std::string out = "'";
    for (char c : word.substr(0, 40)) out += (c >= 32 && c < 127) ? c : '?';
    return out + (word.size() > 40 ? "...'" : "'");
}

}  // namespace

void fail(const std::string& where, const std::string& what) { throw std::runtime_error(where + ": " + what); }

void fail(const Where& where, const std::string& what) { fail(where.text(), what); }

std::string Where::text() const {
    if (item) return name + ": " + item + " " + std::to_string(index);
    return name + ":" + std::to_string(line);
}

TextLines::TextLines(const char* data, size_t size, const std::string& name, const LoadProgress* progress)
    : data_(data), size_(size), next_report_(kReportEvery), name_(name), progress_(progress) {}

bool TextLines::next(std::string_view& line) {
    if (at_ >= size_) return false;
    const char* start = data_ + at_;
    const void* end = memchr(start, '\n', size_ - at_);
    const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - start) : size_ - at_;
    at_ += length + (end ? 1 : 0);
    ++number_;
    line = std::string_view(start, length);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (memchr(line.data(), '\0', line.size())) {
        const bool utf16 = number_ == 1 && length >= 2 &&
                           ((start[0] == '\xfe' && start[1] == '\xff') || (start[0] == '\xff' && start[1] == '\xfe'));
        fail(where(), utf16 ? "UTF-16 text; mesh files are read as ASCII or UTF-8"
                            : "binary data (a NUL byte) in a text file");
    }
    if (progress_ && *progress_ && at_ >= next_report_) {
        (*progress_)(static_cast<double>(at_) / static_cast<double>(size_));
        next_report_ = at_ + kReportEvery;
    }
    return true;
}

bool next_word(std::string_view& rest, std::string_view& word) {
    size_t i = 0;
    while (i < rest.size() && is_space(rest[i])) ++i;
    size_t j = i;
    while (j < rest.size() && !is_space(rest[j])) ++j;
    word = rest.substr(i, j - i);
    rest.remove_prefix(j);
    return !word.empty();
}

std::string_view trimmed(std::string_view rest) {
    while (!rest.empty() && is_space(rest.front())) rest.remove_prefix(1);
    while (!rest.empty() && is_space(rest.back())) rest.remove_suffix(1);
    return rest;
}

bool same_word(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

double number(std::string_view word, const Where& where) {
    std::string_view digits = word;
    // from_chars takes no '+'; files written by C's printf("%+f") have one.
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-' && digits[1] != '+') digits.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (end != digits.data() + digits.size() || (error != std::errc() && error != std::errc::result_out_of_range))
        fail(where, quoted(word) + " is not a number");
    if (error == std::errc::result_out_of_range) {
        // Too large (refused below as infinite) or too small (zero, harmless): strtod
        // says which. The word is short and checked, so a copy is cheap and safe.
        const std::string copy(digits);
        value = strtod(copy.c_str(), nullptr);
    }
    return value;
}

float coordinate(double value, const Where& where) {
    if (!isfinite(value)) fail(where, "vertex coordinate " + std::to_string(value) + " is not a finite number");
    if (!(fabs(value) <= kMaxCoordinate)) {
        char text[128];
        snprintf(text, sizeof text, "vertex coordinate %g is beyond +-%g, the largest the renderer handles", value,
                 kMaxCoordinate);
        fail(where, text);
    }
    return static_cast<float>(value);
}

float coordinate(std::string_view word, const Where& where) {
    const double value = number(word, where);
    if (!isfinite(value)) fail(where, "vertex coordinate " + quoted(word) + " is not a finite number");
    return coordinate(value, where);
}

int64_t whole_number(std::string_view word, const Where& where) {
    std::string_view digits = word;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
        fail(where, quoted(word) + " is not a whole number in range");
    return value;
}

void MeshBuilder::polygon(const uint32_t* corners, size_t n) {
    for (size_t k = 1; k + 1 < n; ++k) indices_.insert(indices_.end(), {corners[0], corners[k], corners[k + 1]});
}

void MeshBuilder::finish_mesh(const std::string& name, bool last) {
    if (indices_.empty()) return;
    Mesh mesh;
    mesh.name = name.empty() ? "mesh" + std::to_string(scene_.meshes.size()) : name;
    if (local_.size() < vertices.size()) local_.resize(vertices.size(), kUnused);
    used_.clear();
    for (uint32_t v : indices_)
        if (local_[v] == kUnused) {
            local_[v] = 0;
            used_.push_back(v);
        }
    if (last && used_.size() == vertices.size()) {
        // Every vertex used (one mesh per file, as in PLY and STL): the lists are the
        // mesh's as they are, without a copy.
        for (uint32_t v : used_) local_[v] = kUnused;
        mesh.vertices = std::move(vertices);
        mesh.indices = std::move(indices_);
        vertices.clear();
        indices_.clear();
        scene_.meshes.push_back(std::move(mesh));
        return;
    }
    std::sort(used_.begin(), used_.end());
    mesh.vertices.reserve(used_.size());
    for (uint32_t v : used_) {
        local_[v] = static_cast<uint32_t>(mesh.vertices.size());
        mesh.vertices.push_back(vertices[v]);
    }
    mesh.indices.reserve(indices_.size());
    for (uint32_t v : indices_) mesh.indices.push_back(local_[v]);
    for (uint32_t v : used_) local_[v] = kUnused;
    indices_.clear();
    scene_.meshes.push_back(std::move(mesh));
}

Scene MeshBuilder::scene(const std::string& file) {
    if (scene_.meshes.empty()) fail(file, "no triangles: no face of three corners or more (points and lines are not drawn)");
    validate(scene_, file);
    return std::move(scene_);
}

}  // namespace qorn::render::mesh
