#include "plugins/plugin.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "known_shaders.h"

namespace qorn::render {

std::vector<std::string> declaration_candidates(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    return {dir + "/" + stem + ".mi", dir + "/../include/" + stem + ".mi"};
}

Plugin::Plugin(const std::string& path, Declarations declarations) : path_(path) {
    // dlopen would block on a FIFO and read a device for ever: regular files only.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || access(path.c_str(), R_OK) != 0)
        throw std::runtime_error("cannot open the plug-in " + path);
    if (!S_ISREG(st.st_mode)) throw std::runtime_error("the plug-in " + path + " is not a regular file");
    if (declarations == Declarations::Required)
        for (const std::string& candidate : declaration_candidates(path))
            if (access(candidate.c_str(), R_OK) == 0) {
                declaration_path_ = candidate;
                break;
            }
    // A path without a slash would make dlopen search the library path instead.
    const std::string open_path = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(open_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        throw std::runtime_error(path + " is not a loadable plug-in: " + (why ? why : "unknown error"));
    }
    if (declarations == Declarations::None) return;
    if (declaration_path_.empty())
        throw std::runtime_error("no shader declaration for " + path + " (looked for " +
                                 declaration_candidates(path)[0] + ")");
    declarations_ = read_declarations(declaration_path_);
    if (declarations_.empty()) throw std::runtime_error(declaration_path_ + " declares no shader");
    for (const ShaderDecl& d : declarations_) {
        const std::string mismatch = host::known_layout_mismatch(d, declaration_path_);
        if (!mismatch.empty()) warnings_.push_back(mismatch);
    }
}

Plugin::~Plugin() {
    // Plug-ins stay loaded: a renderer never unloads a library whose shaders it may
    // still reach through other libraries; the process ends soon after anyway.
}

void* Plugin::symbol(const char* name) const { return dlsym(handle_, name); }

ShaderEntry Plugin::shader(const std::string& name) const {
    const ShaderDecl* decl = nullptr;
    for (const ShaderDecl& d : declarations_)
        if (name.empty() || d.name == name) {
            decl = &d;
            break;
        }
    if (!decl) {
        const std::string& where = declaration_path_.empty() ? path_ : declaration_path_;
        throw std::runtime_error(where + " declares no shader " + name);
    }
    ShaderEntry entry;
    entry.decl = decl;
    entry.plugin = path_;
    entry.function = reinterpret_cast<ShaderFunction>(symbol(decl->name.c_str()));
    if (!entry.function) throw std::runtime_error(path_ + " has no entry point " + decl->name);
    const std::string version_name = decl->name + "_version";
    const auto version = reinterpret_cast<int (*)()>(symbol(version_name.c_str()));
    if (!version) throw std::runtime_error(path_ + " has no entry point " + version_name);
    const int found = version();
    if (found != decl->version)
        throw std::runtime_error(path_ + ": shader " + decl->name + " is version " + std::to_string(found) + " but " +
                                 declaration_path_ + " declares version " + std::to_string(decl->version));
    return entry;
}

}  // namespace qorn::render
