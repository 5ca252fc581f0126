// The readers of each mesh format (obj_reader.cpp, ply_reader.cpp, stl_reader.cpp), which
// parse_mesh() chooses between. Each takes the file's bytes in memory; `name` stands for
// the file in messages. They throw as load_mesh() describes.
#ifndef QORN_RENDER_MESH_READERS_H
#define QORN_RENDER_MESH_READERS_H

#include <stddef.h>

#include <string>

#include "mesh/mesh_file.h"

namespace qorn::render {

Scene parse_obj(const char* data, size_t size, const std::string& name, const LoadProgress& progress);
Scene parse_ply(const char* data, size_t size, const std::string& name, const LoadProgress& progress);
Scene parse_stl(const char* data, size_t size, const std::string& name, const LoadProgress& progress);

}  // namespace qorn::render

#endif
