#pragma once
// What tests of the files Korvel creates need: a scratch folder, a umask set
// for the test's length, a path's mode, a file's text, and work done in a
// child process (with a file-size limit, or a namespace of its own) whose
// exit code the test reads. POSIX only.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvel::testing {

// A scratch folder removed at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvel-files-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string file = Path(name);
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The umask the test needs, the one before it put back at the end.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : before_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(before_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t before_;
};

// The permission bits of `path` (0600), or -1 when it is missing.
inline int ModeOf(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return -1;
    }
    return static_cast<int>(status.st_mode & 07777);
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `work` in a child process and returns its result (0-255), or -1 when
// the child was killed (by a signal, or after `limit`). The child has this
// process's memory but only the calling thread; it leaves with _exit, never
// returning into the test.
inline int InChildProcess(const std::function<int()>& work,
                          std::chrono::seconds limit = std::chrono::seconds(60)) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(static_cast<unsigned>(limit.count()));
        ::_exit(work());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace korvel::testing
