#include "output/output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace qorn::render {

namespace {

// The one temporary file that may exist at a time (pictures are written one after
// the other), for the signal handler: a fixed buffer, since it may run at any moment.
char g_temp[PATH_MAX + 8];
volatile sig_atomic_t g_temp_live = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void remove_temp_and_die(int sig) {
    if (g_temp_live) unlink(g_temp);
    signal(sig, SIG_DFL);
    raise(sig);
}

void install_cleanup_once() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = remove_temp_and_die;
    sigemptyset(&action.sa_mask);
    for (int sig : kCleanupSignals) {
        struct sigaction old;
        // A signal the parent told us to ignore stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Follows symbolic links by hand: for a link whose target does not exist yet
/// (realpath() fails on those), the path that would be created.
std::string follow_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) return path;
        const std::string to(target, static_cast<size_t>(n));
        path = to[0] == '/' ? to : folder_of(path) + "/" + to;
    }
    throw std::runtime_error("cannot write " + path + ": too many levels of symbolic links");
}

std::string write_all(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return strerror(n < 0 ? errno : EIO);
        done += static_cast<size_t>(n);
    }
    return "";
}

/// What kind of file `path` is, links followed; false when it does not exist.
bool existing(const std::string& path, struct stat& st) { return stat(path.c_str(), &st) == 0; }

}  // namespace

void check_output(const std::string& path, const std::vector<InputFile>& inputs) {
    if (path.empty()) throw std::runtime_error("the output path is empty");
    struct stat st;
    if (!existing(path, st)) {
        // A new file: its folder must exist (checked now, not after a long render).
        const std::string folder = folder_of(follow_links(path));
        if (!existing(folder, st) || !S_ISDIR(st.st_mode))
            throw std::runtime_error("cannot write " + path + ": there is no folder " + folder);
        return;
    }
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode))
        throw std::runtime_error("cannot write " + path + ": " +
                                 (S_ISDIR(st.st_mode) ? "it is a folder" : "not a regular file, FIFO or character device"));
    for (const InputFile& input : inputs) {
        struct stat in;
        if (!input.path.empty() && existing(input.path, in) && in.st_dev == st.st_dev && in.st_ino == st.st_ino)
            throw std::runtime_error("cannot write " + path + ": it is " + input.role + " " + input.path +
                                     ", an input of this run");
    }
}

void write_replacing(const std::string& target, const std::function<std::string(int fd)>& fill) {
    const std::string pattern = target + ".XXXXXX";
    if (pattern.size() >= sizeof g_temp) throw std::runtime_error("cannot write " + target + ": the path is too long");
    install_cleanup_once();
    memcpy(g_temp, pattern.c_str(), pattern.size() + 1);
    g_temp_live = 1;
    const int fd = mkstemp(g_temp);
    if (fd < 0) {
        g_temp_live = 0;
        throw std::runtime_error("cannot write " + target + ": " + strerror(errno));
    }
    struct stat st;
    fchmod(fd, stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    std::string why = fill(fd);
    if (close(fd) != 0 && why.empty()) why = strerror(errno);
    if (why.empty() && rename(g_temp, target.c_str()) != 0) why = strerror(errno);
    if (!why.empty()) unlink(g_temp);
    g_temp_live = 0;
    if (!why.empty()) throw std::runtime_error("cannot write " + target + ": " + why);
}

void write_output(const std::string& path, const std::vector<uint8_t>& bytes, const std::vector<InputFile>& inputs) {
    check_output(path, inputs);
    const auto fill = [&](int fd) { return write_all(fd, bytes); };
    struct stat st;
    if (!existing(path, st)) {
        write_replacing(follow_links(path), fill);
        return;
    }
    if (S_ISREG(st.st_mode)) {
        char real[PATH_MAX];
        if (!realpath(path.c_str(), real)) throw std::runtime_error("cannot write " + path + ": " + strerror(errno));
        const std::string target = real;
        if (access(folder_of(target).c_str(), W_OK) == 0) {
            write_replacing(target, fill);
            return;
        }
    }
    // A FIFO or a device, or a regular file whose folder takes no new files: written
    // where it is, never created, never replaced.
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | (S_ISREG(st.st_mode) ? O_TRUNC : 0));
    if (fd < 0) throw std::runtime_error("cannot write " + path + ": " + strerror(errno));
    std::string why = write_all(fd, bytes);
    if (close(fd) != 0 && why.empty()) why = strerror(errno);
    if (!why.empty()) throw std::runtime_error("cannot write " + path + ": " + why);
}

}  // namespace qorn::render
