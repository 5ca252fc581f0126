// STL, binary (an 80-byte header, a triangle count, 50 bytes per triangle) and ASCII
// ("solid" ... "facet" "outer loop" "vertex x y z"... "endloop" "endfacet" ... "endsolid").
// A file whose size is exactly what its triangle count says is binary, even when its
// header starts with "solid" as many exporters write it; so is one that has a NUL byte. Each ASCII solid is a mesh; a
// loop of more than three vertices is fanned like any polygon. STL shares no vertices,
// so every triangle has its own three; facet normals are not used.
#include <string.h>

#include "mesh/mesh_reading.h"
#include "mesh/mesh_readers.h"

namespace qorn::render {

namespace {

using mesh::fail;

constexpr size_t kBinaryHeader = 84, kBinaryTriangle = 50;

Scene parse_binary(const char* data, const std::string& name, const LoadProgress& progress) {
    uint32_t count;
    memcpy(&count, data + 80, 4);
    mesh::MeshBuilder builder;
    builder.vertices.reserve(3 * static_cast<size_t>(count));
    std::vector<uint32_t> corners(3);
    for (uint32_t t = 0; t < count; ++t) {
        const char* facet = data + kBinaryHeader + kBinaryTriangle * static_cast<size_t>(t);
        for (int corner = 0; corner < 3; ++corner) {
            float xyz[3];
            memcpy(xyz, facet + 12 + 12 * corner, 12);
            const mesh::Where where{name, 0, "triangle", t};
            miVector v;
            v.x = mesh::coordinate(xyz[0], where);
            v.y = mesh::coordinate(xyz[1], where);
            v.z = mesh::coordinate(xyz[2], where);
            corners[static_cast<size_t>(corner)] = static_cast<uint32_t>(builder.vertices.size());
            builder.vertices.push_back(v);
        }
        builder.polygon(corners.data(), 3);
        if (progress && (t & 0xfffff) == 0xfffff) progress(static_cast<double>(t) / count);
    }
    builder.finish_mesh("", true);
    if (progress) progress(1.0);
    return builder.scene(name);
}

Scene parse_ascii(const char* data, size_t size, const std::string& name, const LoadProgress& progress) {
    mesh::TextLines lines(data, size, name, &progress);
    mesh::MeshBuilder builder;
    std::string solid;
    bool in_solid = false, in_facet = false, in_loop = false;
    std::vector<uint32_t> corners;
    std::string_view line, word;
    while (lines.next(line)) {
        if (!mesh::next_word(line, word)) continue;
        if (mesh::same_word(word, "vertex")) {
            if (!in_loop) fail(lines.where(), "a vertex outside an 'outer loop'");
            if (builder.vertices.size() >= UINT32_MAX) fail(lines.where(), "too many vertices");
            miVector v;
            for (float* c : {&v.x, &v.y, &v.z}) {
                if (!mesh::next_word(line, word)) fail(lines.where(), "a vertex needs three coordinates");
                *c = mesh::coordinate(word, lines.where());
            }
            corners.push_back(static_cast<uint32_t>(builder.vertices.size()));
            builder.vertices.push_back(v);
        } else if (mesh::same_word(word, "facet")) {
            if (!in_solid || in_facet) fail(lines.where(), "'facet' outside a solid or inside another facet");
            in_facet = true;
        } else if (mesh::same_word(word, "outer")) {
            if (!in_facet || in_loop) fail(lines.where(), "'outer loop' outside a facet");
            in_loop = true;
            corners.clear();
        } else if (mesh::same_word(word, "endloop")) {
            if (!in_loop) fail(lines.where(), "'endloop' without 'outer loop'");
            if (corners.size() < 3)
                fail(lines.where(), "a facet needs three vertices or more, not " + std::to_string(corners.size()));
            builder.polygon(corners.data(), corners.size());
            in_loop = false;
        } else if (mesh::same_word(word, "endfacet")) {
            if (!in_facet || in_loop) fail(lines.where(), "'endfacet' without a facet and its loop");
            in_facet = false;
        } else if (mesh::same_word(word, "solid")) {
            if (in_solid) fail(lines.where(), "'solid' inside another solid");
            in_solid = true;
            solid = std::string(mesh::trimmed(line));
        } else if (mesh::same_word(word, "endsolid")) {
            if (!in_solid || in_facet) fail(lines.where(), "'endsolid' without a solid, or inside a facet");
            builder.finish_mesh(solid);
            in_solid = false;
        } else {
            fail(lines.where(), "'" + std::string(word.substr(0, 40)) + "' is not an STL keyword");
        }
    }
    // Many exporters leave the last "endsolid" out; an unfinished facet is an error.
    if (in_facet) fail(lines.where(), "the file ends inside a facet");
    builder.finish_mesh(solid, true);
    if (progress) progress(1.0);
    return builder.scene(name);
}

}  // namespace

Scene parse_stl(const char* data, size_t size, const std::string& name, const LoadProgress& progress) {
    if (size >= kBinaryHeader) {
        uint32_t count;
        memcpy(&count, data + 80, 4);
        if (size == kBinaryHeader + kBinaryTriangle * static_cast<size_t>(count))
            return parse_binary(data, name, progress);
    }
    size_t start = 0;
    while (start < size && strchr(" \t\r\n", data[start]) && data[start] != '\0') ++start;
    // An ASCII STL holds no NUL byte; a binary one of the wrong size almost always does.
    if (size - start >= 5 && mesh::same_word(std::string_view(data + start, 5), "solid") &&
        (size < kBinaryHeader || !memchr(data, '\0', size)))
        return parse_ascii(data, size, name, progress);
    if (size >= kBinaryHeader) {
        uint32_t count;
        memcpy(&count, data + 80, 4);
        fail(name, "a binary STL of " + std::to_string(count) + " triangles takes " +
                       std::to_string(kBinaryHeader + kBinaryTriangle * static_cast<uint64_t>(count)) +
                       " bytes, but the file has " + std::to_string(size));
    }
    fail(name, "not an STL file (too short for binary, and no 'solid' to start ASCII)");
}

}  // namespace qorn::render
