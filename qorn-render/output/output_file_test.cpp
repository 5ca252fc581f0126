// Outputs that are not plain files: every node and link is made in a temporary folder.
#include "output/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qorn::render {
namespace {

class OutputFile : public ::testing::Test {
protected:
    OutputFile() {
        char pattern[] = "/tmp/output_file_test.XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    ~OutputFile() override { system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const char* name) const { return dir_ + "/" + name; }
    static std::string read(const std::string& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void put(const std::string& p, const std::string& text) { std::ofstream(p) << text; }
    /// The names in the folder, to see that no temporary file was left.
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        DIR* d = opendir(dir_.c_str());
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') all.push_back(e->d_name);
        closedir(d);
        std::sort(all.begin(), all.end());
        return all;
    }

    std::string dir_;
    const std::vector<uint8_t> bytes_{'n', 'e', 'w'};
};

TEST_F(OutputFile, NewAndRegularFilesAreReplacedWholeKeepingTheirMode) {
    write_output(path("new.png"), bytes_);
    EXPECT_EQ(read(path("new.png")), "new");
    put(path("old.png"), "old contents");
    chmod(path("old.png").c_str(), 0600);
    write_output(path("old.png"), bytes_);
    EXPECT_EQ(read(path("old.png")), "new");
    struct stat st;
    ASSERT_EQ(stat(path("old.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(names(), (std::vector<std::string>{"new.png", "old.png"}));
}

TEST_F(OutputFile, ASymbolicLinkStaysALinkAndItsTargetIsWritten) {
    put(path("target.png"), "old");
    ASSERT_EQ(symlink("target.png", path("link.png").c_str()), 0);
    ASSERT_EQ(symlink(path("later.png").c_str(), path("dangling.png").c_str()), 0);
    write_output(path("link.png"), bytes_);
    write_output(path("dangling.png"), bytes_);
    struct stat st;
    ASSERT_EQ(lstat(path("link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(path("dangling.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read(path("target.png")), "new");
    EXPECT_EQ(read(path("later.png")), "new");
    ASSERT_EQ(symlink("loop2", path("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", path("loop2").c_str()), 0);
    EXPECT_THROW(write_output(path("loop1"), bytes_), std::runtime_error);
}

TEST_F(OutputFile, AFifoIsWrittenThroughAndStaysAFifo) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = read(path("fifo")); });
    write_output(path("fifo"), bytes_);
    reader.join();
    EXPECT_EQ(received, "new");
    struct stat st;
    ASSERT_EQ(lstat(path("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(names(), (std::vector<std::string>{"fifo"}));
}

TEST_F(OutputFile, ACharacterDeviceIsWrittenThroughNeverReplaced) {
    // The null device, made here: never the system's.
    if (mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "cannot make device nodes";
    ASSERT_EQ(symlink("null", path("null-link").c_str()), 0);
    write_output(path("null"), bytes_);
    write_output(path("null-link"), bytes_);
    struct stat st;
    ASSERT_EQ(lstat(path("null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(names(), (std::vector<std::string>{"null", "null-link"}));
}

TEST_F(OutputFile, FoldersSocketsAndInputsAreRefused) {
    mkdir(path("folder").c_str(), 0755);
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", path("socket").c_str());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    put(path("mesh.obj"), "v 0 0 0");
    ASSERT_EQ(symlink("mesh.obj", path("mesh-link.png").c_str()), 0);
    const std::vector<InputFile> inputs = {{"the mesh", path("mesh.obj")}};
    for (const char* name : {"folder", "socket", "mesh.obj", "mesh-link.png"}) {
        EXPECT_THROW(check_output(path(name), inputs), std::runtime_error) << name;
        EXPECT_THROW(write_output(path(name), bytes_, inputs), std::runtime_error) << name;
    }
    close(s);
    EXPECT_EQ(read(path("mesh.obj")), "v 0 0 0");
    EXPECT_EQ(names(), (std::vector<std::string>{"folder", "mesh-link.png", "mesh.obj", "socket"}));
}

TEST_F(OutputFile, ASignalWhileWritingRemovesTheTemporaryFileAndEndsByThatSignal) {
    for (int sig : {SIGINT, SIGTERM}) {
        put(path("picture.png"), "old");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            write_replacing(path("picture.png"), [&](int fd) {
                (void)!write(fd, "partial", 7);
                raise(sig);
                return std::string();
            });
            _exit(0);  // not reached
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(read(path("picture.png")), "old");
        EXPECT_EQ(names(), (std::vector<std::string>{"picture.png"})) << "signal " << sig;
    }
}

}  // namespace
}  // namespace qorn::render
