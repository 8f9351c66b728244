#pragma once
// Files that may hold a logger's password, for their owner's eyes only: the
// reports and traces korvel-cli creates, the history of saves and its folder.
// On Linux a new file is created 0600 and a new folder 0700, whatever the
// umask allows; Windows leaves both to the access control they inherit (a
// user's profile is that user's own).

#include "protocol/Result.h"

#include <memory>
#include <string>
#include <string_view>

namespace korvel::platform {

// A file created for one record (a report, a trace), to which whole records
// are appended.
class NewFile {
public:
    virtual ~NewFile() = default;
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Appends `bytes` with one write (continued only after a short write the
    // system reports without a failure). A failure says why, with the file cut
    // back to its length before, so that it never ends in part of a record.
    virtual protocol::Result<void> Append(std::string_view bytes) = 0;
    // Flushes what was appended to the disk (fsync).
    virtual protocol::Result<void> Sync() = 0;
};

// Creates `path` as a new, empty regular file, readable by its owner only.
// Never opens anything that exists (a file, a folder, a FIFO, a device or a
// link), so nothing is overwritten and the call never waits for a reader. A
// path that exists fails with Kind::Invalid and the message "exists"; any
// other failure is Kind::System with the system's text.
protocol::Result<std::unique_ptr<NewFile>> CreateNewFile(const std::string& path);

// Creates the folder `path` and each missing folder above it, readable by
// their owner only; a folder that exists keeps its mode.
protocol::Result<void> CreatePrivateFolders(const std::string& path);

// Creates `path` empty and readable by its owner only, unless something
// exists there, which is left as it is.
protocol::Result<void> CreatePrivateFile(const std::string& path);

} // namespace korvel::platform
