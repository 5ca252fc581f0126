// Writing a finished file to the path the user named, whatever that path is: a new or
// regular file is replaced atomically, a symbolic link's target is what gets written,
// a FIFO or character device (a terminal, /dev/stdout) is written through and never
// replaced, and a path that is one of the run's inputs is refused.
#ifndef QORN_RENDER_OUTPUT_FILE_H
#define QORN_RENDER_OUTPUT_FILE_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace qorn::render {

/// A file the run reads (a mesh, a plug-in, a declaration), with what it is for the
/// message that refuses to overwrite it.
struct InputFile {
    std::string role;  ///< "the mesh", "the plug-in", ...
    std::string path;
};

/// Refuses, before any work is done, an output path that cannot be written by the
/// rules of write_output(): a folder, a block device or a socket (also behind a
/// symbolic link), a link chain that does not end, a new file in a folder that does
/// not exist, or one of `inputs`. Throws
/// std::runtime_error with a one-line message naming `path`.
void check_output(const std::string& path, const std::vector<InputFile>& inputs);

/// Writes `bytes` to `path`:
/// - a new name, or a regular file: into a temporary file `TARGET.XXXXXX` beside it,
///   then renamed over it, so that neither a failure nor SIGINT, SIGTERM, SIGHUP or
///   SIGQUIT leaves a partial file (the signal removes the temporary file, then ends
///   the process as the signal would have); an existing file keeps its permissions.
///   TARGET is the path with every symbolic link followed, so a link stays a link.
///   A regular file in a folder where no file can be created is written in place.
/// - a FIFO or a character device: opened for writing and written directly.
/// check_output()'s refusals apply. Throws std::runtime_error with a one-line message.
void write_output(const std::string& path, const std::vector<uint8_t>& bytes,
                  const std::vector<InputFile>& inputs = {});

/// The replacing write on its own: `fill` writes the content into the temporary file
/// descriptor and returns "" or what went wrong; the file is then renamed to `target`
/// (which must already be link-free). Throws std::runtime_error on failure.
void write_replacing(const std::string& target, const std::function<std::string(int fd)>& fill);

}  // namespace qorn::render

#endif
