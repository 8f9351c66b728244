#include "cli/Provision.h"

#include "cli/Command.h"
#include "cli/Discovery.h"
#include "cli/ProvisionReport.h"
#include "cli/ProvisionStation.h"
#include "cli/Version.h"
#include "history/Sha256.h"
#include "platform/TtyMonitor.h"
#include "settingsfile/JsonTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <random>
#include <thread>

namespace korvel::cli {

using namespace korvel::protocol;
using namespace std::chrono_literals;

namespace {

// A busy new port (ModemManager probes fresh ttyACM ports) is tried again
// for this long before it is reported.
constexpr auto kBusyLimit = 15s;
constexpr auto kPathPoll = 200ms;
constexpr auto kListingPeriod = 1s;
constexpr auto kRecentSave = std::chrono::hours(24);

std::string newBatchId(std::chrono::system_clock::time_point now) {
    const std::string time = UtcMicrosecondsText(now); // 2025-06-01T12:00:00.000000Z
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

// ---- One run over the ports present now ----

int runOnce(Batch& batch, const std::vector<std::string>& ports) {
    std::vector<std::unique_ptr<Station>> stations;
    for (const std::string& path : ports) {
        stations.push_back(std::make_unique<Station>(path));
        stations.back()->line = batch.board.Add({path, "", "probing", ""});
    }
    const auto stopping = [&batch] { return batch.Stops() >= 1; };
    for (const auto& station : stations) {
        StartStation(*station, [&batch, &station = *station, stopping] {
            ProbeStation(batch, station, std::chrono::milliseconds(0), stopping);
        });
    }
    JoinStations(batch, stations);

    std::vector<Station*> loggers;
    std::vector<std::string> serials;
    for (const auto& station : stations) {
        if (station->probe.result == Probe::Result::Logger) {
            loggers.push_back(station.get());
            serials.push_back(settingsfile::Utf8Text(SerialNumberText(station->serial)));
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
            FinishStation(batch, station, End::Skipped, "skipped", "not in the manifest");
        } else if (selection.loggers[i] == Disposition::Duplicate) {
            FinishStation(batch, station, End::Unsaved, "not saved",
                          "another logger has the same serial number");
        } else if (stopping()) {
            FinishStation(batch, station, End::Unsaved, "not saved", "stopped before the save");
        } else {
            StartStation(station, [&batch, &station, trip = selection.trips[i]] {
                SaveStation(batch, station, trip);
            });
        }
    }
    JoinStations(batch, stations);
    CloseStations(stations);
    return Summarise(batch, stations, missing);
}

// ---- The watch ----

int runWatch(Batch& batch, const PortLister& lister, bool givenPorts) {
    std::unique_ptr<platform::TtyMonitor> monitor;
    if (!givenPorts) {
        auto opened = platform::OpenTtyMonitor();
        if (opened) {
            monitor = std::move(opened).take();
        } else {
            batch.board.Report().Progress(opened.failure().message +
                                          "; listing the ports once a second");
        }
    }
    const auto fileExists = [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(path, error);
    };
    const auto presentNow = [&]() -> std::set<std::string> {
        std::set<std::string> present;
        const auto ports = lister();
        if (!ports) {
            return present;
        }
        // Listed ports are there by being listed; given ones are looked up.
        std::set<std::string> listed;
        if (!givenPorts) {
            listed.insert(ports->begin(), ports->end());
        } else if (const auto system = batch.env.listPorts()) {
            listed.insert(system->begin(), system->end());
        }
        for (const std::string& port : *ports) {
            if (PortPresent(port, listed, fileExists)) {
                present.insert(port);
            }
        }
        return present;
    };

    std::vector<std::unique_ptr<Station>> stations; // appended by this thread only
    std::mutex registry; // guards `stations` against the workers, and their claims
    const auto stopping = [&batch] { return batch.Stops() >= 1; };

    const auto provisionPort = [&](Station& station) {
        ProbeStation(batch, station, kBusyLimit, stopping);
        if (station.probe.result != Probe::Result::Logger) {
            return;
        }
        const std::string serial =
            settingsfile::Utf8Text(SerialNumberText(station.serial)); // as a manifest writes it
        std::optional<std::string> trip;
        Disposition disposition = Disposition::Write;
        {
            // Two loggers with one serial number on the bench at once: the
            // second is not written (the first may be saving already).
            const std::lock_guard lock(registry);
            std::vector<std::string> serials;
            for (const auto& other : stations) {
                if (other.get() != &station && !other->claimed.empty() && !other->released) {
                    serials.push_back(other->claimed);
                }
            }
            serials.push_back(serial);
            const Selection selection = SelectLoggers(serials, batch.manifest);
            disposition = selection.loggers.back();
            if (disposition == Disposition::Duplicate) {
                FinishStation(batch, station, End::Unsaved, "not saved",
                              "another logger with the same serial number is being provisioned");
                return;
            }
            trip = selection.trips.back();
            station.claimed = serial;
        }
        const auto release = [&] {
            const std::lock_guard lock(registry);
            station.released = true;
        };
        if (disposition == Disposition::Skipped) {
            FinishStation(batch, station, End::Skipped, "skipped", "not in the manifest");
            release();
            return;
        }
        if (batch.env.history != nullptr) {
            if (const auto last = batch.env.history->LastConfirmedSave(serial);
                last && batch.env.now() - *last < kRecentSave) {
                batch.board.Report().Warning("logger " + serial + " was provisioned " +
                                             UtcMicrosecondsText(*last) +
                                             ", less than 24 hours ago; provisioning it again");
            }
        }
        if (stopping()) {
            FinishStation(batch, station, End::Unsaved, "not saved", "stopped before the save");
        } else {
            SaveStation(batch, station, trip);
        }
        release();
    };

    std::set<std::string> present;
    auto lastListing = EventQueue::Clock::time_point{};
    bool aborted = false;
    while (true) {
        const int stops = batch.Stops();
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
            std::this_thread::sleep_for(kStopPoll);
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
            StartStation(started, [&provisionPort, &started] { provisionPort(started); });
        }
    }
    JoinStations(batch, stations);
    CloseStations(stations);
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
    return Summarise(batch, stations, missing);
}

} // namespace

int RunProvision(const CommandContext& context, const settingsfile::SettingsFile& file,
                 const std::string& fileText, const PortLister& ports, Trace* trace) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& tell = context.report;
    std::optional<std::vector<ManifestEntry>> manifest;
    if (!options.manifest.empty()) {
        std::ifstream csv;
        if (options.manifest != "-") {
            csv.open(options.manifest, std::ios::binary);
            if (!csv) {
                tell.Error("cannot read the manifest " + options.manifest);
                return exit_code::kUsage;
            }
        }
        std::istream& in = options.manifest == "-" ? env.in : csv;
        const std::string text(std::istreambuf_iterator<char>(in), {});
        const protocol::Result<std::vector<ManifestEntry>> parsed = ParseManifest(text);
        if (!parsed) {
            tell.Error(FileName(options.manifest) + ": " + parsed.failure().message +
                       "; nothing was sent to any logger");
            return exit_code::kUsage;
        }
        manifest = *parsed;
    }
    const platform::ClockSync clockSync = env.clockSync();
    if (RefuseUnsyncedClock(clockSync, options)) {
        tell.Error("the computer's clock is not synchronised, and every logger would take its time "
                   "from it; nothing was sent. Synchronise it (timedatectl set-ntp true, then wait "
                   "until timedatectl shows \"System clock synchronized: yes\"), or add "
                   "--allow-unsynced-clock to provision with the clock as it is");
        return exit_code::kUsage;
    }
    std::unique_ptr<ProvisionReport> report;
    if (!options.report.empty()) {
        auto created = ProvisionReport::Create(env.createFile, options.report);
        if (!created) {
            tell.Error(created.failure().message + "; nothing was sent to any logger");
            return exit_code::kUsage;
        }
        report = std::move(created).take();
    }
    env.catchStopRequests();

    // A trace on standard error writes lines the live drawing would not count.
    Board board(env.out, env.err, env.terminal && options.trace != "-", options.json, options.quiet,
                tell.Record());
    Batch batch{options, env, file,     trace, board, report.get(), manifest ? &*manifest : nullptr,
                {},      {},  clockSync};
    batch.identity = AttemptIdentity(options, env, clockSync);
    batch.identity.batch = newBatchId(env.now());
    batch.settingsSha256 = history::Sha256Hex(fileText);
    if (clockSync == platform::ClockSync::Unsynchronised && !options.demo) {
        board.Report().Warning(
            "the computer's clock is not synchronised; each logger gets its time");
    } else if (clockSync == platform::ClockSync::Unknown && !options.demo) {
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
