#include "cli/Provision.h"

#include "cli/Command.h"
#include "cli/Discovery.h"
#include "cli/ProvisionReport.h"
#include "cli/SaveLogger.h"
#include "cli/Version.h"
#include "cli/WritePlan.h"
#include "history/Sha256.h"
#include "platform/TtyMonitor.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/JsonTree.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <ostream>
#include <random>
#include <thread>

namespace korvel::cli {

using namespace korvel::protocol;
using namespace std::chrono_literals;

namespace {

// A busy new port (ModemManager probes fresh ttyACM ports) is tried again
// this often, for this long, before it is reported.
constexpr auto kBusyRetry = 500ms;
constexpr auto kBusyLimit = 15s;
// How often the main thread looks at Ctrl-C, the ports and its workers.
constexpr auto kPoll = 50ms;
constexpr auto kPathPoll = 200ms;
constexpr auto kListingPeriod = 1s;
constexpr auto kRecentSave = std::chrono::hours(24);

// Stored (Latin-1) text as UTF-8 for what is printed.
std::string utf8Of(const std::string& latin1) {
    return settingsfile::ParseJson(settingsfile::QuotedText(latin1)).root.text;
}

std::string newBatchId(std::chrono::system_clock::time_point now) {
    const std::string time = UtcText(now); // 2025-06-01T12:00:00.000000Z
    std::string compact;
    for (const char c : time.substr(0, 19)) {
        if (c != '-' && c != ':') {
            compact += c;
        }
    }
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x", random() & 0xFFFFFF);
    return compact + "Z-" + suffix;
}

// The board of logger lines: live on a terminal, one line per event
// otherwise, one JSON object per event with --json. Safe from every thread.
class Board {
public:
    Board(std::ostream& out, std::ostream& err, bool live, bool json, bool quiet)
        : out_(out), err_(err), live_(live && !json), json_(json),
          report_([this](const std::string& line) { Told(line); }, quiet) {}

    std::size_t Add(LoggerLine line) {
        const std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
        Show(lines_.size() - 1);
        return lines_.size() - 1;
    }

    void Update(std::size_t index, const std::function<void(LoggerLine&)>& change) {
        const std::lock_guard lock(mutex_);
        change(lines_[index]);
        Show(index);
    }

    // Progress, warnings and errors, told the one way: to standard error,
    // unless the lines are live or JSON, where a line of its own would break
    // them and the message goes above them instead.
    const Reporter& Report() const { return report_; }

    // A message of its own, above the live lines; never left out.
    void Note(const std::string& text) {
        const std::lock_guard lock(mutex_);
        Print(text);
    }

    // Ends the live drawing: what follows goes below it.
    void Close() {
        const std::lock_guard lock(mutex_);
        drawn_ = 0;
    }

private:
    void Told(const std::string& line) {
        const std::lock_guard lock(mutex_);
        if (!json_ && !live_) {
            err_ << line << '\n';
            err_.flush();
            return;
        }
        Print(line);
    }

    // Under the lock.
    void Print(const std::string& text) {
        if (json_) {
            out_ << settingsfile::CompactText(
                        settingsfile::Node::Object({{"message", settingsfile::Node::String(text)}}))
                 << '\n';
        } else if (live_) {
            if (drawn_ > 0) {
                out_ << "\x1b[" << drawn_ << "A\x1b[J";
            }
            out_ << text << '\n' << RedrawBoard(lines_, 0);
            drawn_ = lines_.size();
        } else {
            out_ << text << '\n';
        }
        out_.flush();
    }

    void Show(std::size_t index) {
        const LoggerLine& line = lines_[index];
        if (json_) {
            const auto optional = [](const std::string& text) {
                return text.empty() ? settingsfile::Node::Null() : settingsfile::Node::String(text);
            };
            out_ << settingsfile::CompactText(settingsfile::Node::Object({
                        {"port", settingsfile::Node::String(line.port)},
                        {"serial_number", optional(line.serial)},
                        {"step", settingsfile::Node::String(line.step)},
                        {"result", optional(line.result)},
                    }))
                 << '\n';
        } else if (live_) {
            out_ << RedrawBoard(lines_, drawn_);
            drawn_ = lines_.size();
        } else {
            out_ << PlainLine(line) << '\n';
        }
        out_.flush();
    }

    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    bool live_;
    bool json_;
    std::vector<LoggerLine> lines_;
    std::size_t drawn_ = 0;
    Reporter report_;
};

enum class End { NoLogger, Skipped, Unsaved, Unconfirmed, Confirmed };

// One port and what became of its logger. The queue is declared before the
// probe, whose port posts into it, so the port goes first.
struct Station {
    explicit Station(std::string p) : path(std::move(p)) {}
    std::string path;
    EventQueue queue;
    Probe probe;
    std::size_t line = 0;
    std::string serial; // as stored; empty without a logger
    End end = End::NoLogger;
    std::string result;
    std::string detail;
    std::thread thread;
    std::atomic<bool> finished{true};
    // The watch's registry of serial numbers in flight, under its lock.
    std::string claimed;
    bool released = false;
};

// What every station of a run shares; read-only while stations run, but for
// the board, the report and the watch's registry, which guard themselves.
struct Batch {
    const Options& options;
    Environment& env;
    const settingsfile::SettingsFile& file;
    Trace* trace;
    Board& board;
    ProvisionReport* report;
    const std::vector<ManifestEntry>* manifest;
    history::SaveAttempt identity; // operator, host, program, clock sync, batch
    std::string settingsSha256;
    platform::ClockSync clockSync;
};

std::string probeResult(const Probe& probe) {
    switch (probe.result) {
    case Probe::Result::Silent:
        return "no logger: no answer";
    case Probe::Result::OpenFailed:
        return "not opened: " + probe.problem;
    default:
        return "no logger: " + probe.problem;
    }
}

// Opens the port and asks for the logger's block. A busy port is tried again
// until `busyLimit` has passed (zero: once), unless the run stops taking
// loggers.
void probeStation(Batch& batch, Station& station, std::chrono::milliseconds busyLimit,
                  const std::function<bool()>& stopping) {
    const auto start = EventQueue::Clock::now();
    while (true) {
        std::vector<Probe> probes = ProbePorts(station.queue, {station.path}, batch.env.timing,
                                               batch.trace, batch.env.opener);
        station.probe = std::move(probes.front());
        const bool busy = station.probe.result == Probe::Result::OpenFailed &&
                          station.probe.openError == platform::SerialError::Busy;
        if (!busy || EventQueue::Clock::now() - start + kBusyRetry > busyLimit || stopping() ||
            station.queue.Interrupted()) {
            break;
        }
        std::this_thread::sleep_for(kBusyRetry);
    }
    if (station.probe.result == Probe::Result::Logger) {
        station.serial = SerialNumberOf(station.probe.reply);
        batch.board.Update(station.line, [&](LoggerLine& line) {
            line.serial = utf8Of(SerialNumberText(station.serial));
            line.step = "found";
        });
    } else {
        station.result = probeResult(station.probe);
        batch.board.Update(station.line, [&](LoggerLine& line) {
            line.step = "done";
            line.result = station.result;
        });
    }
}

std::vector<std::pair<std::string, std::string>> comparedKeys(const LoggerSettings& target,
                                                              const Verification& verification) {
    std::vector<std::pair<std::string, std::string>> compared;
    for (const settingsfile::SettingLine& line : settingsfile::SettingLines(target)) {
        const bool differs = std::any_of(
            verification.differences.begin(), verification.differences.end(),
            [&](const settingsfile::Change& difference) { return difference.key == line.key; });
        compared.emplace_back(line.key, differs ? "differs" : "match");
    }
    return compared;
}

std::string settingText(const LoggerSettings& settings, const std::string& key) {
    for (const settingsfile::SettingLine& line : settingsfile::SettingLines(settings)) {
        if (line.key == key) {
            // As text, not as the JSON value the file writes.
            return settingsfile::ParseJson(line.value).root.text;
        }
    }
    return {};
}

// Ends a logger: its final line, its report row.
void finishStation(Batch& batch, Station& station, End end, std::string result, std::string detail,
                   const WritePlan* plan = nullptr, const SaveReport* saved = nullptr) {
    station.end = end;
    station.result = std::move(result);
    station.detail = std::move(detail);
    batch.board.Update(station.line, [&](LoggerLine& line) {
        line.step = "done";
        line.result = station.result + (station.detail.empty() ? "" : " (" + station.detail + ")");
    });
    if (batch.report == nullptr) {
        return;
    }
    ReportRow row;
    row.batch = batch.identity.batch;
    row.time = UtcText(batch.env.now());
    row.operatorName = batch.identity.operatorName;
    row.host = batch.identity.host;
    row.program = batch.identity.program;
    row.settingsSha256 = batch.settingsSha256;
    row.port = station.path;
    row.serialNumber = utf8Of(SerialNumberText(station.serial));
    row.result = station.result;
    row.detail = station.detail;
    row.clockSync = platform::ClockSyncName(batch.clockSync);
    if (plan != nullptr) {
        row.changes = plan->changes;
        row.timeZone = settingText(plan->target, "time_zone");
    }
    if (saved != nullptr && saved->sent) {
        row.clock = DateTimeText(saved->clock);
    }
    if (plan != nullptr && saved != nullptr && saved->verified.has_value() &&
        saved->readBackProblem.empty()) {
        row.compared = comparedKeys(plan->target, saved->verification);
    }
    batch.report->Write(row);
}

// Plans, saves and verifies one logger that answered on `station`.
void saveStation(Batch& batch, Station& station, const std::optional<std::string>& trip) {
    settingsfile::SettingsFile file = batch.file;
    if (trip) {
        file.settings.tripInformation = *trip;
        file.keys.Add(protocol::SettingKey::TripInformation);
    }
    const WritePlan plan = PlanWrite(file, DecodeSettings(station.probe.reply), false);
    if (!plan.refusals.empty()) {
        std::string refusals;
        for (const std::string& refusal : plan.refusals) {
            refusals += (refusals.empty() ? "" : "; ") + refusal;
        }
        finishStation(batch, station, End::Unsaved, "refused", refusals, &plan);
        return;
    }
    SaveRequest request;
    request.target = plan.target;
    request.reply = station.probe.reply;
    request.clock = [&] { return LoggerClock(batch.env.now(), plan.target.timeZone); };
    request.now = batch.env.now;
    request.history = batch.env.history;
    request.requireHistory = batch.options.requireHistory;
    request.attempt = batch.identity;
    const SaveReport saved =
        SaveLogger(*station.probe.port, station.queue, batch.env.timing, request, [&](SaveStep s) {
            batch.board.Update(station.line, [s](LoggerLine& line) {
                line.step = s == SaveStep::Saving ? "saving" : "reading back";
            });
        });
    for (const std::string& warning : saved.historyWarnings) {
        batch.board.Report().Warning(station.path + ": " + warning);
    }
    const End end = saved.Confirmed() ? End::Confirmed
                    : saved.sent      ? End::Unconfirmed
                                      : End::Unsaved;
    std::string detail = saved.detail;
    if (saved.result == "not sent" && detail.empty()) {
        detail = saved.save.problem;
    }
    finishStation(batch, station, end, saved.result, detail, &plan, &saved);
    // The port is closed as soon as its logger is done, not at the end of the run.
    station.probe.port.reset();
}

// Waits for every station's thread while watching Ctrl-C: the second
// interrupts every exchange in flight.
void joinStations(Batch& batch, std::vector<std::unique_ptr<Station>>& stations) {
    bool aborted = false;
    while (!std::all_of(stations.begin(), stations.end(),
                        [](const auto& station) { return station->finished.load(); })) {
        if (!aborted && batch.env.stopRequests() >= 2) {
            aborted = true;
            for (const auto& station : stations) {
                station->queue.Interrupt();
            }
        }
        std::this_thread::sleep_for(kPoll);
    }
    for (const auto& station : stations) {
        if (station->thread.joinable()) {
            station->thread.join();
        }
    }
}

void startStation(Station& station, std::function<void()> work) {
    station.finished = false;
    station.thread = std::thread([&station, work = std::move(work)] {
        work();
        station.finished = true;
    });
}

Tally tallyOf(const std::vector<std::unique_ptr<Station>>& stations, int missing) {
    Tally tally;
    tally.missing = missing;
    for (const auto& station : stations) {
        switch (station->end) {
        case End::NoLogger:
            continue;
        case End::Confirmed:
            ++tally.confirmed;
            break;
        case End::Unconfirmed:
            ++tally.unconfirmed;
            break;
        case End::Unsaved:
            ++tally.unsaved;
            break;
        case End::Skipped:
            ++tally.skipped;
            break;
        }
        ++tally.found;
    }
    return tally;
}

// The summary, with every logger that failed and every one missing.
int summarise(Batch& batch, const std::vector<std::unique_ptr<Station>>& stations,
              const std::vector<const ManifestEntry*>& missing) {
    batch.board.Close();
    const Tally tally = tallyOf(stations, static_cast<int>(missing.size()));
    const int code = ProvisionExitCode(tally, batch.options.expect);
    std::ostream& out = batch.env.out;
    std::vector<std::string> failed;
    for (const auto& station : stations) {
        if (station->end == End::Unsaved || station->end == End::Unconfirmed) {
            failed.push_back(station->path + " " + utf8Of(SerialNumberText(station->serial)) +
                             ": " + station->result +
                             (station->detail.empty() ? "" : " (" + station->detail + ")"));
        }
    }
    for (const ManifestEntry* entry : missing) {
        failed.push_back(utf8Of(entry->serialNumber) + ": not found (manifest line " +
                         std::to_string(entry->line) + ")");
    }
    const bool countMissed = batch.options.expect && tally.found != *batch.options.expect;
    if (batch.options.json) {
        using settingsfile::Node;
        std::vector<Node> failures;
        for (const std::string& failure : failed) {
            failures.push_back(Node::String(failure));
        }
        const auto number = [](int n) { return Node::Number(std::to_string(n)); };
        out << settingsfile::CompactText(Node::Object({
                   {"summary",
                    Node::Object({{"batch", Node::String(batch.identity.batch)},
                                  {"found", number(tally.found)},
                                  {"confirmed", number(tally.confirmed)},
                                  {"not_confirmed", number(tally.unconfirmed)},
                                  {"not_saved", number(tally.unsaved)},
                                  {"skipped", number(tally.skipped)},
                                  {"missing", number(tally.missing)},
                                  {"expected", batch.options.expect ? number(*batch.options.expect)
                                                                    : Node::Null()},
                                  {"failed", Node::Array(std::move(failures))},
                                  {"exit_code", number(code)}})},
               }))
            << '\n';
        return code;
    }
    out << "batch " << batch.identity.batch << ": " << tally.found << " found, " << tally.confirmed
        << " confirmed, " << tally.unconfirmed << " not confirmed, " << tally.unsaved
        << " not saved, " << tally.skipped << " skipped\n";
    if (countMissed) {
        out << "expected " << *batch.options.expect << " loggers, found " << tally.found << '\n';
    }
    if (tally.found == 0 && !countMissed) {
        out << "no logger found: check that the loggers are plugged in, or name their ports "
               "with --port\n";
    }
    for (const std::string& failure : failed) {
        out << "failed: " << failure << '\n';
    }
    if (tally.unconfirmed > 0) {
        out << "run korvel-cli read --port PORT on each logger not confirmed to see what it "
               "holds, then provision it again\n";
    }
    out.flush();
    return code;
}

// ---- One run over the ports present now ----

int runOnce(Batch& batch, const std::vector<std::string>& ports) {
    std::vector<std::unique_ptr<Station>> stations;
    for (const std::string& path : ports) {
        stations.push_back(std::make_unique<Station>(path));
        stations.back()->line = batch.board.Add({path, "", "probing", ""});
    }
    const auto stopping = [&batch] { return batch.env.stopRequests() >= 1; };
    for (const auto& station : stations) {
        startStation(*station, [&batch, &station = *station, stopping] {
            probeStation(batch, station, std::chrono::milliseconds(0), stopping);
        });
    }
    joinStations(batch, stations);

    std::vector<Station*> loggers;
    std::vector<std::string> serials;
    for (const auto& station : stations) {
        if (station->probe.result == Probe::Result::Logger) {
            loggers.push_back(station.get());
            serials.push_back(utf8Of(SerialNumberText(station->serial)));
        }
    }
    const Selection selection = SelectLoggers(serials, batch.manifest);
    std::vector<const ManifestEntry*> missing;
    for (const std::string& serial : selection.missing) {
        for (const ManifestEntry& entry : *batch.manifest) {
            if (entry.serialNumber == serial) {
                missing.push_back(&entry);
            }
        }
    }
    for (std::size_t i = 0; i < loggers.size(); ++i) {
        Station& station = *loggers[i];
        if (selection.loggers[i] == Disposition::Skipped) {
            finishStation(batch, station, End::Skipped, "skipped", "not in the manifest");
        } else if (selection.loggers[i] == Disposition::Duplicate) {
            finishStation(batch, station, End::Unsaved, "not saved",
                          "another logger has the same serial number");
        } else if (stopping()) {
            finishStation(batch, station, End::Unsaved, "not saved", "stopped before the save");
        } else {
            startStation(station, [&batch, &station, trip = selection.trips[i]] {
                saveStation(batch, station, trip);
            });
        }
    }
    joinStations(batch, stations);
    for (auto& station : stations) {
        station->probe.port.reset();
    }
    return summarise(batch, stations, missing);
}

// ---- The watch ----

int runWatch(Batch& batch, const PortLister& lister, bool givenPorts) {
    std::unique_ptr<platform::TtyMonitor> monitor;
    if (!givenPorts) {
        std::string problem;
        monitor = platform::OpenTtyMonitor(problem);
        if (!monitor) {
            batch.board.Report().Progress(problem + "; listing the ports once a second");
        }
    }
    const auto presentNow = [&]() -> std::set<std::string> {
        std::set<std::string> present;
        if (const auto ports = lister()) {
            for (const std::string& path : *ports) {
                std::error_code error;
                if (std::filesystem::exists(path, error)) {
                    present.insert(path);
                }
            }
        }
        return present;
    };

    std::vector<std::unique_ptr<Station>> stations; // appended by this thread only
    std::mutex registry; // guards `stations` against the workers, and their claims
    const auto stopping = [&batch] { return batch.env.stopRequests() >= 1; };

    const auto provisionPort = [&](Station& station) {
        probeStation(batch, station, kBusyLimit, stopping);
        if (station.probe.result != Probe::Result::Logger) {
            return;
        }
        const std::string serial =
            utf8Of(SerialNumberText(station.serial)); // as a manifest writes it
        std::optional<std::string> trip;
        {
            // Two loggers with one serial number on the bench at once: the
            // second is not written (the first may be saving already).
            const std::lock_guard lock(registry);
            const bool taken =
                std::any_of(stations.begin(), stations.end(), [&](const auto& other) {
                    return other->claimed == station.serial && !other->released;
                });
            if (taken) {
                finishStation(batch, station, End::Unsaved, "not saved",
                              "another logger with the same serial number is being provisioned");
                return;
            }
            station.claimed = station.serial;
        }
        const auto release = [&] {
            const std::lock_guard lock(registry);
            station.released = true;
        };
        if (batch.manifest != nullptr) {
            const auto entry =
                std::find_if(batch.manifest->begin(), batch.manifest->end(),
                             [&](const ManifestEntry& e) { return e.serialNumber == serial; });
            if (entry == batch.manifest->end()) {
                finishStation(batch, station, End::Skipped, "skipped", "not in the manifest");
                release();
                return;
            }
            trip = entry->tripInformation;
        }
        if (batch.env.history != nullptr) {
            if (const auto last = batch.env.history->LastConfirmedSave(station.serial);
                last && batch.env.now() - *last < kRecentSave) {
                batch.board.Report().Warning("logger " + serial + " was provisioned " +
                                             UtcText(*last) +
                                             ", less than 24 hours ago; provisioning it again");
            }
        }
        if (stopping()) {
            finishStation(batch, station, End::Unsaved, "not saved", "stopped before the save");
        } else {
            saveStation(batch, station, trip);
        }
        release();
    };

    std::set<std::string> present;
    auto lastListing = EventQueue::Clock::time_point{};
    bool aborted = false;
    while (true) {
        const int stops = batch.env.stopRequests();
        if (stops >= 2 && !aborted) {
            aborted = true;
            for (const auto& station : stations) {
                station->queue.Interrupt();
            }
        }
        if (stops >= 1) {
            if (std::all_of(stations.begin(), stations.end(),
                            [](const auto& station) { return station->finished.load(); })) {
                break;
            }
            std::this_thread::sleep_for(kPoll);
            continue;
        }
        bool relist = true;
        if (monitor) {
            relist = monitor->Wait(kPathPoll) ||
                     EventQueue::Clock::now() - lastListing >= kListingPeriod;
        } else {
            std::this_thread::sleep_for(givenPorts ? kPathPoll : kListingPeriod);
        }
        if (!relist) {
            continue;
        }
        lastListing = EventQueue::Clock::now();
        const std::set<std::string> now = presentNow();
        const PortChanges changes = ComparePorts(present, now);
        present = now;
        // A port that went is no longer present: when it comes back, that is
        // a new plug-in. One left in place appears once.
        for (const std::string& path : changes.disappeared) {
            batch.board.Note(path + " unplugged");
        }
        for (const std::string& path : changes.appeared) {
            auto station = std::make_unique<Station>(path);
            station->line = batch.board.Add({path, "", "probing", ""});
            Station& started = *station;
            {
                const std::lock_guard lock(registry);
                stations.push_back(std::move(station));
            }
            startStation(started, [&provisionPort, &started] { provisionPort(started); });
        }
    }
    joinStations(batch, stations);
    for (auto& station : stations) {
        station->probe.port.reset();
    }
    std::vector<const ManifestEntry*> missing;
    if (batch.manifest != nullptr) {
        for (const ManifestEntry& entry : *batch.manifest) {
            const bool done = std::any_of(stations.begin(), stations.end(), [&](const auto& s) {
                return s->end == End::Confirmed &&
                       SerialNumberText(s->serial) == entry.serialNumber;
            });
            if (!done) {
                missing.push_back(&entry);
            }
        }
    }
    return summarise(batch, stations, missing);
}

} // namespace

std::vector<std::string> ProvisionFileRefusals(const settingsfile::SettingsFile& file) {
    std::vector<std::string> refusals;
    if (file.Gives(protocol::SettingKey::SerialNumber)) {
        refusals.push_back("serial_number: each logger keeps its own serial number; remove it "
                           "from the file (write --set-serial renames one logger)");
    }
    if (file.Gives(protocol::SettingKey::CalibrationTemperature) ||
        file.Gives(protocol::SettingKey::CalibrationHumidity)) {
        refusals.push_back("calibration: each logger keeps its own sensor offsets; remove them "
                           "from the file (write sets them on one logger)");
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

int ProvisionExitCode(const Tally& tally, std::optional<int> expect) {
    if (tally.unconfirmed > 0) {
        return exit_code::kNotConfirmed;
    }
    if (tally.found == 0 || tally.unsaved > 0 || tally.missing > 0 ||
        (expect && tally.found != *expect)) {
        return exit_code::kNothingSaved;
    }
    return exit_code::kDone;
}

std::string PlainLine(const LoggerLine& line) {
    return line.port + " " + (line.serial.empty() ? "-" : line.serial) + " " + line.step +
           (line.result.empty() ? "" : ": " + line.result);
}

std::string RedrawBoard(const std::vector<LoggerLine>& lines, std::size_t drawn) {
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

int RunProvision(const CommandContext& context, const settingsfile::SettingsFile& file,
                 const std::string& fileText, const PortLister& ports, Trace* trace) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& tell = context.report;
    const std::string name = FileName(options.file);
    if (const auto refusals = ProvisionFileRefusals(file); !refusals.empty()) {
        for (const std::string& refusal : refusals) {
            tell.Error(name + ": " + refusal);
        }
        tell.Error("nothing was sent to any logger");
        return exit_code::kUsage;
    }
    for (const protocol::SettingsProblem& problem : settingsfile::CheckSettingsFile(file)) {
        tell.Error(name + ": " + problem.Text());
        return exit_code::kUsage;
    }
    std::optional<std::vector<ManifestEntry>> manifest;
    if (!options.manifest.empty()) {
        std::ifstream in(options.manifest, std::ios::binary);
        if (!in) {
            tell.Error("cannot read the manifest " + options.manifest);
            return exit_code::kUsage;
        }
        const std::string text(std::istreambuf_iterator<char>(in), {});
        ParsedManifest parsed = ParseManifest(text);
        if (!parsed.entries) {
            tell.Error(options.manifest + ": " + parsed.error + "; nothing was sent to any logger");
            return exit_code::kUsage;
        }
        manifest = std::move(parsed.entries);
    }
    const platform::ClockSync clockSync = env.clockSync();
    if (clockSync == platform::ClockSync::Unsynchronised && !options.allowUnsyncedClock) {
        tell.Error("the computer's clock is not synchronised, and every logger would take its time "
                   "from it; nothing was sent. Synchronise it (timedatectl set-ntp true, then wait "
                   "until timedatectl shows \"System clock synchronized: yes\"), or add "
                   "--allow-unsynced-clock to provision with the clock as it is");
        return exit_code::kUsage;
    }
    std::unique_ptr<ProvisionReport> report;
    if (!options.report.empty()) {
        std::string problem;
        report = ProvisionReport::Create(options.report, problem);
        if (!report) {
            tell.Error(problem + "; nothing was sent to any logger");
            return exit_code::kUsage;
        }
    }
    env.catchStopRequests();

    Board board(env.out, env.err, env.terminal, options.json, options.quiet);
    Batch batch{options, env, file,     trace, board, report.get(), manifest ? &*manifest : nullptr,
                {},      {},  clockSync};
    batch.identity = AttemptIdentity(options, env, clockSync);
    batch.identity.batch = newBatchId(env.now());
    batch.settingsSha256 = history::Sha256Hex(fileText);
    if (clockSync == platform::ClockSync::Unsynchronised) {
        board.Report().Warning(
            "the computer's clock is not synchronised; each logger gets its time");
    } else if (clockSync == platform::ClockSync::Unknown) {
        board.Report().Warning("whether the computer's clock is synchronised is not known here; "
                               "check it before trusting the loggers' clocks");
    }
    if (options.watch) {
        board.Report().Progress("watching for loggers; Ctrl-C stops taking new ones, a second "
                                "Ctrl-C aborts those in progress");
        return runWatch(batch, ports, !options.ports.empty() || options.demo);
    }
    const auto listed = ports();
    if (!listed) {
        return exit_code::kNothingSaved;
    }
    return runOnce(batch, *listed);
}

} // namespace korvel::cli
