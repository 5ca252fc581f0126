// Shader declarations: the layouts the host builds must be the shaders' own records.
#include "declaration.h"
#include "known_shaders.h"

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
    EXPECT_EQ(decls[0].find("c")->defaults, (std::vector<double>{1, 0.5, 0, 1}));
    EXPECT_EQ(decls[1].result, ParamType::Scalar);
    EXPECT_EQ(decls[1].version, 0);
}

TEST(Declaration, DefaultsKeepSubnormalsAndWholeNumbersExactly) {
    const auto decls = parse_declarations(
        "declare shader color \"a\" (scalar \"tiny\" default 1e-40, integer \"big\" default 2147483647,\n"
        " integer \"small\" default -2147483648) version 2147483647 end declare",
        "exact.mi");
    EXPECT_EQ(decls[0].find("tiny")->defaults[0], static_cast<double>(1e-40f));
    EXPECT_EQ(decls[0].find("big")->defaults[0], 2147483647.0);
    EXPECT_EQ(decls[0].find("small")->defaults[0], -2147483648.0);
    EXPECT_EQ(decls[0].version, 2147483647);
}

TEST(Declaration, ManyParametersAreReadInLinearTime) {
    // Duplicates are found through a hash set: 100,000 parameters parse at once.
    std::string text = "declare shader color \"many\" (\n";
    for (int i = 0; i < 100000; ++i) text += "scalar \"p" + std::to_string(i) + "\"\n";
    const auto decls = parse_declarations(text + ") end declare", "many.mi");
    EXPECT_EQ(decls[0].params.size(), 100000u);
    EXPECT_EQ(decls[0].record_size, 400000u);
    EXPECT_THROW(parse_declarations(text + "scalar \"p99999\") end declare", "many.mi"), std::runtime_error);
}

TEST(Declaration, KnownShadersWithAnotherLayoutAreNamed) {
    const std::vector<ShaderDecl> good = read_declarations(QORN_SOURCE_DIR "/shader/qorn.mi");
    EXPECT_EQ(known_layout_mismatch(good[0], "qorn.mi"), "");
    const std::pair<const char*, const char*> cases[] = {
        {"(color \"wire_color\")", "it declares 1 parameters in 16 bytes"},
        {"(color \"wire_color\", color \"fill_color\", scalar \"wire_width\", boolean \"single_edge\", "
         "integer \"even_edge\", scalar \"odd_edge\")",
         "parameter 6 is scalar 'odd_edge', the shader reads integer 'odd_edge'"},
        {"(color \"fill_color\", color \"wire_color\", scalar \"wire_width\", boolean \"single_edge\", "
         "integer \"even_edge\", integer \"odd_edge\")",
         "parameter 1 is color 'fill_color'"},
    };
    for (const auto& [params, expected] : cases) {
        const auto decls = parse_declarations(
            std::string("declare shader color \"qorn_wireframetexture\" ") + params + " version 4 end declare", "x.mi");
        EXPECT_NE(known_layout_mismatch(decls[0], "x.mi").find(expected), std::string::npos)
            << known_layout_mismatch(decls[0], "x.mi");
    }
    const auto other = parse_declarations("declare shader color \"mine\" (scalar \"s\") end declare", "m.mi");
    EXPECT_EQ(known_layout_mismatch(other[0], "m.mi"), "");
}

TEST(Declaration, ErrorsNameTheFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"declare shader color \"a\" (\n  colour \"x\") end declare", "bad.mi:2: unknown type 'colour'"},
        {"declare shader color \"a\" (scalar x) end declare", "bad.mi:1: expected a parameter name in double quotes"},
        {"declare shader color \"a\" (scalar \"x\", scalar \"x\") end declare", "bad.mi:1: parameter 'x' declared twice"},
        {"declare shader color \"a\" () version four end declare", "bad.mi:1: expected a version (a whole number"},
        {"declare shader color \"a\" () version 4.9 end declare", "bad.mi:1: expected a version (a whole number"},
        {"declare shader color \"a\" () version 1e30 end declare", "bad.mi:1: expected a version (a whole number"},
        {"declare shader color \"a\" () version nan end declare", "bad.mi:1: expected a version (a whole number"},
        {"declare shader color \"a\" () version 2147483648 end declare", "bad.mi:1: expected a version"},
        {"declare shader color \"a\" () version -1 end declare", "bad.mi:1: expected a version"},
        {"declare shader color \"a\" (integer \"i\" default 1e30) end declare", "bad.mi:1: expected a whole number"},
        {"declare shader color \"a\" (integer \"i\" default 2.5) end declare", "bad.mi:1: expected a whole number"},
        {"declare shader color \"a\" (boolean \"b\" default -2147483649) end declare", "bad.mi:1: expected a whole"},
        {"declare shader color \"a\" (scalar \"s\" default 1e39) end declare", "bad.mi:1: the number '1e39' is beyond"},
        {"declare shader color \"a\" (scalar \"s\" default 1 2) end declare", "bad.mi:1: the default of scalar 's' has more"},
        {"declare shader color \"a\" (color \"c\" default 1 2 3 4 5) end declare", "bad.mi:1: the default of color"},
        {"declare shader color \"a\" (scalar \"s\" default .) end declare", "bad.mi:1: expected a number, found '.'"},
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
