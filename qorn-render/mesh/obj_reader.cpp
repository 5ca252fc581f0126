// Wavefront OBJ: vertices ("v x y z [w]") and polygon faces ("f v[/vt][/vn] ..."), one
// mesh for each "o" or "g" group that has faces. Texture coordinates, normals, lines,
// points, smoothing groups and materials are not needed to draw wires and are skipped;
// "mtllib" is never followed, so an OBJ cannot make the renderer open another file.
#include <string.h>

#include "mesh/mesh_reading.h"
#include "mesh/mesh_readers.h"

namespace qorn::render {

namespace {

using mesh::fail;

/// The vertex a face corner names: its first number, 1-based, or negative counting
/// back from the last vertex defined so far.
uint32_t corner_vertex(std::string_view corner, size_t defined, const mesh::Where& where) {
    const std::string_view first = corner.substr(0, corner.find('/'));
    const int64_t i = mesh::whole_number(first, where);
    const int64_t n = static_cast<int64_t>(defined);
    const int64_t v = i > 0 ? i - 1 : n + i;
    if (i == 0 || v < 0 || v >= n)
        fail(where, "face corner " + std::string(first) + " names no vertex (" + std::to_string(defined) +
                        " defined so far)");
    return static_cast<uint32_t>(v);
}

}  // namespace

Scene parse_obj(const char* data, size_t size, const std::string& name, const LoadProgress& progress) {
    mesh::TextLines lines(data, size, name, &progress);
    mesh::MeshBuilder builder;
    std::string group;
    std::vector<uint32_t> corners;
    std::string_view line, keyword, word;
    while (lines.next(line)) {
        if (!mesh::next_word(line, keyword) || keyword[0] == '#') continue;
        if (keyword == "v") {
            if (builder.vertices.size() >= UINT32_MAX) fail(lines.where(), "too many vertices");
            miVector v;
            for (float* c : {&v.x, &v.y, &v.z}) {
                if (!mesh::next_word(line, word)) fail(lines.where(), "a vertex needs three coordinates");
                *c = mesh::coordinate(word, lines.where());
            }
            builder.vertices.push_back(v);
        } else if (keyword == "f") {
            corners.clear();
            while (mesh::next_word(line, word))
                corners.push_back(corner_vertex(word, builder.vertices.size(), lines.where()));
            if (corners.size() < 3)
                fail(lines.where(), "a face needs three corners or more, not " + std::to_string(corners.size()));
            builder.polygon(corners.data(), corners.size());
        } else if (keyword == "o" || keyword == "g") {
            // A new group starts a new mesh once the current one has faces; the
            // triangles' numbering starts again with it.
            if (builder.mesh_has_triangles()) builder.finish_mesh(group);
            group = std::string(mesh::trimmed(line));
        }
    }
    builder.finish_mesh(group, true);
    if (progress) progress(1.0);
    return builder.scene(name);
}

}  // namespace qorn::render
