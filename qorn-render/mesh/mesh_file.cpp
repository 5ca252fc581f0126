#include "mesh/mesh_file.h"
#include "mesh/mesh_readers.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <memory>
#include <stdexcept>

namespace qorn::render {

namespace {

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw std::runtime_error(path + ": " + why);
}

const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

/// The whole of a regular file. The file is checked before it is opened, and opened
/// without blocking, so a FIFO or a device is never waited on or read from.
std::string read_regular_file(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) refuse(path, strerror(errno));
    if (!S_ISREG(st.st_mode)) refuse(path, std::string("is ") + kind_of(st.st_mode) + ", not a mesh file");
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) refuse(path, strerror(errno));
    // What was opened may not be what was looked at a moment before.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        refuse(path, "is not a regular file, not a mesh file");
    }
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        close(fd);
        refuse(path, "too large to read (" + std::to_string(st.st_size) + " bytes)");
    }
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, &bytes[got], bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            refuse(path, strerror(error));
        }
        if (n == 0) break;  // the file shrank meanwhile: read what is there
        got += static_cast<size_t>(n);
    }
    close(fd);
    bytes.resize(got);
    return bytes;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

MeshFormat mesh_format(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                      ? ""
                                      : lower(path.substr(dot));
    if (extension == ".obj") return MeshFormat::obj;
    if (extension == ".ply") return MeshFormat::ply;
    if (extension == ".stl") return MeshFormat::stl;
    refuse(path, (extension.empty() ? std::string("has no extension") : "unknown extension " + extension) +
                     "; mesh files are .obj, .ply or .stl");
}

Scene parse_mesh(MeshFormat format, const char* data, size_t size, const std::string& name,
                 const LoadProgress& progress) {
    switch (format) {
        case MeshFormat::obj: return parse_obj(data, size, name, progress);
        case MeshFormat::ply: return parse_ply(data, size, name, progress);
        case MeshFormat::stl: return parse_stl(data, size, name, progress);
    }
    refuse(name, "unknown mesh format");
}

Scene load_mesh(const std::string& path, const LoadProgress& progress) {
    const MeshFormat format = mesh_format(path);
    const std::string bytes = read_regular_file(path);
    return parse_mesh(format, bytes.data(), bytes.size(), path, progress);
}

LoadProgress terminal_load_progress() {
    // The bar's line is ended when the load ends, also when it fails: the error message
    // then starts on a line of its own.
    struct Bar {
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        bool shown = false, ended = false;
        ~Bar() {
            if (shown && !ended) fprintf(stderr, "\n");
        }
    };
    auto bar = std::make_shared<Bar>();
    return [bar](double done) {
        if (!bar->shown && std::chrono::steady_clock::now() - bar->start < std::chrono::milliseconds(250)) return;
        bar->shown = true;
        bar->ended = done >= 1.0;
        const int percent = static_cast<int>(100.0 * std::min(std::max(done, 0.0), 1.0));
        char text[41];
        for (int i = 0; i < 40; ++i) text[i] = i < percent * 40 / 100 ? '#' : '.';
        text[40] = '\0';
        fprintf(stderr, "\rloading   [%s] %3d%%%s", text, percent, bar->ended ? "\n" : "");
    };
}

}  // namespace qorn::render
