// Shader plug-ins loaded as a renderer loads them: dlopen by path, the declaration file
// read beside the library, entry points found by name, versions checked.
#ifndef QORN_RENDER_PLUGIN_H
#define QORN_RENDER_PLUGIN_H

#include <memory>
#include <string>
#include <vector>

#include "declaration.h"
#include "mi_interface.h"

namespace qorn::render {

// Declarations are read by the host library, which the shader tests share.
using host::ParamDecl;
using host::ParamType;
using host::parse_declarations;
using host::read_declarations;
using host::ShaderDecl;
using host::type_name;
using host::type_size;

/// A shader's entry point: result record, render state, parameter record.
using ShaderFunction = miBoolean (*)(void* result, miState* state, void* params);

struct ShaderEntry {
    const ShaderDecl* decl = nullptr;
    ShaderFunction function = nullptr;
    std::string plugin;  ///< the path it was loaded from
};

class Plugin {
public:
    enum class Declarations { Required, None };

    /// Loads the shared object at `path` and its declarations: `NAME.mi` beside
    /// `NAME.so`, or else in the `include` folder next to the library's folder (the
    /// installed layout). With Declarations::None only the library is loaded, for
    /// callers that need its exported functions alone. Throws std::runtime_error with a
    /// one-line message when the file is not a regular file, not a loadable shared
    /// object, or no declaration can be read.
    explicit Plugin(const std::string& path, Declarations declarations = Declarations::Required);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    /// The shader `name` (or, with an empty name, the first one declared): its
    /// declaration, its entry point and its version entry `NAME_version`, whose result
    /// must equal the declared version. Throws std::runtime_error otherwise.
    ShaderEntry shader(const std::string& name) const;

    const std::string& path() const { return path_; }
    const std::string& declaration_path() const { return declaration_path_; }
    const std::vector<ShaderDecl>& declarations() const { return declarations_; }
    /// An exported symbol, or null.
    void* symbol(const char* name) const;
    /// One line for each declared shader the host knows whose declaration does not
    /// match its record (the host's slack keeps such a mismatch harmless).
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    std::string path_, declaration_path_;
    void* handle_ = nullptr;
    std::vector<ShaderDecl> declarations_;
    std::vector<std::string> warnings_;
};

/// Where the declaration of the plug-in at `path` is looked for, in order.
std::vector<std::string> declaration_candidates(const std::string& path);

}  // namespace qorn::render

#endif
