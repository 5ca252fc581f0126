// PLY, ASCII and binary of either byte order: the x, y, z of the "vertex" element and
// the corner lists of the "face" element ("vertex_indices" or "vertex_index"); other
// properties and elements are read past. One mesh per file. The header's counts are
// checked against the file's size before anything is set aside for them, so a header
// cannot make the reader claim memory the file does not back.
#include <string.h>

#include <algorithm>
#include <stdexcept>

#include "mesh/mesh_reading.h"
#include "mesh/mesh_readers.h"

namespace qorn::render {

namespace {

using mesh::fail;

enum class Type { int8, uint8, int16, uint16, int32, uint32, float32, float64 };

struct Property {
    std::string name;
    Type type = Type::float32;
    bool list = false;
    Type count_type = Type::uint8;
};

struct Element {
    std::string name;
    uint64_t count = 0;
    std::vector<Property> properties;
    int x = -1, y = -1, z = -1, corners = -1;  ///< the properties this reader uses
};

enum class Encoding { ascii, little, big };

size_t size_of(Type t) {
    switch (t) {
        case Type::int8:
        case Type::uint8: return 1;
        case Type::int16:
        case Type::uint16: return 2;
        case Type::int32:
        case Type::uint32:
        case Type::float32: return 4;
        case Type::float64: return 8;
    }
    return 1;
}

bool is_integer(Type t) { return t != Type::float32 && t != Type::float64; }

bool type_named(std::string_view word, Type& type) {
    static const std::pair<const char*, Type> names[] = {
        {"char", Type::int8},     {"int8", Type::int8},       {"uchar", Type::uint8},     {"uint8", Type::uint8},
        {"short", Type::int16},   {"int16", Type::int16},     {"ushort", Type::uint16},   {"uint16", Type::uint16},
        {"int", Type::int32},     {"int32", Type::int32},     {"uint", Type::uint32},     {"uint32", Type::uint32},
        {"float", Type::float32}, {"float32", Type::float32}, {"double", Type::float64}, {"float64", Type::float64}};
    for (const auto& [n, t] : names)
        if (word == n) {
            type = t;
            return true;
        }
    return false;
}

struct Header {
    Encoding encoding = Encoding::ascii;
    std::vector<Element> elements;
    size_t body = 0;        ///< offset of the first byte after the header
    size_t body_line = 0;   ///< the number of the header's last line
};

Header read_header(const char* data, size_t size, const std::string& name) {
    mesh::TextLines lines(data, size, name, nullptr);  // the header is small
    std::string_view line, word;
    if (!lines.next(line) || mesh::trimmed(line) != "ply") fail(name, "not a PLY file (no 'ply' line first)");
    Header h;
    bool format = false;
    while (true) {
        if (!lines.next(line)) fail(name, "the PLY header has no end_header line");
        if (!mesh::next_word(line, word) || word == "comment" || word == "obj_info") continue;
        if (word == "end_header") break;
        if (word == "format") {
            std::string_view version;
            mesh::next_word(line, word);
            mesh::next_word(line, version);
            if (word == "ascii") h.encoding = Encoding::ascii;
            else if (word == "binary_little_endian") h.encoding = Encoding::little;
            else if (word == "binary_big_endian") h.encoding = Encoding::big;
            else fail(lines.where(), "unknown PLY format '" + std::string(word.substr(0, 40)) + "'");
            if (version != "1.0") fail(lines.where(), "PLY version " + std::string(version.substr(0, 20)) + " (1.0 is known)");
            format = true;
        } else if (word == "element") {
            Element e;
            std::string_view count;
            if (!mesh::next_word(line, word) || !mesh::next_word(line, count))
                fail(lines.where(), "an element needs a name and a count");
            e.name = std::string(word);
            const int64_t n = mesh::whole_number(count, lines.where());
            if (n < 0) fail(lines.where(), "negative element count");
            e.count = static_cast<uint64_t>(n);
            h.elements.push_back(std::move(e));
        } else if (word == "property") {
            if (h.elements.empty()) fail(lines.where(), "a property before any element");
            Property p;
            if (!mesh::next_word(line, word)) fail(lines.where(), "a property needs a type");
            if (word == "list") {
                p.list = true;
                if (!mesh::next_word(line, word) || !type_named(word, p.count_type) || !is_integer(p.count_type))
                    fail(lines.where(), "a list's count type must be an integer type");
                if (!mesh::next_word(line, word)) fail(lines.where(), "a list needs an item type");
            }
            if (!type_named(word, p.type)) fail(lines.where(), "unknown PLY type '" + std::string(word.substr(0, 40)) + "'");
            if (!mesh::next_word(line, word)) fail(lines.where(), "a property needs a name");
            p.name = std::string(word);
            Element& e = h.elements.back();
            const int index = static_cast<int>(e.properties.size());
            if (!p.list && p.name == "x") e.x = index;
            if (!p.list && p.name == "y") e.y = index;
            if (!p.list && p.name == "z") e.z = index;
            if (p.list && (p.name == "vertex_indices" || p.name == "vertex_index")) {
                if (!is_integer(p.type)) fail(lines.where(), "vertex indices must be of an integer type");
                e.corners = index;
            }
            e.properties.push_back(std::move(p));
        }
        // Any other line is taken as a comment: some exporters wrote comments without
        // the keyword.
    }
    if (!format) fail(name, "the PLY header has no format line");
    h.body = lines.offset();
    h.body_line = lines.number();
    return h;
}

/// The values of a PLY body, one at a time, in the file's encoding.
class Values {
public:
    Values(const char* data, size_t size, const Header& h, const std::string& name, const LoadProgress& progress)
        : data_(data), size_(size), at_(h.body), line_(h.body_line + 1), encoding_(h.encoding), name_(name),
          progress_(progress) {}

    /// The next value, of type `t`; an integer type gives an exact whole number.
    double next(Type t) {
        if (encoding_ == Encoding::ascii) return next_word(t);
        const size_t n = size_of(t);
        if (size_ - at_ < n) fail(name_, "the file ends before the data its header describes");
        unsigned char b[8];
        memcpy(b, data_ + at_, n);
        at_ += n;
        if (encoding_ == Encoding::big) std::reverse(b, b + n);
        switch (t) {
            case Type::int8: return static_cast<int8_t>(b[0]);
            case Type::uint8: return b[0];
            case Type::int16: { int16_t v; memcpy(&v, b, 2); return v; }
            case Type::uint16: { uint16_t v; memcpy(&v, b, 2); return v; }
            case Type::int32: { int32_t v; memcpy(&v, b, 4); return v; }
            case Type::uint32: { uint32_t v; memcpy(&v, b, 4); return v; }
            case Type::float32: { float v; memcpy(&v, b, 4); return v; }
            case Type::float64: { double v; memcpy(&v, b, 8); return v; }
        }
        return 0;
    }

    /// Where the last value came from: its line for ASCII, else the element and item.
    mesh::Where where(const Element& e, uint64_t item) const {
        if (encoding_ == Encoding::ascii) return {name_, word_line_};
        return {name_, 0, e.name.c_str(), item};
    }

    void report() {
        if (progress_ && at_ >= next_report_) {
            progress_(static_cast<double>(at_) / static_cast<double>(size_));
            next_report_ = at_ + (size_t{4} << 20);
        }
    }

    size_t remaining() const { return size_ - at_; }

private:
    static bool separates(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

    double next_word(Type t) {
        while (at_ < size_ && separates(data_[at_])) {
            if (data_[at_] == '\n') ++line_;
            ++at_;
        }
        word_line_ = line_;
        const size_t start = at_;
        while (at_ < size_ && !separates(data_[at_])) ++at_;
        const mesh::Where where{name_, line_};
        if (at_ == start) fail(where, "the file ends before the data its header describes");
        const std::string_view word(data_ + start, at_ - start);
        if (is_integer(t)) return static_cast<double>(mesh::whole_number(word, where));
        return mesh::number(word, where);
    }

    const char* data_;
    size_t size_, at_, line_, word_line_ = 0, next_report_ = 0;
    Encoding encoding_;
    const std::string& name_;
    const LoadProgress& progress_;
};

/// The fewest bytes one item of `e` takes in the body.
size_t smallest_item(const Element& e, Encoding encoding) {
    size_t n = 0;
    for (const Property& p : e.properties)
        n += encoding == Encoding::ascii ? 2 : size_of(p.list ? p.count_type : p.type);  // "0 " at least
    return n;
}

}  // namespace

Scene parse_ply(const char* data, size_t size, const std::string& name, const LoadProgress& progress) {
    const Header h = read_header(data, size, name);
    const size_t body = size - h.body;
    uint64_t vertex_count = 0;
    int vertices_seen = 0;
    for (const Element& e : h.elements) {
        const size_t item = smallest_item(e, h.encoding);
        // One byte of slack: an ASCII file may end without a last separator.
        if (item > 0 && e.count > (body + 1) / item)
            fail(name, "the header promises " + std::to_string(e.count) + " " + e.name + " items of " +
                           std::to_string(item) + " bytes or more, but " + std::to_string(body) +
                           " bytes follow the header");
        if (e.name == "vertex") {
            if (vertices_seen++) fail(name, "more than one vertex element");
            if (e.x < 0 || e.y < 0 || e.z < 0) fail(name, "the vertex element lacks x, y or z");
            if (e.count >= UINT32_MAX) fail(name, "too many vertices");
            vertex_count = e.count;
        }
        if (e.name == "face" && e.corners < 0) fail(name, "the face element has no vertex_indices list");
    }

    Values values(data, size, h, name, progress);
    mesh::MeshBuilder builder;
    builder.vertices.resize(static_cast<size_t>(vertex_count));
    std::vector<uint32_t> corners;
    // A value that cannot be read is reported with what the header says it is: a file
    // whose header does not match its data then says so.
    const auto read = [&values](Type t, const Element& e, uint64_t item, const Property& p) {
        try {
            return values.next(t);
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(std::string(error.what()) + " (reading " + e.name + " " + std::to_string(item) +
                                     "'s " + p.name + ")");
        }
    };
    for (const Element& e : h.elements) {
        if (e.properties.empty()) continue;  // items of nothing, however many
        const bool is_vertex = e.name == "vertex", is_face = e.name == "face";
        for (uint64_t item = 0; item < e.count; ++item) {
            float xyz[3] = {0, 0, 0};
            corners.clear();
            for (size_t p = 0; p < e.properties.size(); ++p) {
                const Property& prop = e.properties[p];
                const int at = static_cast<int>(p);
                if (!prop.list) {
                    const double v = read(prop.type, e, item, prop);
                    if (is_vertex && (at == e.x || at == e.y || at == e.z))
                        xyz[at == e.x ? 0 : at == e.y ? 1 : 2] = mesh::coordinate(v, values.where(e, item));
                    continue;
                }
                const double count = read(prop.count_type, e, item, prop);
                if (count < 0) fail(values.where(e, item), "a list of negative length");
                const bool used = is_face && at == e.corners;
                if (!used && h.encoding != Encoding::ascii) {
                    // Read past a list we do not use, checking the size first.
                    if (count * static_cast<double>(size_of(prop.type)) > static_cast<double>(values.remaining()))
                        fail(name, "the file ends before the data its header describes");
                }
                for (double k = 0; k < count; ++k) {
                    const double v = read(prop.type, e, item, prop);
                    if (!used) continue;
                    if (v < 0 || v >= static_cast<double>(vertex_count))
                        fail(values.where(e, item), "face corner " + std::to_string(static_cast<int64_t>(v)) +
                                                        " names no vertex (there are " +
                                                        std::to_string(vertex_count) + ")");
                    corners.push_back(static_cast<uint32_t>(v));
                }
                if (used && corners.size() < 3)
                    fail(values.where(e, item),
                         "a face needs three corners or more, not " + std::to_string(corners.size()));
            }
            if (is_vertex) builder.vertices[static_cast<size_t>(item)] = {xyz[0], xyz[1], xyz[2]};
            if (is_face) builder.polygon(corners.data(), corners.size());
            values.report();
        }
    }
    builder.finish_mesh("", true);
    if (progress) progress(1.0);
    return builder.scene(name);
}

}  // namespace qorn::render
