// qorn.mi, the declaration scene files include, against the parameter record the
// shader reads and the version it reports.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plugin_symbols.h"
#include "qorn_texture.h"

namespace {

/// The words of a declaration: names without their quotes, punctuation on its own,
/// comments (from '#' to the end of the line) dropped.
std::vector<std::string> words(std::istream& in) {
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        for (size_t i = 0; i < line.size();) {
            const char c = line[i];
            if (isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '(' || c == ')' || c == ',') {
                out.emplace_back(1, c);
                ++i;
            } else if (c == '"') {
                const size_t end = line.find('"', i + 1);
                out.push_back(line.substr(i + 1, end - i - 1));
                i = end == std::string::npos ? line.size() : end + 1;
            } else {
                size_t end = i;
                while (end < line.size() && !isspace(static_cast<unsigned char>(line[end])) &&
                       line[end] != '(' && line[end] != ')' && line[end] != ',') {
                    ++end;
                }
                out.push_back(line.substr(i, end - i));
                i = end;
            }
        }
    }
    return out;
}

struct Declared {
    std::string result_type, name;
    std::vector<std::pair<std::string, std::string>> parameters;  // type, name
    int version = -1;
};

/// Reads "declare shader TYPE NAME ( TYPE NAME, ... ) ... version N ... end declare".
Declared parse(const std::vector<std::string>& w) {
    Declared d;
    size_t i = 0;
    auto next = [&]() -> std::string { return i < w.size() ? w[i++] : std::string(); };
    if (next() != "declare" || next() != "shader") return d;
    d.result_type = next();
    d.name = next();
    if (next() != "(") return d;
    for (std::string type = next(); type != ")" && !type.empty(); type = next()) {
        if (type == ",") continue;
        d.parameters.emplace_back(type, next());
    }
    for (std::string word = next(); !word.empty() && word != "end"; word = next()) {
        if (word == "version") d.version = std::stoi(next());
    }
    if (next() != "declare") d.version = -1;
    return d;
}

/// Size of each declared type in the record the renderer builds: 4-byte aligned.
size_t size_of(const std::string& type) {
    if (type == "color") return sizeof(miColor);
    if (type == "scalar") return sizeof(miScalar);
    if (type == "boolean") return sizeof(miBoolean);
    if (type == "integer") return sizeof(miInteger);
    return 0;
}

TEST(ShaderDeclaration, MatchesTheParameterRecordAndTheVersion) {
    std::ifstream file(QORN_DECLARATION_PATH);
    ASSERT_TRUE(file) << QORN_DECLARATION_PATH;
    const Declared d = parse(words(file));

    EXPECT_EQ(d.name, "qorn_wireframetexture");
    EXPECT_EQ(d.result_type, "color");

    const struct {
        const char* type;
        const char* name;
        size_t offset;
    } expected[] = {{"color", "wire_color", offsetof(wireframetexture_params, wire_color)},
                    {"color", "fill_color", offsetof(wireframetexture_params, fill_color)},
                    {"scalar", "wire_width", offsetof(wireframetexture_params, wire_width)},
                    {"boolean", "single_edge", offsetof(wireframetexture_params, single_edge)},
                    {"integer", "even_edge", offsetof(wireframetexture_params, even_edge)},
                    {"integer", "odd_edge", offsetof(wireframetexture_params, odd_edge)}};
    ASSERT_EQ(d.parameters.size(), std::size(expected));
    size_t offset = 0;
    for (size_t i = 0; i < d.parameters.size(); ++i) {
        const auto& [type, name] = d.parameters[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(type, expected[i].type);
        EXPECT_EQ(name, expected[i].name);
        EXPECT_EQ(offset, expected[i].offset);
        ASSERT_NE(size_of(type), 0u) << "unknown type " << type;
        offset += size_of(type);
    }
    EXPECT_EQ(offset, sizeof(wireframetexture_params));

    qorn::test::Plugin plugin(qorn::test::plugin_path());
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const auto version = plugin.find<int (*)()>("qorn_wireframetexture_version");
    ASSERT_TRUE(version) << plugin.error();
    EXPECT_EQ(d.version, version());
    EXPECT_EQ(d.version, 4);
}

}  // namespace
