#include "platform/PrivateFiles.h"

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel::platform {

namespace {

using protocol::Failure;
using protocol::Result;

constexpr mode_t kOwnerOnlyFile = S_IRUSR | S_IWUSR; // 0600
constexpr mode_t kOwnerOnlyFolder = S_IRWXU;         // 0700

Failure systemFailure(int code) {
    return {Failure::Kind::System, std::generic_category().message(code)};
}

class LinuxNewFile final : public NewFile {
public:
    explicit LinuxNewFile(int fd) : fd_(fd) {}
    ~LinuxNewFile() override { ::close(fd_); }
    LinuxNewFile(const LinuxNewFile&) = delete;
    LinuxNewFile& operator=(const LinuxNewFile&) = delete;

    Result<void> Append(std::string_view bytes) override {
        struct stat before {};
        if (::fstat(fd_, &before) != 0) {
            return systemFailure(errno);
        }
        std::size_t written = 0;
        while (written < bytes.size()) {
            // O_APPEND: every write goes to the end.
            const ssize_t count = ::write(fd_, bytes.data() + written, bytes.size() - written);
            if (count > 0) {
                written += static_cast<std::size_t>(count);
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            const int code = count < 0 ? errno : ENOSPC;
            // Never part of a record: the file is cut back to where it was.
            if (::ftruncate(fd_, before.st_size) != 0) {
                return Failure{Failure::Kind::System,
                               std::generic_category().message(code) +
                                   ", and the part written could not be taken back"};
            }
            return systemFailure(code);
        }
        return {};
    }

    Result<void> Sync() override {
        if (::fsync(fd_) != 0) {
            return systemFailure(errno);
        }
        return {};
    }

private:
    int fd_;
};

} // namespace

Result<std::unique_ptr<NewFile>> CreateNewFile(const std::string& path) {
    // O_CREAT | O_EXCL: created here or not at all, so no file, FIFO, device or
    // link that exists is ever opened; O_NONBLOCK besides, so no open waits.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NONBLOCK | O_CLOEXEC,
               kOwnerOnlyFile);
    if (fd < 0) {
        const int code = errno;
        if (code == EEXIST) {
            return Failure{Failure::Kind::Invalid, "exists"};
        }
        return systemFailure(code);
    }
    return std::unique_ptr<NewFile>(std::make_unique<LinuxNewFile>(fd));
}

Result<void> CreatePrivateFolders(const std::string& path) {
    // From the top down, so that every folder made here is made 0700.
    std::filesystem::path folder;
    for (const std::filesystem::path& part : std::filesystem::path(path)) {
        folder /= part;
        if (part.empty() || part == folder.root_path()) {
            continue;
        }
        if (::mkdir(folder.c_str(), kOwnerOnlyFolder) != 0 && errno != EEXIST) {
            return Failure{Failure::Kind::System, "cannot create " + folder.string() + ": " +
                                                      std::generic_category().message(errno)};
        }
    }
    return {};
}

Result<void> CreatePrivateFile(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, kOwnerOnlyFile);
    if (fd < 0) {
        if (errno == EEXIST) {
            return {};
        }
        return Failure{Failure::Kind::System,
                       "cannot create " + path + ": " + std::generic_category().message(errno)};
    }
    ::close(fd);
    return {};
}

} // namespace korvel::platform
