// Meshes: quads split into even/odd triangle pairs, and OBJ files good and bad.
#include "render/intersect.h"
#include "mesh/mesh_file.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace qorn::render {
namespace {

std::vector<uint32_t> triangle(const Mesh& m, size_t t) {
    return {m.indices[3 * t], m.indices[3 * t + 1], m.indices[3 * t + 2]};
}

TEST(Scene, QuadBecomesEvenThenOddTriangleSharingTheDiagonal) {
    const Mesh quad = grid_mesh("quad", 1, 1);
    ASSERT_EQ(quad.triangle_count(), 2u);
    EXPECT_EQ(triangle(quad, 0), (std::vector<uint32_t>{0, 1, 3}));
    EXPECT_EQ(triangle(quad, 1), (std::vector<uint32_t>{0, 3, 2}));
}

TEST(Scene, BuiltInMeshesAreValidAndHaveNoDegenerateTriangles) {
    const Scene scene = default_scene();
    EXPECT_NO_THROW(validate(scene, "default scene"));
    EXPECT_GE(scene.meshes.size(), 3u);
    for (const Mesh& mesh : scene.meshes)
        for (size_t t = 0; t < mesh.triangle_count(); ++t) {
            const auto i = triangle(mesh, t);
            const Vec3 a = to_vec3(mesh.vertices[i[0]]), b = to_vec3(mesh.vertices[i[1]]),
                       c = to_vec3(mesh.vertices[i[2]]);
            EXPECT_GT(length(cross(b - a, c - a)), 1e-6) << mesh.name << " triangle " << t;
        }
}

class ObjFile : public ::testing::Test {
protected:
    std::string write(const std::string& text) {
        path_ = ::testing::TempDir() + "scene_test_" + std::to_string(getpid()) + ".obj";
        std::ofstream(path_, std::ios::binary) << text;
        return path_;
    }
    void TearDown() override {
        if (!path_.empty()) unlink(path_.c_str());
    }
    std::string path_;
};

TEST_F(ObjFile, QuadFacesAreSplitIntoFanPairs) {
    const Scene scene = load_mesh(write("o plane\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n"
                                       "f 1 2 3 4\nf 2 5 6 3\n"));
    ASSERT_EQ(scene.meshes.size(), 1u);
    const Mesh& m = scene.meshes[0];
    ASSERT_EQ(m.triangle_count(), 4u);
    EXPECT_EQ(triangle(m, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(triangle(m, 1), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(triangle(m, 2), (std::vector<uint32_t>{1, 4, 5}));
    EXPECT_EQ(triangle(m, 3), (std::vector<uint32_t>{1, 5, 2}));
    EXPECT_FLOAT_EQ(m.vertices[5].x, 2.0f);
}

TEST_F(ObjFile, BadFilesAreRefusedWithOneLineNamingTheFile) {
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"no faces", "v 0 0 0\nv 1 0 0\nv 0 1 0\n"},
        {"empty", ""},
        {"index past the end", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n"},
        {"not a number", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1e999 0 0\nf 1 2 4\n"},
        {"binary junk", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\n\x01\x02", 16)},
        {"only lines", "v 0 0 0\nv 1 0 0\nl 1 2\n"},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.text);
        try {
            load_mesh(path);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(path, 0), 0u) << c.what << ": " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << c.what << ": " << message;
        }
    }
}

TEST(Intersector, RefusesWorldVerticesEmbreeCannotTake) {
    Scene scene;
    scene.meshes.push_back(grid_mesh("square", 1, 1));
    for (float bad : {1.5e18f, -1.01e12f, NAN, INFINITY}) {
        std::vector<std::vector<miVector>> world = {scene.meshes[0].vertices};
        world[0][2].y = bad;
        EXPECT_THROW(Intersector(scene, world), std::runtime_error) << bad;
    }
    EXPECT_NO_THROW(Intersector(scene, {scene.meshes[0].vertices}));
}

TEST(Obj, MissingFileIsRefused) {
    EXPECT_THROW(load_mesh("/nonexistent/scene.obj"), std::runtime_error);
}

}  // namespace
}  // namespace qorn::render
