// qorn.mi as it lies beside the built qorn.so, against the parameter record the shader
// reads and the version its exported entry reports.
#include <gtest/gtest.h>

#include <stddef.h>

#include "declaration.h"
#include "plugin_symbols.h"
#include "qorn_texture.h"

namespace {

using qorn::host::ParamType;

TEST(ShaderDeclaration, MatchesTheParameterRecordAndTheVersion) {
    const std::vector<qorn::host::ShaderDecl> decls =
        qorn::host::read_declarations(QORN_DECLARATION_PATH);
    ASSERT_EQ(decls.size(), 1u);
    const qorn::host::ShaderDecl& d = decls[0];
    EXPECT_EQ(d.name, "qorn_wireframetexture");
    EXPECT_EQ(d.result, ParamType::Color);

    const struct {
        ParamType type;
        const char* name;
        size_t offset;
    } expected[] = {
        {ParamType::Color, "wire_color", offsetof(wireframetexture_params, wire_color)},
        {ParamType::Color, "fill_color", offsetof(wireframetexture_params, fill_color)},
        {ParamType::Scalar, "wire_width", offsetof(wireframetexture_params, wire_width)},
        {ParamType::Boolean, "single_edge", offsetof(wireframetexture_params, single_edge)},
        {ParamType::Integer, "even_edge", offsetof(wireframetexture_params, even_edge)},
        {ParamType::Integer, "odd_edge", offsetof(wireframetexture_params, odd_edge)}};
    ASSERT_EQ(d.params.size(), std::size(expected));
    for (size_t i = 0; i < d.params.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(d.params[i].type, expected[i].type);
        EXPECT_EQ(d.params[i].name, expected[i].name);
        EXPECT_EQ(d.params[i].offset, expected[i].offset);
    }
    EXPECT_EQ(d.record_size, sizeof(wireframetexture_params));

    qorn::test::Plugin plugin(qorn::test::plugin_path());
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const auto version = plugin.find<int (*)()>("qorn_wireframetexture_version");
    ASSERT_TRUE(version) << plugin.error();
    EXPECT_EQ(d.version, version());
    EXPECT_EQ(d.version, 4);
}

}  // namespace
