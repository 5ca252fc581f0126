#include "render/intersect.h"

#include <math.h>
#include <string.h>

#include <stdexcept>
#include <string>

namespace qorn::render {

namespace {

void check(RTCDevice device, const char* what) {
    const RTCError error = rtcGetDeviceError(device);
    if (error != RTC_ERROR_NONE) throw std::runtime_error(std::string("Embree: ") + what + " failed (error " + std::to_string(error) + ")");
}

}  // namespace

Intersector::Intersector(const Scene& scene, const std::vector<std::vector<miVector>>& world_vertices) {
    // Embree aborts the process on coordinates near 1.5e18 and silently misses
    // beyond; whatever the transforms did, nothing of that size reaches it.
    for (size_t m = 0; m < scene.meshes.size(); ++m)
        for (const miVector& v : world_vertices[m])
            if (!(fabs(v.x) <= kMaxCoordinate && fabs(v.y) <= kMaxCoordinate && fabs(v.z) <= kMaxCoordinate))
                throw std::runtime_error("mesh " + scene.meshes[m].name +
                                         " reaches beyond +-1e12 in world space (or is not finite)");
    // One build thread: the acceleration structure, and so which of two triangles at
    // exactly the same distance a ray reports, is then the same on every machine; and
    // no worker threads outlive the render.
    device_ = rtcNewDevice("threads=1");
    if (!device_) throw std::runtime_error("Embree: cannot create a device");
    try {
        build(scene, world_vertices);
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        if (scene_) rtcReleaseScene(scene_);
        rtcReleaseDevice(device_);
        throw;
    }
}

void Intersector::build(const Scene& scene, const std::vector<std::vector<miVector>>& world_vertices) {
    scene_ = rtcNewScene(device_);
    // Robust mode: watertight, so rays never slip between triangles sharing an edge.
    rtcSetSceneFlags(scene_, RTC_SCENE_FLAG_ROBUST);
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        const Mesh& mesh = scene.meshes[m];
        RTCGeometry geometry = rtcNewGeometry(device_, RTC_GEOMETRY_TYPE_TRIANGLE);
        void* vertices = rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                 sizeof(miVector), world_vertices[m].size());
        void* indices = rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                3 * sizeof(uint32_t), mesh.triangle_count());
        if (!vertices || !indices) rtcReleaseGeometry(geometry);
        check(device_, "allocating a mesh");
        memcpy(vertices, world_vertices[m].data(), world_vertices[m].size() * sizeof(miVector));
        memcpy(indices, mesh.indices.data(), mesh.indices.size() * sizeof(uint32_t));
        rtcCommitGeometry(geometry);
        rtcAttachGeometryByID(scene_, geometry, static_cast<unsigned>(m));
        rtcReleaseGeometry(geometry);
    }
    rtcCommitScene(scene_);
    check(device_, "building the scene");
}

Intersector::~Intersector() {
    rtcReleaseScene(scene_);
    rtcReleaseDevice(device_);
}

Hit Intersector::nearest(const Ray& ray, double t_min) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh{};
    rh.ray.org_x = static_cast<float>(ray.origin.x);
    rh.ray.org_y = static_cast<float>(ray.origin.y);
    rh.ray.org_z = static_cast<float>(ray.origin.z);
    rh.ray.dir_x = static_cast<float>(ray.direction.x);
    rh.ray.dir_y = static_cast<float>(ray.direction.y);
    rh.ray.dir_z = static_cast<float>(ray.direction.z);
    rh.ray.tnear = static_cast<float>(t_min);
    rh.ray.tfar = INFINITY;
    rh.ray.mask = 0xffffffffu;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene_, &context, &rh);
    Hit hit;
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return hit;
    hit.found = true;
    hit.mesh = rh.hit.geomID;
    hit.triangle = rh.hit.primID;
    hit.t = rh.ray.tfar;
    hit.u = rh.hit.u;
    hit.v = rh.hit.v;
    return hit;
}

}  // namespace qorn::render
