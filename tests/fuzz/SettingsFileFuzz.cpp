// Settings files from any bytes: the reader never crashes and refuses or
// accepts as a whole, never a file with a NUL byte; what it accepts, written
// out again, reads back as the same settings. Input that also fills a
// parameter block is taken as a logger's reply too: whatever a logger reports,
// its file reads back the same.
#include "protocol/ParameterBlock.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

namespace protocol = korvel::protocol;
namespace settingsfile = korvel::settingsfile;

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// `settings` written and read back, on a base that holds its trip text.
protocol::LoggerSettings RoundTrip(const protocol::LoggerSettings& settings) {
    const settingsfile::ParsedFile parsed =
        settingsfile::ParseSettingsFile(settingsfile::WriteSettingsFile(settings));
    Require(parsed.file.has_value() && parsed.errors.empty(), "a written file reads back");
    protocol::LoggerSettings base;
    base.tripInformation = settings.tripInformation;
    return settingsfile::ApplySettingsFile(*parsed.file, base);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const settingsfile::ParsedFile parsed = settingsfile::ParseSettingsFile(text);
    Require(parsed.file.has_value() == parsed.errors.empty(), "accepted exactly without errors");
    // A NUL byte would end the JSON reader's text early: what follows it must not pass unseen.
    Require(!parsed.file || text.find('\0') == std::string_view::npos,
            "a file with a NUL byte is refused");
    if (parsed.file) {
        const protocol::LoggerSettings applied =
            settingsfile::ApplySettingsFile(*parsed.file, protocol::LoggerSettings{});
        Require(RoundTrip(applied) == applied, "an accepted file's settings read back the same");
        settingsfile::CheckSettingsFile(*parsed.file);
    }
    if (size >= protocol::kFrameSize) {
        protocol::Block block{};
        std::copy_n(data, protocol::kFrameSize, block.begin());
        const protocol::LoggerSettings reported = protocol::DecodeSettings(block);
        Require(RoundTrip(reported) == reported, "a logger's settings read back the same");
    }
    return 0;
}
