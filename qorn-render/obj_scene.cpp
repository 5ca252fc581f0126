// Wavefront OBJ files through Debian's tinyobjloader.
#include <tiny_obj_loader.h>

#include <stdexcept>

#include "scene.h"

namespace qorn::render {

namespace {

std::string first_line(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

}  // namespace

Scene load_obj(const std::string& path) {
    tinyobj::ObjReaderConfig config;
    // Polygons are split here, as fans: tinyobjloader would split a quad along its
    // shorter diagonal, which would make the edge numbering depend on the shape.
    config.triangulate = false;
    config.vertex_color = false;
    config.mtl_search_path = "";
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config)) {
        const std::string why = first_line(reader.Error());
        throw std::runtime_error(path + ": " + (why.empty() ? "cannot read the OBJ file" : why));
    }
    const std::vector<tinyobj::real_t>& xyz = reader.GetAttrib().vertices;
    const size_t vertex_count = xyz.size() / 3;

    Scene scene;
    for (const tinyobj::shape_t& shape : reader.GetShapes()) {
        Mesh mesh;
        mesh.name = shape.name.empty() ? "mesh" + std::to_string(scene.meshes.size()) : shape.name;
        std::vector<int> corners;
        for (const tinyobj::index_t& i : shape.mesh.indices) {
            if (i.vertex_index < 0 || static_cast<size_t>(i.vertex_index) >= vertex_count)
                throw std::runtime_error(path + ": shape " + mesh.name + " uses a vertex that does not exist");
            corners.push_back(i.vertex_index);
        }
        // The mesh keeps the vertices it uses, in file order.
        std::vector<int64_t> local(vertex_count, -1);
        for (int c : corners) local[static_cast<size_t>(c)] = 0;
        for (size_t v = 0; v < vertex_count; ++v)
            if (local[v] == 0) {
                local[v] = static_cast<int64_t>(mesh.vertices.size());
                mesh.vertices.push_back({xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]});
            }
        size_t first = 0;
        for (unsigned char n : shape.mesh.num_face_vertices) {
            for (size_t k = 1; k + 1 < n; ++k)
                for (size_t corner : {first, first + k, first + k + 1})
                    mesh.indices.push_back(static_cast<uint32_t>(local[static_cast<size_t>(corners[corner])]));
            first += n;
        }
        if (!mesh.indices.empty()) scene.meshes.push_back(std::move(mesh));
    }
    validate(scene, path);
    return scene;
}

}  // namespace qorn::render
