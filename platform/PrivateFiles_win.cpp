#include "platform/PrivateFiles.h"

#include "platform/SerialErrno_win.h"
#include "platform/WideText_win.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace korvel::platform {

namespace {

using protocol::Failure;
using protocol::Result;

Failure lastFailure() {
    return {Failure::Kind::System, SystemErrorFromWin32(::GetLastError()).text};
}

class WindowsNewFile final : public NewFile {
public:
    explicit WindowsNewFile(HANDLE file) : file_(file) {}
    ~WindowsNewFile() override { ::CloseHandle(file_); }
    WindowsNewFile(const WindowsNewFile&) = delete;
    WindowsNewFile& operator=(const WindowsNewFile&) = delete;

    Result<void> Append(std::string_view bytes) override {
        LARGE_INTEGER end{};
        if (!::SetFilePointerEx(file_, LARGE_INTEGER{}, &end, FILE_END)) {
            return lastFailure();
        }
        std::size_t written = 0;
        while (written < bytes.size()) {
            DWORD count = 0;
            const DWORD chunk = static_cast<DWORD>(bytes.size() - written);
            if (!::WriteFile(file_, bytes.data() + written, chunk, &count, nullptr) || count == 0) {
                Failure failure = lastFailure();
                // Never part of a record: the file is cut back to where it was.
                if (!::SetFilePointerEx(file_, end, nullptr, FILE_BEGIN) ||
                    !::SetEndOfFile(file_)) {
                    failure.message += ", and the part written could not be taken back";
                }
                return failure;
            }
            written += count;
        }
        return {};
    }

    Result<void> Sync() override {
        if (!::FlushFileBuffers(file_)) {
            return lastFailure();
        }
        return {};
    }

private:
    HANDLE file_;
};

} // namespace

Result<std::unique_ptr<NewFile>> CreateNewFile(const std::string& path) {
    // CREATE_NEW: created here or not at all, so nothing that exists is opened.
    const HANDLE file = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
            return Failure{Failure::Kind::Invalid, "exists"};
        }
        return Failure{Failure::Kind::System, SystemErrorFromWin32(code).text};
    }
    return std::unique_ptr<NewFile>(std::make_unique<WindowsNewFile>(file));
}

// The folder's and the file's access control is what they inherit.
Result<void> CreatePrivateFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(WideFromUtf8(path)), error);
    if (error) {
        return Failure{Failure::Kind::System, "cannot create " + path + ": " + error.message()};
    }
    return {};
}

Result<void> CreatePrivateFile(const std::string&) {
    return {};
}

} // namespace korvel::platform
