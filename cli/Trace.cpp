#include "cli/Trace.h"

#include "platform/ProgramArguments.h"
#include "protocol/Frame.h"
#include "protocol/SettingsCodec.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace korvel::cli {

namespace {

// An argument as a shell would need it, so the header can be pasted back.
std::string shellWord(const std::string& word) {
    const bool plain = !word.empty() &&
                       word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789-_./:=+,@%") == std::string::npos;
    if (plain) {
        return word;
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

protocol::Result<std::unique_ptr<Trace>> Trace::Open(const FileCreator& create,
                                                     const std::string& path,
                                                     const std::string& version,
                                                     const std::vector<std::string>& arguments,
                                                     std::chrono::system_clock::time_point start) {
    using protocol::Failure;
    auto created = CreateOutputFile(create, "--trace", "trace", path);
    if (!created) {
        return created.failure();
    }
    std::string header = "korvel-cli trace, started " + UtcMicrosecondsText(start) +
                         ", korvel-cli " + version + ", arguments:";
    for (const std::string& argument : arguments) {
        header += ' ' + shellWord(argument);
    }
    header += '\n';
    std::unique_ptr<platform::NewFile> file = std::move(created).take();
    if (const protocol::Result<void> written = file->Append(header); !written) {
        // Made here a moment ago and holding nothing: taken away again.
        file.reset();
        std::error_code ignored;
        std::filesystem::remove(platform::FilePath(path), ignored);
        return Failure{Failure::Kind::System,
                       "cannot write the trace " + path + ": " + written.failure().message};
    }
    return std::unique_ptr<Trace>(new Trace(std::move(file), path));
}

void Trace::Chunk(const std::string& port, Direction direction, const std::uint8_t* bytes,
                  std::size_t count) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start_);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%lld.%06lld",
                  static_cast<long long>(elapsed.count() / 1000000),
                  static_cast<long long>(elapsed.count() % 1000000));
    const std::lock_guard lock(mutex_);
    if (!written_) {
        return;
    }
    Port& state = ports_[port];
    Stream& stream = direction == Direction::Sent ? state.sent : state.received;
    const std::string line = std::string(seconds) + ' ' + port +
                             (direction == Direction::Sent ? " tx " : " rx ") +
                             hiddenText(state, stream, bytes, count) + '\n';
    if (const protocol::Result<void> appended = file_->Append(line); !appended) {
        written_ =
            protocol::Failure{protocol::Failure::Kind::System,
                              "line " + std::to_string(lines_ + 1) + " could not be written (" +
                                  appended.failure().message + ")"};
        return;
    }
    ++lines_;
}

protocol::Result<void> Trace::Close() {
    const std::lock_guard lock(mutex_);
    if (!written_) {
        return written_;
    }
    if (const protocol::Result<void> synced = file_->Sync(); !synced) {
        return protocol::Failure{protocol::Failure::Kind::System,
                                 "it could not be flushed to the disk (" +
                                     synced.failure().message + ")"};
    }
    return {};
}

std::string Trace::hiddenText(Port& port, Stream& stream, const std::uint8_t* bytes,
                              std::size_t count) {
    using namespace korvel::protocol;
    static const std::vector<SecretField> fields = SecretFields();
    const auto carriesSecrets = [](std::uint8_t command) {
        return command == command::kReadReply || command == command::kSave;
    };
    // A chunk that begins with a frame's header begins that frame, whatever
    // came before it.
    if (count >= 3 && bytes[0] == kHeader0 && bytes[1] == kHeader1 && carriesSecrets(bytes[2])) {
        stream.inFrame = false;
        stream.previous = {};
    }
    std::vector<bool> hidden(count, false);
    std::string notes;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (stream.inFrame) {
            ++stream.position;
        } else if (stream.previous[0] == kHeader0 && stream.previous[1] == kHeader1 &&
                   carriesSecrets(byte)) {
            stream.inFrame = true;
            stream.position = offset::kCommand;
            stream.secrets.clear();
        }
        stream.previous = {stream.previous[1], byte};
        if (!stream.inFrame) {
            continue;
        }
        for (const SecretField& field : fields) {
            if (stream.position < field.offset || stream.position >= field.offset + field.width) {
                continue;
            }
            hidden[i] = true;
            std::vector<std::uint8_t>& secret = stream.secrets[field.key];
            secret.push_back(byte);
            if (secret.size() < field.width) {
                continue;
            }
            std::string note = std::string(KeyPath(field.key)) + " hidden";
            if (const auto last = port.last.find(field.key); last != port.last.end()) {
                note += last->second == secret ? ", unchanged" : ", changed";
            }
            port.last[field.key] = secret;
            notes += " (" + note + ")";
        }
        if (stream.position == offset::kChecksum && !stream.secrets.empty()) {
            hidden[i] = true;
        }
        if (stream.position + 1 == kFrameSize) {
            stream.inFrame = false;
            stream.previous = {};
        }
    }
    // A frame that carries a secret and ends short with this chunk has its
    // checksum in the chunk's last byte but one.
    if (stream.inFrame && !stream.secrets.empty() && count >= 2) {
        hidden[count - 2] = true;
    }
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += (i == 0 ? "" : " ") + (hidden[i] ? std::string("**") : HexText(bytes + i, 1));
    }
    return text + notes;
}

std::string UtcMicrosecondsText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{floor<microseconds>(time - day)};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%06lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(clock.hours().count()),
                  static_cast<long long>(clock.minutes().count()),
                  static_cast<long long>(clock.seconds().count()),
                  static_cast<long long>(clock.subseconds().count()));
    return text;
}

std::string HexText(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        if (i != 0) {
            text += ' ';
        }
        text += pair;
    }
    return text;
}

} // namespace korvel::cli
