#include "view/camera.h"

#include "view/framing.h"

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

TEST(Camera, APixelCoversItsDepthTimesTheImagePlanesPixelPinholeOrAConstantOrthographic) {
    const Camera pinhole({0, 0, 5}, {0, 0, 0}, {0, 1, 0}, 90, 2.0);
    EXPECT_NEAR(pinhole.pixel_size({3, -1, -5}, 100), 10 * 2.0 / 100, 1e-12) << "depth 10, half height 1";
    EXPECT_NEAR(pinhole.pixel_size({0, 0, 4}, 100), 1 * 2.0 / 100, 1e-12);
    const Camera ortho = Camera::orthographic({0, 0, 5}, {0, 0, 0}, {0, 1, 0}, 3, 2.0);
    EXPECT_TRUE(ortho.is_orthographic());
    for (const Vec3 p : {Vec3{0, 0, 4}, Vec3{7, 1, -300}}) EXPECT_NEAR(ortho.pixel_size(p, 60), 6.0 / 60, 1e-12);
}

TEST(Camera, OrthographicRaysAreParallelAndSpanTheirHalfHeight) {
    const Camera camera = Camera::orthographic({1, 2, 3}, {1, 2, 0}, {0, 1, 0}, 2, 1.5);
    const Ray corner = camera.ray(0, 0), centre = camera.ray(0.5, 0.5);
    EXPECT_NEAR(length(corner.direction - Vec3{0, 0, -1}), 0, 1e-12);
    EXPECT_NEAR(length(centre.direction - Vec3{0, 0, -1}), 0, 1e-12);
    EXPECT_NEAR(length(centre.origin - Vec3{1, 2, 3}), 0, 1e-12);
    EXPECT_NEAR(length(corner.origin - Vec3{1 - 3, 2 + 2, 3}), 0, 1e-12);
}

TEST(Orbit, AxesAreOrthonormalAtEveryElevationAndBackPointsUpWhenAbove) {
    for (char up : {'x', 'y', 'z'})
        for (double elevation : {-90.0, -30.0, 0.0, 45.0, 90.0})
            for (double azimuth : {0.0, 30.0, 200.0}) {
                const OrbitAxes a = orbit_axes({up, azimuth, elevation});
                for (const Vec3 v : {a.right, a.up, a.back}) EXPECT_NEAR(length(v), 1, 1e-12);
                EXPECT_NEAR(dot(a.right, a.up), 0, 1e-12);
                EXPECT_NEAR(dot(a.right, a.back), 0, 1e-12);
                EXPECT_NEAR(length(cross(a.right, a.up) - a.back), 0, 1e-12) << "right-handed";
                EXPECT_NEAR(dot(a.back, axis_vector(up)), sin(elevation * M_PI / 180), 1e-12);
                EXPECT_NEAR(dot(a.right, axis_vector(up)), 0, 1e-12) << "the horizon stays level";
            }
}

}  // namespace
}  // namespace qorn::render
