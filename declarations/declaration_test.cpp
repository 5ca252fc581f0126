// Shader declarations: the layouts the host builds must be the shaders' own records.
#include "declaration.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "qorn_texture.h"

namespace qorn::host {
namespace {

TEST(Declaration, QornMiLaysOutTheShadersOwnRecord) {
    const std::vector<ShaderDecl> decls = read_declarations(QORN_SOURCE_DIR "/shader/qorn.mi");
    ASSERT_EQ(decls.size(), 1u);
    const ShaderDecl& d = decls[0];
    EXPECT_EQ(d.name, "qorn_wireframetexture");
    EXPECT_EQ(d.result, ParamType::Color);
    EXPECT_EQ(d.version, QORN_WIREFRAMETEXTURE_VERSION);
    EXPECT_EQ(d.record_size, sizeof(wireframetexture_params));
    const std::pair<const char*, size_t> fields[] = {
        {"wire_color", offsetof(wireframetexture_params, wire_color)},
        {"fill_color", offsetof(wireframetexture_params, fill_color)},
        {"wire_width", offsetof(wireframetexture_params, wire_width)},
        {"single_edge", offsetof(wireframetexture_params, single_edge)},
        {"even_edge", offsetof(wireframetexture_params, even_edge)},
        {"odd_edge", offsetof(wireframetexture_params, odd_edge)}};
    ASSERT_EQ(d.params.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(d.params[i].name, fields[i].first);
        EXPECT_EQ(d.params[i].offset, fields[i].second) << fields[i].first;
    }
}

TEST(Declaration, DefaultsAndSeveralShadersPerFile) {
    const auto decls = parse_declarations(
        "declare shader color \"a\" (scalar \"s\" default 0.5, color \"c\" default 1 0.5 0 1,\n"
        " vector \"v\", boolean \"b\" default 1) version 2 end declare\n"
        "# another\n"
        "declare shader scalar \"b\" () end declare\n",
        "two.mi");
    ASSERT_EQ(decls.size(), 2u);
    EXPECT_EQ(decls[0].record_size, 4u + 16 + 12 + 4);
    EXPECT_EQ(decls[0].find("b")->offset, 32u);
    EXPECT_EQ(decls[0].find("c")->defaults, (std::vector<float>{1, 0.5f, 0, 1}));
    EXPECT_EQ(decls[1].result, ParamType::Scalar);
    EXPECT_EQ(decls[1].version, 0);
}

TEST(Declaration, ErrorsNameTheFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"declare shader color \"a\" (\n  colour \"x\") end declare", "bad.mi:2: unknown type 'colour'"},
        {"declare shader color \"a\" (scalar x) end declare", "bad.mi:1: expected a parameter name in double quotes"},
        {"declare shader color \"a\" (scalar \"x\", scalar \"x\") end declare", "bad.mi:1: parameter 'x' declared twice"},
        {"declare shader color \"a\" () version four end declare", "bad.mi:1: expected a number, found 'four'"},
        {"declare shader color \"a\" (\n", "bad.mi:1: expected a type before the end of the file"},
        {"\x7f" "ELF", "bad.mi:1: expected 'declare'"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            parse_declarations(text, "bad.mi");
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
        }
    }
}

}  // namespace
}  // namespace qorn::host
