// Mesh files: Wavefront OBJ, PLY (ASCII and binary) and STL (ASCII and binary), read by
// our own small readers so that every number is checked where it enters and every
// message names the file and line. Polygons of any number of corners become a fan in
// file order whatever the format: corners a b c d ... give (a, b, c), (a, c, d), ...
// so the triangle and corner numbering, which the wireframe's edge numbers follow, is
// the same for one mesh saved in any of them.
#ifndef QORN_RENDER_MESH_FILE_H
#define QORN_RENDER_MESH_FILE_H

#include <stddef.h>

#include <functional>
#include <string>

#include "mesh/scene.h"

namespace qorn::render {

enum class MeshFormat { obj, ply, stl };

/// Called now and then while a file is read, with the share of it read so far, 0 to 1
/// (and 1 once at the end).
using LoadProgress = std::function<void(double)>;

/// The format named by a file's extension: .obj, .ply or .stl, in any case. Throws
/// std::runtime_error, one line naming the file, for any other extension.
MeshFormat mesh_format(const std::string& path);

/// Loads a mesh file by its extension. Only regular files (or links to them) are read:
/// FIFOs, devices and folders are refused before they are opened for reading; files an
/// OBJ names (material libraries) are never opened. Throws std::runtime_error with one
/// line naming the file (and the line, for text formats) when anything is wrong: an
/// unreadable or malformed file, a coordinate that is not a finite number within
/// +-kMaxCoordinate, an index out of range, a face of fewer than three corners, or no
/// triangle at all. Time and memory are linear in the file's size.
Scene load_mesh(const std::string& path, const LoadProgress& progress = nullptr);

/// The same from bytes in memory; `name` stands for the file in messages.
Scene parse_mesh(MeshFormat format, const char* data, size_t size, const std::string& name,
                 const LoadProgress& progress = nullptr);

/// A progress bar on standard error ("loading [####....]  42%"), shown only once a load
/// has taken longer than a moment; for terminals.
LoadProgress terminal_load_progress();

}  // namespace qorn::render

#endif
