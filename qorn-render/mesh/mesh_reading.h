// What the mesh readers share: lines and words of text files, checked numbers, and the
// builder that turns polygons into fans and keeps each mesh's vertices in file order.
#ifndef QORN_RENDER_MESH_READING_H
#define QORN_RENDER_MESH_READING_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh_file.h"

namespace qorn::render::mesh {

/// Where a value was read, for messages, made into text only when one is written:
/// "NAME:LINE" for text, "NAME: ITEM INDEX" for a record of a binary file.
struct Where {
    const std::string& name;
    size_t line = 0;
    const char* item = nullptr;
    uint64_t index = 0;
    std::string text() const;
};

/// Throws std::runtime_error "WHERE: WHAT".
[[noreturn]] void fail(const std::string& where, const std::string& what);
[[noreturn]] void fail(const Where& where, const std::string& what);

/// The lines of a text file, without their line ends ("\n", "\r\n"), numbered from 1;
/// reports progress every few MiB to `progress` (may be null; must outlive the reader).
/// A NUL byte is refused: the file is not text.
class TextLines {
public:
    TextLines(const char* data, size_t size, const std::string& name, const LoadProgress* progress);
    bool next(std::string_view& line);
    /// The line last returned.
    Where where() const { return {name_, number_}; }
    size_t number() const { return number_; }
    /// Bytes before the next line.
    size_t offset() const { return at_; }

private:
    const char* data_;
    size_t size_, at_ = 0, number_ = 0, next_report_;
    const std::string& name_;
    const LoadProgress* progress_;
};

/// The next word of `rest` (separated by spaces or tabs), removed from it; false when
/// none is left.
bool next_word(std::string_view& rest, std::string_view& word);
/// `rest` without leading and trailing spaces and tabs.
std::string_view trimmed(std::string_view rest);
/// Equal ignoring ASCII case.
bool same_word(std::string_view a, std::string_view b);

/// A number written in decimal (an optional sign, digits, a point, an exponent; also
/// "inf" and "nan", which coordinate() then refuses). Throws naming `where` otherwise.
double number(std::string_view word, const Where& where);
/// A vertex coordinate: finite and within +-kMaxCoordinate, else throws naming `where`.
float coordinate(double value, const Where& where);
float coordinate(std::string_view word, const Where& where);
/// A whole number (optional sign), throws naming `where` for anything else or beyond
/// the 64-bit range.
int64_t whole_number(std::string_view word, const Where& where);

/// Collects the meshes of one file: all vertices in one list as the file gives them,
/// polygons into the current mesh as fans. finish_mesh() keeps the vertices the mesh
/// uses, in file order. Linear in the number of vertices and corners, however many
/// meshes (up to a sort of each mesh's own vertices).
class MeshBuilder {
public:
    std::vector<miVector> vertices;

    /// Adds the fan (c0, c1, c2), (c0, c2, c3), ... of a polygon whose corners index
    /// `vertices`; n >= 3, every corner in range.
    void polygon(const uint32_t* corners, size_t n);
    bool mesh_has_triangles() const { return !indices_.empty(); }
    /// Ends the current mesh (dropped when it has no triangle); `name` empty names it
    /// "meshN". After the `last` mesh, `vertices` may be left empty.
    void finish_mesh(const std::string& name, bool last = false);
    /// The meshes, each validated; throws naming `file` when there is no triangle.
    Scene scene(const std::string& file);

private:
    std::vector<uint32_t> indices_;  ///< the current mesh's, into `vertices`
    std::vector<uint32_t> local_;    ///< per vertex: its index in the mesh being finished
    std::vector<uint32_t> used_;
    Scene scene_;
};

}  // namespace qorn::render::mesh

#endif
