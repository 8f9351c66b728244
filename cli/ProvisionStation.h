#pragma once
// One logger of a provisioning run, on its own port and thread: probed,
// planned, saved, read back, and ended with its line and report row. The
// run and the watch (Provision.cpp) start stations and wait for them.

#include "cli/Command.h"
#include "cli/Discovery.h"
#include "cli/EventQueue.h"
#include "cli/Manifest.h"
#include "cli/ProvisionBoard.h"
#include "cli/ProvisionReport.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace korvel::cli {

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
    std::optional<history::RecordedRow> historyRow; // the last row its save wrote
    bool unrecorded = false; // saved, but the history lacks its attempt or outcome
    bool reported = false;   // its row is in the report
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

    // Requests to stop: Ctrl-C, SIGTERM and SIGHUP, and a standard output
    // that failed, which counts as the first.
    int Stops() const { return env.stopRequests() + (board.OutputLost() ? 1 : 0); }
};

// Opens the port and asks for the logger's block. A busy port is tried again
// until `busyLimit` has passed (zero: once), unless `stopping` says the run
// takes no more loggers.
void ProbeStation(Batch& batch, Station& station, std::chrono::milliseconds busyLimit,
                  const std::function<bool()>& stopping);

// Ends a logger without a save: its final line, its report row.
void FinishStation(Batch& batch, Station& station, End end, std::string result, std::string detail);

// Plans, saves and verifies one logger that answered on `station`, with the
// manifest's trip information when there is one.
void SaveStation(Batch& batch, Station& station, const std::optional<std::string>& trip);

// Runs `work` on the station's own thread.
void StartStation(Station& station, std::function<void()> work);

// Waits for every station's thread while watching Ctrl-C: the second
// interrupts every exchange in flight.
void JoinStations(Batch& batch, std::vector<std::unique_ptr<Station>>& stations);

// Closes every station's port, at the end of the run.
void CloseStations(std::vector<std::unique_ptr<Station>>& stations);

// The summary, with every logger that failed and every one missing, and with
// a report the rows written against the loggers finished; the exit code.
int Summarise(Batch& batch, const std::vector<std::unique_ptr<Station>>& stations,
              const std::vector<const ManifestEntry*>& missing);

} // namespace korvel::cli
