// The command line's number parsing on arbitrary text: whatever it accepts is finite
// and in range, and whatever it refuses is refused with a std::runtime_error, never a
// crash or an undefined conversion (the fuzz build traps those). Parameter values set
// from the text read back as the same words.
//
// Input layout: one byte choosing the reader, then the text.
#include <float.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <stdexcept>
#include <string>

#include "fuzz_input.h"
#include "plugins/numbers.h"
#include "plugins/shader_instance.h"

using namespace qorn;
using namespace qorn::render;
using fuzz::finding;

namespace {

const ShaderDecl& every_type() {
    static const std::vector<ShaderDecl> decls = parse_declarations(
        "declare shader color \"t\" (color \"c\", scalar \"s\", boolean \"b\", integer \"i\", vector \"v\") end declare",
        "t.mi");
    return decls[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 6) {
        case 0: {
            float f;
            if (parse_float(text, f) && !isfinite(f)) finding("parse_float accepted a non-finite value");
            double d;
            if (parse_double(text, d) && !isfinite(d)) finding("parse_double accepted a non-finite value");
            int32_t i;
            if (parse_int32(text, i)) {
                const size_t first = text[0] == '-' || text[0] == '+' ? 1 : 0;
                if (text.find_first_not_of("0123456789", first) != std::string::npos)
                    finding("parse_int32 accepted more than digits");
                if (strtoll(text.c_str(), nullptr, 10) != i) finding("parse_int32 read another number than written");
            }
            break;
        }
        case 1:
            try {
                const double v = number_in(text, "--fov", 1, 170);
                if (!(v >= 1 && v <= 170)) finding("number_in out of range");
            } catch (const std::runtime_error&) {
            }
            try {
                const double v = number_in(text, "--scale", 0, 1e30, true);
                if (!(v > 0 && v <= 1e30)) finding("number_in out of an open range");
            } catch (const std::runtime_error&) {
            }
            break;
        case 2:
            try {
                const Vec3 v = vec3_in(text, "--eye", 1e12);
                if (!(fabs(v.x) <= 1e12 && fabs(v.y) <= 1e12 && fabs(v.z) <= 1e12)) finding("vec3_in out of range");
            } catch (const std::runtime_error&) {
            }
            break;
        case 3:
            try {
                const std::vector<float> c = floats_in(text, "--background", 3);
                if (c.size() != 3) finding("floats_in gave another count");
                for (float f : c)
                    if (!isfinite(f)) finding("floats_in accepted a non-finite value");
            } catch (const std::runtime_error&) {
            }
            break;
        default: {
            ShaderEntry entry;
            entry.decl = &every_type();
            ShaderInstance shader(entry);
            for (const char* name : {"c", "s", "b", "i", "v"}) {
                try {
                    shader.set(name, text);
                } catch (const std::runtime_error&) {
                    continue;
                }
                const std::string shown = shader.value_text(name);
                std::vector<uint8_t> before(64);
                memcpy(before.data(), shader.record(), 64);
                shader.set(name, shown);
                if (memcmp(before.data(), shader.record(), 64) != 0) finding("a value that does not read back");
            }
            break;
        }
    }
    return 0;
}
