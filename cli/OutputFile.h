#pragma once
// The one rule for the files korvel-cli creates for the user to keep (the
// report of --report, the trace of --trace): each is a new regular file,
// readable by its owner only, and never one that exists, be it a file, a FIFO
// or a device.

#include "platform/PrivateFiles.h"
#include "protocol/Result.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace korvel::cli {

// Creates a new file (platform::CreateNewFile; a test's may fail its writes).
using FileCreator =
    std::function<protocol::Result<std::unique_ptr<platform::NewFile>>(const std::string& path)>;

// `path` created with `create` for `option` ("--report"), a `noun` ("report").
// A path that exists is refused by the rule: "--report run.csv exists; a report
// is never overwritten: name a new file".
protocol::Result<std::unique_ptr<platform::NewFile>> CreateOutputFile(const FileCreator& create,
                                                                      const std::string& option,
                                                                      const std::string& noun,
                                                                      const std::string& path);

// A stream the program already has, as the file of --trace - (standard
// error): each append goes to it whole, and Sync flushes it.
std::unique_ptr<platform::NewFile> StreamFile(std::ostream& stream);

} // namespace korvel::cli
