// The mesh readers on arbitrary bytes: every input is read as OBJ, as PLY and as STL.
// Each either refuses it with a one-line std::runtime_error or gives a scene the
// renderer can take as it is: at least one triangle, every index inside its mesh, every
// vertex used and finite within +-kMaxCoordinate. The bytes lie in an allocation of
// exactly their size, so any read past the end is caught; progress goes from 0 to 1.
#include <math.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "mesh/mesh_file.h"

using namespace qorn::render;
using qorn::fuzz::finding;

namespace {

void check(const Scene& scene) {
    size_t triangles = 0;
    for (const Mesh& mesh : scene.meshes) {
        if (mesh.indices.size() % 3 != 0) finding("a partial triangle");
        std::vector<bool> used(mesh.vertices.size());
        for (uint32_t i : mesh.indices) {
            if (i >= mesh.vertices.size()) finding("an index past the mesh's vertices");
            used[i] = true;
        }
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            if (!used[v]) finding("a vertex no triangle uses");
            for (float c : {mesh.vertices[v].x, mesh.vertices[v].y, mesh.vertices[v].z})
                if (!(fabs(c) <= kMaxCoordinate)) finding("a coordinate that is not finite or beyond the limit");
        }
        triangles += mesh.triangle_count();
    }
    if (triangles == 0) finding("a scene without triangles accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<char[]> bytes(new char[size ? size : 1]);
    if (size) memcpy(bytes.get(), data, size);
    for (MeshFormat format : {MeshFormat::obj, MeshFormat::ply, MeshFormat::stl}) {
        std::vector<double> reports;
        const LoadProgress progress = [&reports](double done) { reports.push_back(done); };
        try {
            check(parse_mesh(format, bytes.get(), size, "fuzz", progress));
            if (reports.empty() || reports.back() != 1.0) finding("a load that did not end its progress at 1");
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            if (message.rfind("fuzz", 0) != 0) finding("a message that does not name the file first");
            if (message.find('\n') != std::string::npos) finding("a message of more than one line");
        }
        for (size_t i = 0; i < reports.size(); ++i)
            if (!(reports[i] >= 0 && reports[i] <= 1) || (i > 0 && reports[i] < reports[i - 1]))
                finding("progress outside 0..1 or going back");
    }
    return 0;
}
