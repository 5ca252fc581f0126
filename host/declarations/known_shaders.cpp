#include "known_shaders.h"

#include <stddef.h>

#include <iterator>

#include "qorn_texture.h"

namespace qorn::host {

namespace {

struct KnownParam {
    ParamType type;
    const char* name;
    size_t offset;
};

const KnownParam kWireframe[] = {
    {ParamType::Color, "wire_color", offsetof(wireframetexture_params, wire_color)},
    {ParamType::Color, "fill_color", offsetof(wireframetexture_params, fill_color)},
    {ParamType::Scalar, "wire_width", offsetof(wireframetexture_params, wire_width)},
    {ParamType::Boolean, "single_edge", offsetof(wireframetexture_params, single_edge)},
    {ParamType::Integer, "even_edge", offsetof(wireframetexture_params, even_edge)},
    {ParamType::Integer, "odd_edge", offsetof(wireframetexture_params, odd_edge)},
};

}  // namespace

std::string known_layout_mismatch(const ShaderDecl& decl, const std::string& where) {
    if (decl.name != "qorn_wireframetexture") return "";
    const std::string head = where + ": the declaration of qorn_wireframetexture does not match the shader's record (" +
                             std::to_string(sizeof(wireframetexture_params)) + " bytes, 6 parameters): ";
    if (decl.record_size != sizeof(wireframetexture_params) || decl.params.size() != std::size(kWireframe))
        return head + "it declares " + std::to_string(decl.params.size()) + " parameters in " +
               std::to_string(decl.record_size) + " bytes";
    for (size_t i = 0; i < decl.params.size(); ++i) {
        const ParamDecl& p = decl.params[i];
        const KnownParam& k = kWireframe[i];
        if (p.name != k.name || p.type != k.type || p.offset != k.offset)
            return head + "parameter " + std::to_string(i + 1) + " is " + type_name(p.type) + " '" + p.name +
                   "', the shader reads " + type_name(k.type) + " '" + k.name + "'";
    }
    if (decl.result != ParamType::Color) return head + "its result is " + type_name(decl.result) + ", not color";
    return "";
}

}  // namespace qorn::host
