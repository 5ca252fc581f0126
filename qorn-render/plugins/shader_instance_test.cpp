// Parameter records: values by name and type, and connection flag words.
#include "plugins/shader_instance.h"

#include <gtest/gtest.h>
#include <string.h>

#include <stdexcept>

namespace qorn::render {
namespace {

const ShaderDecl& test_decl() {
    static const std::vector<ShaderDecl> decls = parse_declarations(
        "declare shader color \"t\" (color \"c\", scalar \"s\" default 2, boolean \"b\", integer \"i\", "
        "vector \"v\") version 1 end declare\n"
        "declare shader scalar \"scalar_source\" () end declare",
        "t.mi");
    return decls[0];
}

ShaderEntry entry(const ShaderDecl& decl) {
    ShaderEntry e;
    e.decl = &decl;
    return e;
}

template <class T>
T at(const ShaderInstance& s, size_t offset) {
    T value;
    memcpy(&value, static_cast<const char*>(s.record()) + offset, sizeof value);
    return value;
}

TEST(ShaderInstance, ValuesAreParsedByTheParametersType) {
    ShaderInstance s(entry(test_decl()));
    EXPECT_EQ(at<float>(s, 16), 2.0f);  // declared default
    s.set("c", "0.25,0.5,0.75");
    const miColor c = at<miColor>(s, 0);
    EXPECT_EQ(c.r, 0.25f);
    EXPECT_EQ(c.b, 0.75f);
    EXPECT_EQ(c.a, 1.0f);  // alpha left out: opaque
    s.set("c", "0 0 0 0.5");
    EXPECT_EQ(at<miColor>(s, 0).a, 0.5f);
    s.set("s", "-1.5e-2");
    EXPECT_EQ(at<float>(s, 16), -1.5e-2f);
    s.set("b", "on");
    EXPECT_EQ(at<int32_t>(s, 20), 1);
    s.set("b", "False");
    EXPECT_EQ(at<int32_t>(s, 20), 0);
    s.set("i", "-3");
    EXPECT_EQ(at<int32_t>(s, 24), -3);
    s.set("v", "1,2,3");
    EXPECT_EQ(at<miVector>(s, 28).z, 3.0f);
    EXPECT_EQ(s.desc()->connection_offset, 0);
}

TEST(ShaderInstance, WrongValuesAndNamesAreRefused) {
    ShaderInstance s(entry(test_decl()));
    const std::pair<const char*, const char*> bad[] = {
        {"c", "1,2"},      {"c", "1,2,3,4,5"}, {"c", "red"}, {"s", "abc"},   {"s", "1 2"}, {"s", ""},
        {"b", "maybe"},    {"i", "1.5"},       {"i", "99999999999"},         {"v", "1,2"}, {"nope", "1"},
    };
    for (const auto& [name, value] : bad) EXPECT_THROW(s.set(name, value), std::runtime_error) << name << "=" << value;
}

TEST(ShaderInstance, ConnectingSetsTheFlagWordsOfThatParameterOnly) {
    static const std::vector<ShaderDecl> sources = parse_declarations(
        "declare shader color \"colour_source\" () end declare declare shader scalar \"scalar_source\" () end declare",
        "s.mi");
    ShaderInstance s(entry(test_decl()));
    EXPECT_THROW(s.connect("c", std::make_unique<ShaderInstance>(entry(sources[1]))), std::runtime_error);
    s.connect("c", std::make_unique<ShaderInstance>(entry(sources[0])));
    const size_t size = test_decl().record_size;
    ASSERT_EQ(s.desc()->connection_offset, static_cast<miInteger>(size));
    for (size_t offset = 0; offset < size; offset += 4)
        EXPECT_EQ(at<uint32_t>(s, size + offset) != 0, offset < 16) << offset;
    EXPECT_NE(s.source_at(0), nullptr);
    EXPECT_EQ(s.source_at(16), nullptr);
    EXPECT_EQ(s.connected("c"), s.source_at(0));
}

}  // namespace
}  // namespace qorn::render
