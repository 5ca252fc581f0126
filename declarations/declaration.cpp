#include "declaration.h"

#include <ctype.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

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
    float number() {
        const Token& t = next("a number");
        char* end = nullptr;
        const float value = strtof(t.text.c_str(), &end);
        if (t.quoted || t.text.empty() || *end != '\0') {
            --pos_;
            fail("expected a number, found '" + t.text + "'");
        }
        return value;
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
        decl.result = type();
        decl.name = quoted("the shader's name");
        keyword("(");
        while (!accept(")")) {
            ParamDecl param;
            param.type = type();
            param.name = quoted("a parameter name");
            if (decl.find(param.name)) fail("parameter '" + param.name + "' declared twice");
            if (accept("default"))
                while (number_follows()) param.defaults.push_back(number());
            param.offset = decl.record_size;
            decl.record_size += type_size(param.type);
            decl.params.push_back(param);
        }
        while (!accept("end")) {
            if (accept("version")) {
                decl.version = static_cast<int>(number());
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
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read the shader declaration " + path);
    std::stringstream text;
    text << in.rdbuf();
    return parse_declarations(text.str(), path);
}

}  // namespace qorn::host
