#include "cli/OutputFile.h"

namespace korvel::cli {

protocol::Result<std::unique_ptr<platform::NewFile>> CreateOutputFile(const FileCreator& create,
                                                                      const std::string& option,
                                                                      const std::string& noun,
                                                                      const std::string& path) {
    auto created = create(path);
    if (created) {
        return std::move(created).take();
    }
    const protocol::Failure& failure = created.failure();
    if (failure.kind == protocol::Failure::Kind::Invalid) {
        return protocol::Failure{failure.kind, option + " " + path + " " + failure.message +
                                                   "; a " + noun +
                                                   " is never overwritten: name a new file"};
    }
    return protocol::Failure{failure.kind,
                             "cannot create the " + noun + " " + path + ": " + failure.message};
}

} // namespace korvel::cli
