#include "declaration.h"

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <stdexcept>
#include <unordered_set>

namespace qorn::host {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
    int line = 0;
};

std::vector<Token> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    int line = 1;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
        } else if (c == '(' || c == ')') {
            tokens.push_back({std::string(1, c), false, line});
            ++i;
        } else if (c == '"') {
            const size_t end = text.find('"', i + 1);
            if (end == std::string::npos || text.find('\n', i) < end) {
                tokens.push_back({"\"", false, line});  // reported as unexpected by the parser
                break;
            }
            tokens.push_back({text.substr(i + 1, end - i - 1), true, line});
            i = end + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !isspace(static_cast<unsigned char>(text[end])) &&
                   text[end] != ',' && text[end] != '(' && text[end] != ')' && text[end] != '"' && text[end] != '#')
                ++end;
            tokens.push_back({text.substr(i, end - i), false, line});
            i = end;
        }
    }
    return tokens;
}

bool parse_type(const std::string& word, ParamType& type) {
    static const ParamType all[] = {ParamType::Color, ParamType::Scalar, ParamType::Boolean, ParamType::Integer,
                                    ParamType::Vector};
    for (ParamType t : all)
        if (word == type_name(t)) {
            type = t;
            return true;
        }
    return false;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, const std::string& where) : tokens_(std::move(tokens)), where_(where) {}

    std::vector<ShaderDecl> all() {
        std::vector<ShaderDecl> shaders;
        while (!done()) shaders.push_back(shader());
        return shaders;
    }

private:
    bool done() const { return pos_ >= tokens_.size(); }
    const Token& peek() const { return tokens_[pos_]; }

    [[noreturn]] void fail(const std::string& what) const {
        const int line = done() ? (tokens_.empty() ? 1 : tokens_.back().line) : peek().line;
        throw std::runtime_error(where_ + ":" + std::to_string(line) + ": " + what);
    }
    const Token& next(const char* expected) {
        if (done()) fail(std::string("expected ") + expected + " before the end of the file");
        return tokens_[pos_++];
    }
    void keyword(const char* word) {
        const Token& t = next(word);
        if (t.quoted || t.text != word) {
            --pos_;
            fail(std::string("expected '") + word + "', found '" + t.text + "'");
        }
    }
    bool accept(const char* word) {
        if (!done() && !peek().quoted && peek().text == word) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::string quoted(const char* what) {
        const Token& t = next(what);
        if (!t.quoted) {
            --pos_;
            fail(std::string("expected ") + what + " in double quotes, found '" + t.text + "'");
        }
        return t.text;
    }
    ParamType type() {
        const Token& t = next("a type");
        ParamType result;
        if (t.quoted || !parse_type(t.text, result)) {
            --pos_;
            fail("unknown type '" + t.text + "'");
        }
        return result;
    }
    /// A finite single-precision number (subnormals included), written in full.
    float real_number() {
        const Token& t = next("a number");
        char* end = nullptr;
        // strtof rounds once and gives infinity beyond the float range, never an
        // undefined conversion; "nan" and "inf" are words, not numbers, here.
        const float value = t.quoted || !starts_a_number(t.text) ? 0.0f : strtof(t.text.c_str(), &end);
        if (t.quoted || !starts_a_number(t.text) || *end != '\0') {
            --pos_;
            fail("expected a number, found '" + t.text + "'");
        }
        if (!isfinite(value)) {
            --pos_;
            fail("the number '" + t.text + "' is beyond the single-precision range");
        }
        return value;
    }
    /// A whole number from `lo` to `hi`, in decimal digits with an optional sign.
    int32_t whole_number(const char* what, long long lo, long long hi) {
        const Token& t = next(what);
        bool digits = !t.quoted && !t.text.empty() && t.text.size() <= 24;
        const size_t first = digits && (t.text[0] == '-' || t.text[0] == '+') ? 1 : 0;
        if (first == t.text.size()) digits = false;
        for (size_t i = first; digits && i < t.text.size(); ++i) digits = isdigit(static_cast<unsigned char>(t.text[i]));
        errno = 0;
        const long long value = digits ? strtoll(t.text.c_str(), nullptr, 10) : 0;
        if (!digits || errno != 0 || value < lo || value > hi) {
            --pos_;
            fail(std::string("expected ") + what + " (a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi) + "), found '" + t.text + "'");
        }
        return static_cast<int32_t>(value);
    }
    static bool starts_a_number(const std::string& text) {
        if (text.empty()) return false;
        const char c = text[0];
        return isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
    }
    bool number_follows() const {
        if (done() || peek().quoted) return false;
        const char c = peek().text[0];
        return isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
    }

    ShaderDecl shader() {
        keyword("declare");
        keyword("shader");
        ShaderDecl decl;
        std::unordered_set<std::string> names;  // a linear check for repeated names
        decl.result = type();
        decl.name = quoted("the shader's name");
        keyword("(");
        while (!accept(")")) {
            ParamDecl param;
            param.type = type();
            param.name = quoted("a parameter name");
            if (!names.insert(param.name).second) fail("parameter '" + param.name + "' declared twice");
            if (accept("default")) {
                const size_t most = type_size(param.type) / 4;
                const bool whole = param.type == ParamType::Integer || param.type == ParamType::Boolean;
                while (number_follows()) {
                    if (param.defaults.size() == most)
                        fail("the default of " + std::string(type_name(param.type)) + " '" + param.name +
                             "' has more than " + std::to_string(most) + (most == 1 ? " number" : " numbers"));
                    param.defaults.push_back(whole ? whole_number("a whole number", INT32_MIN, INT32_MAX)
                                                   : static_cast<double>(real_number()));
                }
            }
            param.offset = decl.record_size;
            decl.record_size += type_size(param.type);
            decl.params.push_back(param);
        }
        while (!accept("end")) {
            if (accept("version")) {
                decl.version = whole_number("a version", 0, INT32_MAX);
            } else if (accept("apply")) {
                next("what the shader applies to");
            } else {
                fail("unexpected '" + next("end declare").text + "' in the declaration of " + decl.name);
            }
        }
        keyword("declare");
        return decl;
    }

    std::vector<Token> tokens_;
    std::string where_;
    size_t pos_ = 0;
};

}  // namespace

const char* type_name(ParamType type) {
    switch (type) {
        case ParamType::Color: return "color";
        case ParamType::Scalar: return "scalar";
        case ParamType::Boolean: return "boolean";
        case ParamType::Integer: return "integer";
        case ParamType::Vector: return "vector";
    }
    return "?";
}

size_t type_size(ParamType type) {
    switch (type) {
        case ParamType::Color: return 16;
        case ParamType::Vector: return 12;
        default: return 4;
    }
}

const ParamDecl* ShaderDecl::find(const std::string& wanted) const {
    for (const ParamDecl& p : params)
        if (p.name == wanted) return &p;
    return nullptr;
}

std::vector<ShaderDecl> parse_declarations(const std::string& text, const std::string& where) {
    return Parser(tokenize(text), where).all();
}

std::vector<ShaderDecl> read_declarations(const std::string& path) {
    // A FIFO or a device would block or never end: only regular files of a sane size.
    struct stat st;
    if (stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot read the shader declaration " + path);
    if (!S_ISREG(st.st_mode))
        throw std::runtime_error("the shader declaration " + path + " is not a regular file");
    if (st.st_size > kMaxDeclarationBytes)
        throw std::runtime_error("the shader declaration " + path + " is larger than " +
                                 std::to_string(kMaxDeclarationBytes >> 20) + " MiB");
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot read the shader declaration " + path);
    std::string text;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
        if (text.size() > static_cast<size_t>(kMaxDeclarationBytes)) break;  // it grew while being read
    }
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) throw std::runtime_error("cannot read the shader declaration " + path);
    if (text.size() > static_cast<size_t>(kMaxDeclarationBytes))
        throw std::runtime_error("the shader declaration " + path + " is larger than " +
                                 std::to_string(kMaxDeclarationBytes >> 20) + " MiB");
    return parse_declarations(text, path);
}

}  // namespace qorn::host
