#include "camera.h"

#include <gtest/gtest.h>

namespace qorn::render {
namespace {

TEST(Camera, CameraSpaceLooksDownMinusZFromTheEye) {
    const Camera camera({1, 2, 3}, {4, -2, 3}, {0, 1, 0}, 50, 1.5);
    const Vec3 eye = camera.world_to_camera().point({1, 2, 3});
    EXPECT_NEAR(length(eye), 0, 1e-12);
    const Vec3 target = camera.world_to_camera().point({4, -2, 3});
    EXPECT_NEAR(target.x, 0, 1e-12);
    EXPECT_NEAR(target.y, 0, 1e-12);
    EXPECT_NEAR(target.z, -5, 1e-12);
    const Vec3 back = camera.camera_to_world().point(camera.world_to_camera().point({-7, 0.5, 9}));
    EXPECT_NEAR(length(back - Vec3{-7, 0.5, 9}), 0, 1e-12);
    const Ray centre = camera.ray(0.5, 0.5);
    EXPECT_NEAR(length(centre.direction - Vec3{0.6, -0.8, 0}), 0, 1e-12);
}

TEST(Camera, ImageCornersSpanTheFieldOfView) {
    const Camera camera({0, 0, 0}, {0, 0, -1}, {0, 1, 0}, 90, 2.0);
    const Ray top_left = camera.ray(0, 0);
    EXPECT_NEAR(top_left.direction.x / -top_left.direction.z, -2.0, 1e-12);
    EXPECT_NEAR(top_left.direction.y / -top_left.direction.z, 1.0, 1e-12);
}

TEST(Camera, LookingStraightDownOrUpStillGivesAFullBasis) {
    for (const Vec3 eye : {Vec3{0, 9, 0}, Vec3{1, -4, 2}}) {
        const Vec3 target{eye.x, 0, eye.z};
        const Camera camera = look_at(eye, target, 60, 1.0);
        const Ray corner = camera.ray(0, 1);
        EXPECT_TRUE(isfinite(corner.direction.x) && isfinite(corner.direction.y) && isfinite(corner.direction.z));
        const Vec3 centre = camera.ray(0.5, 0.5).direction;
        EXPECT_NEAR(length(centre - normalized(target - eye)), 0, 1e-12);
    }
}

}  // namespace
}  // namespace qorn::render
