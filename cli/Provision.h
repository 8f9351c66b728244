#pragma once
// `provision`: the settings of one file into every logger found, all at once,
// each on its own port component and thread, each keeping its serial number
// and calibration; and the watch of a configuration bench. The decisions are
// pure functions here; RunProvision drives the ports.

#include "cli/CommandLine.h"
#include "cli/Environment.h"
#include "cli/Manifest.h"
#include "cli/Trace.h"
#include "settingsfile/SettingsFile.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace korvel::cli {

// What in a provisioning file would take a logger's identity or sensor
// offsets from it: one problem per key; empty when the file may be used.
std::vector<settingsfile::FileError> ProvisionFileRefusals(const settingsfile::SettingsFile& file);

// What becomes of each logger found, by its serial number (UTF-8, as a
// manifest writes it).
enum class Disposition { Write, Skipped, Duplicate };
struct Selection {
    std::vector<Disposition> loggers;              // one per serial number given
    std::vector<std::optional<std::string>> trips; // Write with a manifest: its trip information
    std::vector<std::string> missing;              // listed in the manifest, not found
};
// Two loggers with one serial number are both Duplicate; with a manifest,
// loggers it does not list are Skipped.
Selection SelectLoggers(const std::vector<std::string>& serials,
                        const std::vector<ManifestEntry>* manifest);

// The count of a run's loggers by how they ended.
struct Tally {
    int found = 0;       // loggers that answered
    int confirmed = 0;   // saved, acknowledged, read back the same
    int unconfirmed = 0; // a save sent but not confirmed
    int unsaved = 0;     // to be written but not saved: refused, duplicate, not sent
    int skipped = 0;     // not in the manifest
    int missing = 0;     // in the manifest, not found
    int unreported = 0;  // found, but its report row could not be written
};
// 3 when any save is unconfirmed; else 1 when none was found, any logger was
// left unsaved or without its report row, a manifest's logger is missing or
// --expect's count is not met; else 0.
int ProvisionExitCode(const Tally& tally, std::optional<int> expect);

// Whether provisioning stops before any port because every logger would take
// its time from a clock that is not synchronised: not when the user allows it,
// nor under --demo, whose logger is a play one that no data will be trusted from.
bool RefuseUnsyncedClock(platform::ClockSync clockSync, const Options& options);

// One logger's line on the board.
struct LoggerLine {
    std::string port;
    std::string serial; // UTF-8; empty until known
    std::string step;   // "probing", "saving", "reading back", "done"
    std::string result; // empty until it ends
};
// "PORT SERIAL STEP[: RESULT]": one event, for a log or a pipe. Here and in
// RedrawBoard the fields' control characters are escaped (PrintableText).
std::string PlainLine(const LoggerLine& line);
// The whole board redrawn in place on a terminal: the cursor goes up over the
// `drawn` lines of the last drawing and every line is rewritten, in columns.
std::string RedrawBoard(const std::vector<LoggerLine>& lines, std::size_t drawn);

// Ports that came and went between two listings.
struct PortChanges {
    std::vector<std::string> appeared;
    std::vector<std::string> disappeared;
};
PortChanges ComparePorts(const std::set<std::string>& before, const std::set<std::string>& now);

// Whether a watched port is there now. The port list says so; a path it does
// not show (a pseudo-terminal, a link to a port) is there while that file
// exists. A bare name (COM12) is never looked for as a file: it is no file,
// and from COM10 on it would be one of that name in the current folder.
bool PortPresent(const std::string& port, const std::set<std::string>& listed,
                 const std::function<bool(const std::string&)>& fileExists);

// The ports to try now: those given, or the USB serial ports as listed now;
// nothing when they cannot be listed.
using PortLister = std::function<std::optional<std::vector<std::string>>()>;

struct CommandContext;

// Runs `provision` with its file already read (`fileText` for its digest).
int RunProvision(const CommandContext& context, const settingsfile::SettingsFile& file,
                 const std::string& fileText, const PortLister& ports, Trace* trace);

} // namespace korvel::cli
