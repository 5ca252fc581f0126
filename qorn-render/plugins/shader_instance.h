// A shader with its parameter record, as the renderer hands it to the shader: values
// set from text by parameter name, and parameters connected to other shaders. A record
// with connections carries one 32-bit flag word per parameter word, `record_size`
// bytes past it (the shader description's connection offset); without connections the
// offset is 0 and there are no flag words.
#ifndef QORN_RENDER_SHADER_INSTANCE_H
#define QORN_RENDER_SHADER_INSTANCE_H

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "plugins/plugin.h"

namespace qorn::render {

/// Parameters beyond this position in a declaration cannot be connected.
constexpr size_t kMaxConnectedParams = 64;

/// Zeroed bytes after the record (and after its flag words when connected): a host
/// cannot trust a declaration to match the library, and a shader that expects a
/// longer record than declared then reads zeros the host owns, never beyond.
constexpr size_t kRecordSlackBytes = 4096;

class ShaderInstance {
public:
    /// A record holding the declared defaults (zero where none is declared).
    explicit ShaderInstance(const ShaderEntry& entry);

    /// Sets parameter `name` from text: a colour as 3 or 4 numbers (alpha 1 when
    /// left out), a vector as 3, a scalar as one number (every number finite and within
    /// the float range; subnormals accepted), an integer as a whole 32-bit number,
    /// a boolean as true/false, on/off, yes/no or 1/0. Numbers are separated by commas
    /// or spaces. Throws std::runtime_error naming the parameter for an unknown name or
    /// a value of the wrong type.
    void set(const std::string& name, const std::string& value);

    /// Connects parameter `name` to `source`, whose result type must equal the
    /// parameter's type. Throws std::runtime_error otherwise.
    void connect(const std::string& name, std::unique_ptr<ShaderInstance> source);

    /// The current value of parameter `name` as set() reads it ("r,g,b,a", "0.02",
    /// "true", ...). Throws std::runtime_error for an unknown name.
    std::string value_text(const std::string& name) const;

    /// The instance connected to `name`, or null.
    ShaderInstance* connected(const std::string& name) const;

    /// Takes the instance connected to `name` (null if none) out of this record, so
    /// that the parameter reads its own value again.
    std::unique_ptr<ShaderInstance> release(const std::string& name);

    const ShaderEntry& entry() const { return entry_; }
    const ShaderDecl& decl() const { return *entry_.decl; }
    const miShaderDesc* desc() const { return &desc_; }
    void* record() { return words_.data(); }
    const void* record() const { return words_.data(); }
    /// The source connected to the parameter at byte `offset`, or null.
    const ShaderInstance* source_at(size_t offset) const;
    /// The declaration index of the parameter at byte `offset`, or -1.
    int index_at(size_t offset) const;

private:
    const ParamDecl& param(const std::string& name) const;

    ShaderEntry entry_;
    miShaderDesc desc_{0};
    std::vector<uint32_t> words_;  ///< the record, the flag words when connected, then zeroed slack
    std::vector<std::unique_ptr<ShaderInstance>> sources_;  ///< per parameter
};

}  // namespace qorn::render

#endif
