#include "history/SharedConfig.h"

#include "platform/ConfigFiles.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace korvel::history {

namespace {

std::string trimmed(const std::string& text) {
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), space);
    auto end =
        std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), space).base();
    return std::string(begin, end);
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// %XX escapes undone, as libpq undoes them in a URI.
std::string percentDecoded(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

} // namespace

ParsedConfig ParseConfigText(const std::string& text, const std::string& file) {
    ParsedConfig parsed;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        // A comment is a whole line: a value (a URI, a bench's name) may hold '#'.
        const std::string content = trimmed(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string::npos) {
            parsed.problems.push_back({file, number, "not a `key = value` line"});
            continue;
        }
        const std::string key = lower(trimmed(content.substr(0, equals)));
        const std::string value = trimmed(content.substr(equals + 1));
        if (key == "shared_history") {
            parsed.config.sharedHistory = value;
            if (ConninfoHasPassword(value)) {
                parsed.problems.push_back(
                    {file, number,
                     "shared_history gives a password, which every reader of this file sees; "
                     "put it in libpq's password file (~/.pgpass, "
                     "%APPDATA%\\postgresql\\pgpass.conf) instead"});
            }
        } else if (key == "bench") {
            parsed.config.bench = value;
        } else {
            parsed.problems.push_back({file, number, "unknown key \"" + key + "\""});
        }
    }
    return parsed;
}

SharedConfig MergeConfig(SharedConfig earlier, const SharedConfig& later) {
    if (later.sharedHistory) {
        earlier.sharedHistory = later.sharedHistory;
    }
    if (later.bench) {
        earlier.bench = later.bench;
    }
    return earlier;
}

ParsedConfig LoadConfig(const std::vector<std::string>& paths) {
    ParsedConfig merged;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            continue;
        }
        std::ostringstream text;
        text << in.rdbuf();
        ParsedConfig one = ParseConfigText(text.str(), path);
        merged.config = MergeConfig(std::move(merged.config), one.config);
        merged.problems.insert(merged.problems.end(), one.problems.begin(), one.problems.end());
    }
    return merged;
}

ParsedConfig LoadSystemConfig(const platform::EnvironmentLookup& environment) {
    return LoadConfig(platform::ConfigFilePaths(environment));
}

std::optional<SharedTarget> SharedTargetOf(const SharedConfig& config, const std::string& given,
                                           const std::string& hostName) {
    SharedTarget target;
    target.conninfo = !given.empty() ? given : config.sharedHistory.value_or("");
    if (target.conninfo.empty()) {
        return std::nullopt;
    }
    target.benchName = config.bench.value_or("");
    if (target.benchName.empty()) {
        target.benchName = hostName;
    }
    return target;
}

bool ConninfoHasPassword(const std::string& conninfo) {
    const std::string text = lower(conninfo);
    if (text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0) {
        // user:password@ before the host, or password= among the parameters.
        const std::size_t start = text.find("://") + 3;
        const std::size_t end = text.find_first_of("/?", start);
        const std::string authority = text.substr(start, end - start);
        const std::size_t at = authority.rfind('@');
        if (at != std::string::npos && authority.substr(0, at).find(':') != std::string::npos) {
            return true;
        }
        const std::size_t query = text.find('?');
        if (query == std::string::npos) {
            return false;
        }
        std::istringstream parameters(text.substr(query + 1));
        std::string parameter;
        while (std::getline(parameters, parameter, '&')) {
            if (lower(percentDecoded(parameter)).rfind("password=", 0) == 0) {
                return true;
            }
        }
        return false;
    }
    // key = value pairs; a value may be quoted.
    std::size_t at = 0;
    while ((at = text.find("password", at)) != std::string::npos) {
        const bool wordStart = at == 0 || std::isspace(static_cast<unsigned char>(text[at - 1]));
        std::size_t after = at + 8;
        while (after < text.size() && std::isspace(static_cast<unsigned char>(text[after]))) {
            ++after;
        }
        if (wordStart && after < text.size() && text[after] == '=') {
            return true;
        }
        at += 8;
    }
    return false;
}

} // namespace korvel::history
