#include "cli/Trace.h"

#include <cstdio>

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

std::unique_ptr<Trace> Trace::Open(const std::string& path, const std::string& version,
                                   const std::vector<std::string>& arguments,
                                   std::chrono::system_clock::time_point start,
                                   std::string& error) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out) {
        error = "cannot write the trace file " + path;
        return nullptr;
    }
    out << "korvel-cli trace, started " << UtcMicrosecondsText(start) << ", korvel-cli " << version
        << ", arguments:";
    for (const std::string& argument : arguments) {
        out << ' ' << shellWord(argument);
    }
    out << '\n';
    out.flush();
    return std::unique_ptr<Trace>(new Trace(std::move(out)));
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
    out_ << seconds << ' ' << port << (direction == Direction::Sent ? " tx " : " rx ")
         << HexText(bytes, count) << '\n';
    out_.flush();
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
