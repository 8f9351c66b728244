#include "cli/OutputFile.h"

#include <ostream>

namespace korvel::cli {

namespace {

class Stream final : public platform::NewFile {
public:
    explicit Stream(std::ostream& stream) : stream_(stream) {}

    protocol::Result<void> Append(std::string_view bytes) override {
        if (!stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            return protocol::Failure{protocol::Failure::Kind::System, "the stream failed"};
        }
        return {};
    }

    protocol::Result<void> Sync() override {
        if (!stream_.flush()) {
            return protocol::Failure{protocol::Failure::Kind::System, "the stream failed"};
        }
        return {};
    }

private:
    std::ostream& stream_;
};

} // namespace

std::unique_ptr<platform::NewFile> StreamFile(std::ostream& stream) {
    return std::make_unique<Stream>(stream);
}

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
