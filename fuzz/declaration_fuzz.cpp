// The .mi declaration reader on arbitrary text: it either refuses with a
// std::runtime_error or returns declarations whose layout holds what the host relies
// on (consecutive offsets, unique names, defaults within their type), and a parameter
// record built from them reads back every value it was given.
#include <math.h>
#include <stdint.h>

#include <stdexcept>
#include <string>
#include <unordered_set>

#include "declaration.h"
#include "fuzz_input.h"
#include "known_shaders.h"
#include "plugins/shader_instance.h"

using namespace qorn;
using fuzz::finding;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<host::ShaderDecl> decls;
    try {
        decls = host::parse_declarations(text, "fuzz.mi");
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()).rfind("fuzz.mi:", 0) != 0) finding("a message that does not name the file");
        return 0;
    }
    for (const host::ShaderDecl& d : decls) {
        if (d.version < 0) finding("a negative version");
        size_t offset = 0;
        std::unordered_set<std::string> names;
        for (const host::ParamDecl& p : d.params) {
            if (p.offset != offset) finding("parameters not laid out one after the other");
            offset += host::type_size(p.type);
            if (!names.insert(p.name).second) finding("a parameter declared twice was accepted");
            if (p.defaults.size() > host::type_size(p.type) / 4) finding("more defaults than the type holds");
            const bool whole = p.type == host::ParamType::Integer || p.type == host::ParamType::Boolean;
            for (double v : p.defaults) {
                if (!isfinite(v)) finding("a default that is not finite");
                if (whole && (v != floor(v) || v < INT32_MIN || v > INT32_MAX)) finding("an integer default out of range");
                if (!whole && static_cast<double>(static_cast<float>(v)) != v) finding("a default that is no float");
            }
        }
        if (offset != d.record_size) finding("record size is not the sum of the parameters");
        host::known_layout_mismatch(d, "fuzz.mi");

        // The host's record: every value it prints reads back to the same value.
        render::ShaderEntry entry;
        entry.decl = &d;
        render::ShaderInstance instance(entry);
        for (size_t i = 0; i < d.params.size() && i < 64; ++i) {
            const std::string before = instance.value_text(d.params[i].name);
            instance.set(d.params[i].name, before);
            if (instance.value_text(d.params[i].name) != before) finding("a value that does not read back");
        }
    }
    return 0;
}
