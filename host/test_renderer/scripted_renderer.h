// A renderer for tests: one scripted shading sample, with every service call recorded.
//
// The script sets the triangle's vertices (as the renderer hands them out, in its
// working space), the working space, the transforms from camera and object space to
// internal space, the intersection point (internal space), the primitive index, the
// parameter record, which parameters are connected and to what, and the colour behind
// the surface. shade() then calls a shader once, as the renderer would.
#ifndef QORN_TEST_HOST_SCRIPTED_RENDERER_H
#define QORN_TEST_HOST_SCRIPTED_RENDERER_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services.h"

namespace qorn::host {

/// An affine map of points: out = m * (x, y, z, 1), rows of four floats.
struct Affine {
    float m[3][4];
    static Affine identity();
    static Affine translation(float x, float y, float z);
    miVector apply(const miVector& p) const;
};

class ScriptedRenderer final : public Services {
public:
    // The scene of the sample.
    miVector vertices[3] = {};
    char render_space = 'c';  ///< 'c', 'o', or anything else (e.g. 'w')
    Affine camera_to_internal = Affine::identity();
    Affine object_to_internal = Affine::identity();
    miVector point = {};  ///< the intersection point, internal space
    miInteger primitive = 0;
    bool tri_vectors_fails = false;
    miColor background = {};  ///< what mi_trace_transparent delivers
    bool trace_fails = false;  ///< mi_trace_transparent then writes nothing, returns false

    /// The parameter record: a copy of `size` bytes (a multiple of 4) of `record`,
    /// followed by one 32-bit flag word per 4 bytes of it, all 0 (nothing connected).
    void set_record(const void* record, size_t size);
    /// The record as the shader will see it.
    template <class Record>
    Record& record() {
        return *reinterpret_cast<Record*>(block_.data());
    }

    /// Whether the shader description carries a non-zero connection offset; set by
    /// connect(), and settable to have flag words with nothing connected.
    bool has_connections = false;

    /// Connects the parameter at byte `offset` of the record to a shader named `name`
    /// that delivers `value` and counts its runs.
    template <class T>
    void connect(size_t offset, const std::string& name, const T& value) {
        auto delivered = std::make_shared<T>(value);
        connect_to(offset, name, [delivered] { return static_cast<const void*>(delivered.get()); });
    }
    void connect_to(size_t offset, const std::string& name, std::function<const void*()> shader);
    /// How often the shader connected under `name` ran.
    int runs(const std::string& name) const;

    /// Calls `shader` once for the scripted sample; returns its result.
    miBoolean shade(ShaderFn shader, void* result);

    /// Every service call, in order: "mi_tri_vectors p 0", "mi_point_from_camera",
    /// "mi_point_from_object", "mi_phen_eval NAME" (NAME of the connection, or
    /// "mi_phen_eval +OFFSET unconnected"), "mi_trace_transparent".
    std::vector<std::string> calls;

    miBoolean tri_vectors(miState* state, char which, miInteger number, const miVector** a,
                          const miVector** b, const miVector** c) override;
    void point_from_camera(miState* state, miVector* out, const miVector* in) override;
    void point_from_object(miState* state, miVector* out, const miVector* in) override;
    const void* phen_eval(miState* state, const void* param) override;
    miBoolean trace_transparent(miColor* result, miState* state) override;

private:
    struct Connection {
        std::string name;
        std::function<const void*()> shader;
        int runs = 0;
    };
    // Each vertex handed out lives in an allocation of its own, exactly one miVector
    // long, so that a shader reading past a vertex is caught by ASan and memcheck.
    std::vector<miVector> handed_out_[3] = {std::vector<miVector>(1), std::vector<miVector>(1),
                                            std::vector<miVector>(1)};
    std::vector<uint32_t> block_;  // the record's words, then as many flag words
    size_t record_size_ = 0;
    std::map<size_t, Connection> connections_;
};

}  // namespace qorn::host

#endif
