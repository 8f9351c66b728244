// The pure decisions of provisioning (Provision.h): which file may be used,
// which loggers are written, the exit code, the board's lines, the ports
// that came and went.
#include "cli/Provision.h"

#include "protocol/Printable.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace korvel::cli {

std::vector<settingsfile::FileError> ProvisionFileRefusals(const settingsfile::SettingsFile& file) {
    std::vector<settingsfile::FileError> refusals;
    if (file.Gives(protocol::SettingKey::SerialNumber)) {
        refusals.push_back({"serial_number", "each logger keeps its own serial number; remove it "
                                             "from the file (write --set-serial renames one "
                                             "logger)"});
    }
    if (file.Gives(protocol::SettingKey::CalibrationTemperature) ||
        file.Gives(protocol::SettingKey::CalibrationHumidity)) {
        refusals.push_back({"calibration", "each logger keeps its own sensor offsets; remove "
                                           "them from the file (write sets them on one logger)"});
    }
    return refusals;
}

Selection SelectLoggers(const std::vector<std::string>& serials,
                        const std::vector<ManifestEntry>* manifest) {
    Selection selection;
    std::map<std::string, int> counts;
    for (const std::string& serial : serials) {
        ++counts[serial];
    }
    for (const std::string& serial : serials) {
        std::optional<std::string> trip;
        Disposition disposition = Disposition::Write;
        if (counts[serial] > 1) {
            disposition = Disposition::Duplicate;
        } else if (manifest != nullptr) {
            const auto entry =
                std::find_if(manifest->begin(), manifest->end(),
                             [&](const ManifestEntry& e) { return e.serialNumber == serial; });
            if (entry == manifest->end()) {
                disposition = Disposition::Skipped;
            } else {
                trip = entry->tripInformation;
            }
        }
        selection.loggers.push_back(disposition);
        selection.trips.push_back(std::move(trip));
    }
    if (manifest != nullptr) {
        for (const ManifestEntry& entry : *manifest) {
            if (counts.find(entry.serialNumber) == counts.end()) {
                selection.missing.push_back(entry.serialNumber);
            }
        }
    }
    return selection;
}

bool RefuseUnsyncedClock(platform::ClockSync clockSync, const Options& options) {
    return clockSync == platform::ClockSync::Unsynchronised && !options.allowUnsyncedClock &&
           !options.demo;
}

int ProvisionExitCode(const Tally& tally, std::optional<int> expect) {
    if (tally.unconfirmed > 0) {
        return exit_code::kNotConfirmed;
    }
    if (tally.found == 0 || tally.unsaved > 0 || tally.missing > 0 || tally.unreported > 0 ||
        (expect && tally.found != *expect)) {
        return exit_code::kNothingSaved;
    }
    return exit_code::kDone;
}

namespace {

// A line as it is printed: a logger's serial number and the result (which
// quotes the logger's answers) may hold control characters.
LoggerLine printable(const LoggerLine& line) {
    return {protocol::PrintableText(line.port), protocol::PrintableText(line.serial),
            protocol::PrintableText(line.step), protocol::PrintableText(line.result)};
}

} // namespace

std::string PlainLine(const LoggerLine& given) {
    const LoggerLine line = printable(given);
    return line.port + " " + (line.serial.empty() ? "-" : line.serial) + " " + line.step +
           (line.result.empty() ? "" : ": " + line.result);
}

std::string RedrawBoard(const std::vector<LoggerLine>& given, std::size_t drawn) {
    std::vector<LoggerLine> lines;
    std::transform(given.begin(), given.end(), std::back_inserter(lines), printable);
    std::size_t portWidth = 0;
    std::size_t serialWidth = 9;
    std::size_t stepWidth = 0;
    for (const LoggerLine& line : lines) {
        portWidth = std::max(portWidth, line.port.size());
        serialWidth = std::max(serialWidth, line.serial.size());
        stepWidth = std::max(stepWidth, line.step.size());
    }
    const auto padded = [](const std::string& text, std::size_t width) {
        return text + std::string(width - std::min(width, text.size()), ' ');
    };
    std::string text;
    if (drawn > 0) {
        text += "\r\x1b[" + std::to_string(drawn) + "A";
    }
    for (const LoggerLine& line : lines) {
        // Clear the old line first: a shorter new one would leave its tail.
        text +=
            "\x1b[2K" + padded(line.port, portWidth) + "  " +
            padded(line.serial.empty() ? "-" : line.serial, serialWidth) + "  " +
            (line.result.empty() ? line.step : padded(line.step, stepWidth) + "  " + line.result);
        text += '\n';
    }
    return text;
}

PortChanges ComparePorts(const std::set<std::string>& before, const std::set<std::string>& now) {
    PortChanges changes;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::back_inserter(changes.appeared));
    std::set_difference(before.begin(), before.end(), now.begin(), now.end(),
                        std::back_inserter(changes.disappeared));
    return changes;
}

bool PortPresent(const std::string& port, const std::set<std::string>& listed,
                 const std::function<bool(const std::string&)>& fileExists) {
    if (listed.count(port) != 0) {
        return true;
    }
    const bool path = port.find_first_of("/\\") != std::string::npos;
    return path && fileExists(port);
}

} // namespace korvel::cli
