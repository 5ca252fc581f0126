// Mesh files: one mesh gives the same triangles from every format, polygons of any
// size are fanned in file order, and every kind of bad file is refused with one line
// that names the file (and the line, for text).
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "mesh/mesh_file.h"

namespace qorn::render {
namespace {

using Corners = std::vector<uint32_t>;

/// A small mesh as the files below write it: a quad, a pentagon and a triangle.
const std::vector<miVector> kPoints = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},  {2, 0, 0.5f},
                                       {3, 1, 0}, {2, 2, 1}, {1.5f, 3, 0}, {-1, -1, 2}};
const std::vector<Corners> kPolygons = {{0, 1, 2, 3}, {1, 4, 5, 6, 2}, {3, 2, 8}};

/// Every triangle as its three corner positions, in order: what the renderer and the
/// shader see, whatever the vertex numbering.
std::vector<float> triangle_corners(const Scene& scene) {
    std::vector<float> out;
    for (const Mesh& m : scene.meshes)
        for (uint32_t i : m.indices) out.insert(out.end(), {m.vertices[i].x, m.vertices[i].y, m.vertices[i].z});
    return out;
}

std::vector<float> expected_fans() {
    std::vector<float> out;
    for (const Corners& p : kPolygons)
        for (size_t k = 1; k + 1 < p.size(); ++k)
            for (uint32_t i : {p[0], p[k], p[k + 1]}) out.insert(out.end(), {kPoints[i].x, kPoints[i].y, kPoints[i].z});
    return out;
}

std::string obj_text() {
    std::string s = "# three polygons\no polygons\n";
    for (const miVector& v : kPoints) s += "v " + std::to_string(v.x) + " " + std::to_string(v.y) + " " + std::to_string(v.z) + "\n";
    for (const Corners& p : kPolygons) {
        s += "f";
        for (uint32_t i : p) s += " " + std::to_string(i + 1) + "/1/1";
        s += "\n";
    }
    return s;
}

std::string ply_header(const char* format, const std::string& extra_vertex_property = "") {
    return std::string("ply\nformat ") + format + " 1.0\ncomment made by the test\nelement vertex " +
           std::to_string(kPoints.size()) + "\nproperty float x\nproperty float y\nproperty float z\n" +
           extra_vertex_property + "element face " + std::to_string(kPolygons.size()) +
           "\nproperty list uchar int vertex_indices\nend_header\n";
}

std::string ply_ascii() {
    std::string s = ply_header("ascii");
    for (const miVector& v : kPoints) s += std::to_string(v.x) + " " + std::to_string(v.y) + " " + std::to_string(v.z) + "\n";
    for (const Corners& p : kPolygons) {
        s += std::to_string(p.size());
        for (uint32_t i : p) s += " " + std::to_string(i);
        s += "\n";
    }
    return s;
}

template <class T>
void put(std::string& s, T value, bool big_endian) {
    char b[sizeof(T)];
    memcpy(b, &value, sizeof b);
    if (big_endian) std::reverse(b, b + sizeof b);
    s.append(b, sizeof b);
}

/// Binary PLY with a double "quality" after x, y, z, to be read past.
std::string ply_binary(bool big_endian) {
    std::string s = ply_header(big_endian ? "binary_big_endian" : "binary_little_endian", "property double quality\n");
    for (const miVector& v : kPoints) {
        for (float c : {v.x, v.y, v.z}) put(s, c, big_endian);
        put(s, 0.5, big_endian);
    }
    for (const Corners& p : kPolygons) {
        put(s, static_cast<uint8_t>(p.size()), big_endian);
        for (uint32_t i : p) put(s, static_cast<int32_t>(i), big_endian);
    }
    return s;
}

std::string stl_ascii() {
    std::string s = "solid polygons\n";
    for (const Corners& p : kPolygons) {
        s += "  facet normal 0 0 1\n    outer loop\n";
        for (uint32_t i : p)
            s += "      vertex " + std::to_string(kPoints[i].x) + " " + std::to_string(kPoints[i].y) + " " +
                 std::to_string(kPoints[i].z) + "\n";
        s += "    endloop\n  endfacet\n";
    }
    return s + "endsolid polygons\n";
}

/// Binary STL of the given triangle corners; the header starts with "solid", as many
/// exporters write it.
std::string stl_binary(const std::vector<float>& corners) {
    std::string s = "solid but binary";
    s.resize(80, ' ');
    put(s, static_cast<uint32_t>(corners.size() / 9), false);
    for (size_t t = 0; t < corners.size() / 9; ++t) {
        for (int k = 0; k < 3; ++k) put(s, 0.0f, false);
        for (int k = 0; k < 9; ++k) put(s, corners[9 * t + static_cast<size_t>(k)], false);
        put(s, uint16_t{0}, false);
    }
    return s;
}

class MeshFile : public ::testing::Test {
protected:
    std::string write(const std::string& extension, const std::string& bytes) {
        const std::string path = ::testing::TempDir() + "mesh_file_test_" + std::to_string(getpid()) + "_" +
                                 std::to_string(paths_.size()) + extension;
        std::ofstream(path, std::ios::binary) << bytes;
        paths_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string& p : paths_) unlink(p.c_str());
    }
    /// The message of the refusal, which must be one line starting with `prefix`.
    std::string refusal(const std::string& path, const std::string& prefix, const std::string& what) {
        try {
            load_mesh(path);
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(prefix, 0), 0u) << what << ": " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << what << ": " << message;
            return message;
        }
        ADD_FAILURE() << what << ": accepted";
        return "";
    }
    std::vector<std::string> paths_;
};

TEST_F(MeshFile, OneMeshGivesTheSameTrianglesInEveryFormat) {
    const std::vector<float> fans = expected_fans();
    const std::pair<const char*, std::string> files[] = {
        {".obj", obj_text()},           {".ply", ply_ascii()},          {".ply", ply_binary(false)},
        {".PLY", ply_binary(true)},     {".stl", stl_ascii()},          {".STL", stl_binary(fans)},
    };
    for (const auto& [extension, bytes] : files) {
        const Scene scene = load_mesh(write(extension, bytes));
        EXPECT_EQ(triangle_corners(scene), fans) << extension << " " << bytes.substr(0, 30);
    }
}

TEST_F(MeshFile, AnyCornerCountIsAFanInFileOrder) {
    for (size_t n : {3, 4, 5, 255, 256, 257, 1000}) {
        // A polygon of n corners between two triangles, whose numbering must not move.
        std::string text = "v 9 9 9\nv 9 8 9\nv 8 9 9\nf 1 2 3\n";
        for (size_t k = 0; k < n; ++k)
            text += "v " + std::to_string(cos(2 * M_PI * k / n)) + " " + std::to_string(sin(2 * M_PI * k / n)) + " 0\n";
        text += "f";
        for (size_t k = 0; k < n; ++k) text += " " + std::to_string(4 + k);
        text += "\nf -1 -2 1\n";
        const Scene scene = load_mesh(write(".obj", text));
        ASSERT_EQ(scene.meshes.size(), 1u);
        const Mesh& m = scene.meshes[0];
        ASSERT_EQ(m.triangle_count(), n - 2 + 2) << n;
        EXPECT_EQ(Corners(m.indices.begin(), m.indices.begin() + 3), (Corners{0, 1, 2})) << n;
        for (size_t k = 1; k + 1 < n; ++k)
            EXPECT_EQ(Corners(m.indices.begin() + 3 * k, m.indices.begin() + 3 * k + 3),
                      (Corners{3, static_cast<uint32_t>(3 + k), static_cast<uint32_t>(4 + k)}))
                << n << " corners, triangle " << k;
        const auto last = m.indices.end() - 3;
        EXPECT_EQ(Corners(last, m.indices.end()), (Corners{static_cast<uint32_t>(n + 2), static_cast<uint32_t>(n + 1), 0}))
            << n;
    }
}

TEST_F(MeshFile, GroupsAreMeshesThatKeepTheirVerticesInFileOrder) {
    const Scene scene = load_mesh(write(".obj",
                                        "mtllib materials.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\ng first\n"
                                        "usemtl red\nf 4 2 3\ng\nf 1 2 3\nf 1 3 4\no last one\nf 3 4 2\n"));
    ASSERT_EQ(scene.meshes.size(), 3u);
    EXPECT_EQ(scene.meshes[0].name, "first");
    EXPECT_EQ(scene.meshes[1].name, "mesh1");
    EXPECT_EQ(scene.meshes[2].name, "last one");
    // Vertices 2, 3, 4 in file order; the face's corners follow them.
    EXPECT_EQ(scene.meshes[0].vertices.size(), 3u);
    EXPECT_EQ(scene.meshes[0].indices, (Corners{2, 0, 1}));
    EXPECT_EQ(scene.meshes[1].indices, (Corners{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(scene.meshes[2].indices, (Corners{1, 2, 0}));
}

TEST_F(MeshFile, NumbersAsWrittenByExporters) {
    const Scene scene = load_mesh(write(".obj", "v +1 2. -3e0\r\nv .5 1E2 1e-400\nv   0\t0 0 1.0 0.5 0.5 0.5\nf 1 2 3"));
    const Mesh& m = scene.meshes.at(0);
    EXPECT_FLOAT_EQ(m.vertices[0].x, 1);
    EXPECT_FLOAT_EQ(m.vertices[0].z, -3);
    EXPECT_FLOAT_EQ(m.vertices[1].y, 100);
    EXPECT_EQ(m.vertices[1].z, 0.0f);  // too small for a float: zero
}

TEST_F(MeshFile, BadObjFilesAreRefusedNamingTheLine) {
    const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    struct Case {
        const char* what;
        std::string text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"NaN", "v 0 0 0\nv nan 0 0\n", 2, "not a finite number"},
        {"infinity", tri + "v 0 inf 0\n", 4, "not a finite number"},
        {"minus infinity", tri + "v 0 0 -inf\n", 4, "not a finite number"},
        {"overflow", tri + "v 1e999 0 0\n", 4, "not a finite number"},
        {"a word", tri + "v 0 zero 0\n", 4, "'zero' is not a number"},
        {"a number and a word", tri + "v 0 3.1+e2 0\n", 4, "is not a number"},
        {"beyond the limit", tri + "v 1.5e18 0 0\nf 1 2 4\n", 4, "beyond +-1e+12"},
        {"just beyond the limit", tri + "v 0 0 -1.000001e12\n", 4, "beyond"},
        {"two coordinates", "v 0 0\n", 1, "three coordinates"},
        {"index zero", tri + "f 0 1 2\n", 4, "names no vertex"},
        {"index past the end", tri + "f 1 2 4\n", 4, "names no vertex (3 defined so far)"},
        {"a later vertex", tri + "f 1 2 4\nv 1 1 1\n", 4, "names no vertex"},
        {"relative too far", tri + "f -1 -2 -4\n", 4, "names no vertex"},
        {"huge index", tri + "f 1 2 99999999999999999999999\n", 4, "not a whole number"},
        {"index a word", tri + "f 1 2 three\n", 4, "not a whole number"},
        {"two corners", tri + "f 1 2\n", 4, "three corners or more, not 2"},
        {"no corners", tri + "\n\nf\n", 6, "not 0"},
        {"a NUL byte", tri + std::string("f 1 2 3\0", 8) + "\n", 4, "NUL"},
        {"UTF-16", std::string("\xfe\xff\0v\0 \0" "1", 8), 1, "UTF-16 text"},
    };
    for (const Case& c : cases) {
        const std::string path = write(".obj", c.text);
        const std::string message = refusal(path, path + ":" + std::to_string(c.line) + ": ", c.what);
        EXPECT_NE(message.find(c.says), std::string::npos) << c.what << ": " << message;
    }
    for (const char* text : {"", "v 0 0 0\nv 1 0 0\nl 1 2\n", "# nothing\np 1\n"}) {
        const std::string path = write(".obj", text);
        EXPECT_NE(refusal(path, path + ": no triangles", "no faces").find("points and lines are not drawn"),
                  std::string::npos);
    }
}

TEST_F(MeshFile, BadPlyAndStlFilesAreRefusedWithOneLine) {
    std::string nan_vertex = ply_binary(false);
    const float nan = NAN;
    memcpy(&nan_vertex[ply_header("binary_little_endian", "property double quality\n").size() + 20 + 4], &nan, 4);
    std::string huge_vertex = ply_ascii();
    huge_vertex.replace(huge_vertex.find("end_header\n") + 11, 8, "2e12");
    std::string bad_corner = ply_ascii();
    bad_corner.replace(bad_corner.rfind("3 3 2 8"), 7, "3 3 2 9");
    std::vector<float> nan_triangle(9, 0.0f);
    nan_triangle[4] = INFINITY;
    struct Case {
        const char* what;
        const char* extension;
        std::string bytes;
        const char* says;
    };
    const std::string binary = ply_binary(false);
    const Case cases[] = {
        {"PLY NaN coordinate", ".ply", nan_vertex, ": vertex 1: vertex coordinate nan is not a finite number"},
        {"PLY coordinate beyond the limit", ".ply", huge_vertex, ":11: vertex coordinate 2e+12 is beyond"},
        {"PLY corner out of range", ".ply", bad_corner, ":22: face corner 9 names no vertex (there are 9)"},
        {"PLY cut short", ".ply", binary.substr(0, binary.size() - 3), "ends before the data"},
        {"PLY count beyond the file", ".ply", "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\n"
                                             "property float x\nproperty float y\nproperty float z\nend_header\n",
         "the header promises 4000000000 vertex items"},
        {"PLY list of two", ".ply", ply_header("ascii") + "0 0 0\n1 0 0\n0 1 0\n1 1 1\n0 0 1\n1 0 1\n0 1 1\n1 1 0\n2 2 2\n2 0 1\n3 0 0 0\n3 0 1 2\n",
         ":20: a face needs three corners or more, not 2"},
        {"PLY without x", ".ply", "ply\nformat ascii 1.0\nelement vertex 1\nproperty float y\nend_header\n0\n", "lacks x"},
        {"PLY unknown format", ".ply", "ply\nformat binary_middle_endian 1.0\nend_header\n", ":2: unknown PLY format"},
        {"PLY without end", ".ply", "ply\nformat ascii 1.0\nelement vertex 1\n", "no end_header"},
        {"PLY float corners", ".ply", "ply\nformat ascii 1.0\nelement face 1\nproperty list uchar float vertex_indices\nend_header\n",
         ":4: vertex indices must be of an integer type"},
        {"not PLY", ".ply", "solid\n", "not a PLY file"},
        {"PLY two vertex elements", ".ply",
         "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
         "element vertex 0\nproperty float x\nproperty float y\nproperty float z\nend_header\n0 0 0\n",
         "more than one vertex element"},
        {"STL infinite coordinate", ".stl", stl_binary(nan_triangle), ": triangle 0: vertex coordinate inf is not a finite"},
        {"STL cut short", ".stl", stl_binary(expected_fans()).substr(0, 200), "takes 384 bytes, but the file has 200"},
        {"STL vertex outside a loop", ".stl", "solid x\nfacet normal 0 0 1\nvertex 0 0 0\n", ":3: a vertex outside"},
        {"STL word", ".stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 zero\n", ":4: 'zero' is not a number"},
        {"STL two vertices", ".stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\n",
         ":6: a facet needs three vertices or more, not 2"},
        {"STL ends in a facet", ".stl", "solid x\nfacet normal 0 0 1\n", "ends inside a facet"},
        {"STL unknown word", ".stl", "solid x\nfacit normal 0 0 1\n", ":2: 'facit' is not an STL keyword"},
        {"STL too short", ".stl", "abc", "not an STL file"},
        {"STL empty solid", ".stl", "solid x\nendsolid x\n", "no triangles"},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.extension, c.bytes);
        const std::string message = refusal(path, path, c.what);
        EXPECT_NE(message.find(c.says), std::string::npos) << c.what << ": " << message;
    }
}

TEST_F(MeshFile, QuirksOfRealFilesAreRead) {
    // A comment without its keyword (old Blender), CRLF line ends, no last newline;
    // an STL holding two solids (two meshes) and one empty one.
    std::string ply = ply_ascii();
    ply.replace(ply.find("comment "), 8, "");
    for (size_t at = 0; (at = ply.find('\n', at)) != std::string::npos; at += 2) ply.replace(at, 1, "\r\n");
    ply.resize(ply.size() - 2);
    EXPECT_EQ(triangle_corners(load_mesh(write(".ply", ply))), expected_fans());
    // Billions of items without properties take no bytes and no time.
    std::string empty_items = ply_binary(false);
    empty_items.insert(empty_items.find("element vertex"), "element nothing 4000000000\n");
    EXPECT_EQ(triangle_corners(load_mesh(write(".ply", empty_items))), expected_fans());
    const Scene two = load_mesh(write(".stl", stl_ascii() + "solid empty\nendsolid empty\n" + stl_ascii()));
    ASSERT_EQ(two.meshes.size(), 2u);
    EXPECT_EQ(two.meshes[0].name, "polygons");
}

TEST_F(MeshFile, OnlyKnownExtensionsAndRegularFiles) {
    const std::string obj = write(".obj", obj_text());
    for (const std::string& name : {obj + ".off", obj + "/", ::testing::TempDir() + "mesh", ::testing::TempDir() + ".hidden/mesh"}) {
        const std::string message = refusal(name, name + ": ", "extension");
        EXPECT_NE(message.find(".obj, .ply or .stl"), std::string::npos) << message;
    }
    const std::string folder = ::testing::TempDir() + "mesh_file_test_folder.obj";
    mkdir(folder.c_str(), 0700);
    EXPECT_NE(refusal(folder, folder + ": ", "folder").find("is a folder"), std::string::npos);
    rmdir(folder.c_str());
    refusal("/nonexistent/mesh.obj", "/nonexistent/mesh.obj: ", "missing file");
}

TEST(MeshSeeds, RealAndBrokenFilesAreReadOrRefusedWithOneLine) {
    // The mesh fuzzer's seeds: small models of the assimp test set and look-alikes of
    // what real exporters write, and broken files; 0 triangles: refused.
    const std::pair<const char*, size_t> seeds[] = {
        {"assimp_box.obj", 12}, {"assimp_cube_binary.ply", 12}, {"assimp_cube_uv.ply", 12},
        {"assimp_regr_3429812.obj", 4}, {"assimp_triangle_with_two_solids.stl", 2},
        {"binary_with_solid_header.stl", 6}, {"blender_header.ply", 6}, {"groups_and_materials.obj", 3},
        {"number_formats.obj", 1}, {"polygon256.obj", 254}, {"polygons.obj", 6}, {"polygons_ascii.ply", 6},
        {"polygons_ascii.stl", 6}, {"polygons_big.ply", 6}, {"polygons_little.ply", 6},
        {"bad_index.obj", 0}, {"empty_element_of_a_billion.ply", 0}, {"huge.obj", 0}, {"liar.ply", 0},
        {"nan.obj", 0}, {"nan_ascii.stl", 0}, {"nan_binary.stl", 0}, {"points.ply", 0}, {"truncated.ply", 0},
        {"truncated_binary.stl", 0}, {"two_vertex_elements.ply", 0}, {"utf16.obj", 0},
    };
    for (const auto& [name, triangles] : seeds) {
        const std::string path = std::string(QORN_SOURCE_DIR) + "/fuzz/corpus/mesh/" + name;
        try {
            const Scene scene = load_mesh(path);
            size_t count = 0;
            for (const Mesh& m : scene.meshes) count += m.triangle_count();
            EXPECT_EQ(count, triangles) << name;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(triangles, 0u) << name << ": " << e.what();
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << name;
        }
    }
}

TEST(MeshFormat, ByExtensionInAnyCase) {
    EXPECT_EQ(mesh_format("a/b.c/model.OBJ"), MeshFormat::obj);
    EXPECT_EQ(mesh_format("model.Ply"), MeshFormat::ply);
    EXPECT_EQ(mesh_format("model.stl"), MeshFormat::stl);
    EXPECT_THROW(mesh_format("model.obj.gz"), std::runtime_error);
    EXPECT_THROW(mesh_format("a.obj/model"), std::runtime_error);
}

}  // namespace
}  // namespace qorn::render
