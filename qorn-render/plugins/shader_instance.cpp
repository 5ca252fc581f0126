#include "plugins/shader_instance.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <stdexcept>

#include "plugins/numbers.h"

namespace qorn::render {

namespace {

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

bool parse_bool(const std::string& text, int32_t& value) {
    for (const char* yes : {"true", "on", "yes", "1"})
        if (strcasecmp(text.c_str(), yes) == 0) return value = 1, true;
    for (const char* no : {"false", "off", "no", "0"})
        if (strcasecmp(text.c_str(), no) == 0) return value = 0, true;
    return false;
}

/// The words of a value of `type` from text, or false when the text is not one.
bool parse_value(ParamType type, const std::string& text, std::vector<uint32_t>& words) {
    const std::vector<std::string> parts = split(text);
    words.clear();
    auto push_float = [&](float f) {
        uint32_t w;
        memcpy(&w, &f, 4);
        words.push_back(w);
    };
    switch (type) {
        case ParamType::Color:
        case ParamType::Vector: {
            const size_t need = type == ParamType::Color ? 4 : 3;
            if (parts.size() != need && !(type == ParamType::Color && parts.size() == 3)) return false;
            for (const std::string& p : parts) {
                float f;
                if (!parse_float(p, f)) return false;
                push_float(f);
            }
            if (words.size() < need) push_float(1.0f);  // opaque unless told otherwise
            return true;
        }
        case ParamType::Scalar: {
            float f;
            if (parts.size() != 1 || !parse_float(parts[0], f)) return false;
            push_float(f);
            return true;
        }
        case ParamType::Integer:
        case ParamType::Boolean: {
            int32_t i;
            if (parts.size() != 1 || !(type == ParamType::Integer ? parse_int32(parts[0], i) : parse_bool(parts[0], i)))
                return false;
            words.push_back(static_cast<uint32_t>(i));
            return true;
        }
    }
    return false;
}

const char* value_form(ParamType type) {
    switch (type) {
        case ParamType::Color: return "3 or 4 finite single-precision numbers";
        case ParamType::Vector: return "3 finite single-precision numbers";
        case ParamType::Scalar: return "a finite single-precision number";
        case ParamType::Integer: return "a whole number from -2147483648 to 2147483647";
        case ParamType::Boolean: return "true or false";
    }
    return "?";
}

/// "a color", "an integer", ...
std::string a_type(ParamType type) {
    return (type == ParamType::Integer ? "an " : "a ") + std::string(type_name(type));
}

}  // namespace

ShaderInstance::ShaderInstance(const ShaderEntry& entry)
    : entry_(entry), words_((entry.decl->record_size + kRecordSlackBytes) / 4, 0), sources_(entry.decl->params.size()) {
    for (const ParamDecl& p : decl().params) {
        const size_t n = type_size(p.type) / 4;
        for (size_t i = 0; i < n && i < p.defaults.size(); ++i) {
            // The reader keeps defaults within what each type holds: these are exact.
            if (p.type == ParamType::Integer || p.type == ParamType::Boolean) {
                words_[p.offset / 4 + i] = static_cast<uint32_t>(static_cast<int32_t>(p.defaults[i]));
            } else {
                const float f = static_cast<float>(p.defaults[i]);
                memcpy(&words_[p.offset / 4 + i], &f, 4);
            }
        }
    }
}

const ParamDecl& ShaderInstance::param(const std::string& name) const {
    const ParamDecl* p = decl().find(name);
    if (!p) throw std::runtime_error("shader " + decl().name + " has no parameter " + name);
    return *p;
}

void ShaderInstance::set(const std::string& name, const std::string& value) {
    const ParamDecl& p = param(name);
    std::vector<uint32_t> words;
    if (!parse_value(p.type, value, words))
        throw std::runtime_error("parameter " + name + " of " + decl().name + " is " + a_type(p.type) + " (" +
                                 value_form(p.type) + "), not '" + value + "'");
    memcpy(&words_[p.offset / 4], words.data(), words.size() * 4);
}

void ShaderInstance::connect(const std::string& name, std::unique_ptr<ShaderInstance> source) {
    const ParamDecl& p = param(name);
    if (source->decl().result != p.type)
        throw std::runtime_error("cannot connect " + name + " (" + a_type(p.type) + ") to shader " +
                                 source->decl().name + ", which returns " + a_type(source->decl().result));
    const size_t index = static_cast<size_t>(&p - decl().params.data());
    if (index >= kMaxConnectedParams)
        throw std::runtime_error("cannot connect " + name + ": only the first " + std::to_string(kMaxConnectedParams) +
                                 " parameters of a shader can be connected");
    const size_t record_words = decl().record_size / 4;
    if (desc_.connection_offset == 0) {
        desc_.connection_offset = static_cast<miInteger>(decl().record_size);
        words_.resize(2 * record_words + kRecordSlackBytes / 4, 0);
    }
    for (size_t w = 0; w < type_size(p.type) / 4; ++w) words_[record_words + p.offset / 4 + w] = 1;
    sources_[index] = std::move(source);
}

std::string ShaderInstance::value_text(const std::string& name) const {
    const ParamDecl& p = param(name);
    const uint32_t* w = &words_[p.offset / 4];
    auto real = [&](size_t i) {
        float f;
        memcpy(&f, &w[i], 4);
        // The shortest text that reads back as the same float.
        char text[32];
        for (int digits = 6; digits <= 9; ++digits) {
            snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(f));
            if (strtof(text, nullptr) == f) break;
        }
        return std::string(text);
    };
    switch (p.type) {
        case ParamType::Color: return real(0) + "," + real(1) + "," + real(2) + "," + real(3);
        case ParamType::Vector: return real(0) + "," + real(1) + "," + real(2);
        case ParamType::Scalar: return real(0);
        case ParamType::Integer: return std::to_string(static_cast<int32_t>(w[0]));
        case ParamType::Boolean: return w[0] ? "true" : "false";
    }
    return "?";
}

ShaderInstance* ShaderInstance::connected(const std::string& name) const {
    const ParamDecl& p = param(name);
    return sources_[static_cast<size_t>(&p - decl().params.data())].get();
}

std::unique_ptr<ShaderInstance> ShaderInstance::release(const std::string& name) {
    const ParamDecl& p = param(name);
    std::unique_ptr<ShaderInstance>& source = sources_[static_cast<size_t>(&p - decl().params.data())];
    if (source)
        for (size_t w = 0; w < type_size(p.type) / 4; ++w) words_[decl().record_size / 4 + p.offset / 4 + w] = 0;
    return std::move(source);
}

int ShaderInstance::index_at(size_t offset) const {
    for (size_t i = 0; i < decl().params.size(); ++i)
        if (decl().params[i].offset == offset) return static_cast<int>(i);
    return -1;
}

const ShaderInstance* ShaderInstance::source_at(size_t offset) const {
    const int i = index_at(offset);
    return i < 0 ? nullptr : sources_[static_cast<size_t>(i)].get();
}

}  // namespace qorn::render
