#include "cli/ProvisionStation.h"

#include "cli/SaveLogger.h"
#include "cli/WritePlan.h"
#include "protocol/Printable.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/JsonTree.h"

#include <algorithm>
#include <ostream>

namespace korvel::cli {

using namespace korvel::protocol;
using namespace std::chrono_literals;

namespace {

// A busy new port (ModemManager probes fresh ttyACM ports) is tried again
// this often before it is reported.
constexpr auto kBusyRetry = 500ms;

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
    if (saved != nullptr) {
        station.historyRow = saved->historyRow;
        station.unrecorded = saved->unrecorded;
    }
    batch.board.Update(station.line, [&](LoggerLine& line) {
        line.step = "done";
        line.result = station.result + (station.detail.empty() ? "" : " (" + station.detail + ")");
    });
    if (batch.report == nullptr) {
        return;
    }
    ReportRow row;
    row.batch = batch.identity.batch;
    row.time = UtcMicrosecondsText(batch.env.now());
    row.operatorName = batch.identity.operatorName;
    row.host = batch.identity.host;
    row.program = batch.identity.program;
    row.settingsSha256 = batch.settingsSha256;
    row.port = station.path;
    row.serialNumber = settingsfile::Utf8Text(SerialNumberText(station.serial));
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
    if (station.historyRow) {
        row.historyHead = station.historyRow->hash;
    }
    if (const protocol::Result<void> written = batch.report->Write(row); written) {
        station.reported = true;
    } else {
        batch.board.Report().Error("the report " + batch.report->Path() + " has no row for " +
                                   station.path + " " + row.serialNumber + ": " +
                                   written.failure().message);
    }
}

std::string stationName(const Station& station) {
    return station.path + " " + settingsfile::Utf8Text(SerialNumberText(station.serial));
}

Tally tallyOf(const std::vector<std::unique_ptr<Station>>& stations, int missing, bool report) {
    Tally tally;
    tally.missing = missing;
    for (const auto& station : stations) {
        if (station->end != End::NoLogger && report && !station->reported) {
            ++tally.unreported;
        }
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

} // namespace

void ProbeStation(Batch& batch, Station& station, std::chrono::milliseconds busyLimit,
                  const std::function<bool()>& stopping) {
    const auto start = EventQueue::Clock::now();
    while (true) {
        const PortOrigin origin = batch.options.demo || !batch.options.ports.empty()
                                      ? PortOrigin::Named
                                      : PortOrigin::Listed;
        std::vector<Probe> probes = ProbePorts(station.queue, {station.path}, batch.env.timing,
                                               batch.trace, batch.env.opener, origin);
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
            line.serial = settingsfile::Utf8Text(SerialNumberText(station.serial));
            line.step = "found";
        });
    } else {
        station.result =
            station.queue.Interrupted() ? "stopped while probing" : probeResult(station.probe);
        batch.board.Update(station.line, [&](LoggerLine& line) {
            line.step = "done";
            line.result = station.result;
        });
    }
}

void FinishStation(Batch& batch, Station& station, End end, std::string result,
                   std::string detail) {
    finishStation(batch, station, end, std::move(result), std::move(detail));
}

void SaveStation(Batch& batch, Station& station, const std::optional<std::string>& trip) {
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
    const SaveRequest request =
        SaveRequestFor(batch.options, batch.env, plan.target, station.probe.reply, batch.identity);
    const SaveReport saved =
        SaveLogger(*station.probe.port, station.queue, batch.env.timing, request, [&](SaveStep s) {
            batch.board.Update(station.line, [s](LoggerLine& line) {
                line.step = s == SaveStep::Saving ? "saving" : "reading back";
            });
        });
    for (const std::string& warning : saved.historyWarnings) {
        batch.board.Report().Alert(station.path + ": " + warning);
    }
    const End end = saved.Confirmed() ? End::Confirmed
                    : saved.sent      ? End::Unconfirmed
                                      : End::Unsaved;
    std::string detail = saved.detail;
    if (saved.outcome == history::Outcome::NotSent && detail.empty()) {
        detail = saved.save.problem;
    }
    finishStation(batch, station, end, history::OutcomeName(saved.outcome), detail, &plan, &saved);
    // The port is closed as soon as its logger is done, not at the end of the run.
    station.probe.port.reset();
}

void JoinStations(Batch& batch, std::vector<std::unique_ptr<Station>>& stations) {
    bool aborted = false;
    while (!std::all_of(stations.begin(), stations.end(),
                        [](const auto& station) { return station->finished.load(); })) {
        if (!aborted && batch.Stops() >= 2) {
            aborted = true;
            for (const auto& station : stations) {
                station->queue.Interrupt();
            }
        }
        std::this_thread::sleep_for(kStopPoll);
    }
    for (const auto& station : stations) {
        if (station->thread.joinable()) {
            station->thread.join();
        }
    }
}

void CloseStations(std::vector<std::unique_ptr<Station>>& stations) {
    for (auto& station : stations) {
        station->probe.port.reset();
    }
}

void StartStation(Station& station, std::function<void()> work) {
    station.finished = false;
    station.thread = std::thread([&station, work = std::move(work)] {
        work();
        station.finished = true;
    });
}

int Summarise(Batch& batch, const std::vector<std::unique_ptr<Station>>& stations,
              const std::vector<const ManifestEntry*>& missing) {
    batch.board.Close();
    const Tally tally =
        tallyOf(stations, static_cast<int>(missing.size()), batch.report != nullptr);
    int code = ProvisionExitCode(tally, batch.options.expect);
    // The run was cut short, and whoever started it may not see the summary:
    // the exit code says so.
    if (batch.board.OutputLost() || batch.env.sessionEnded()) {
        Reporter(batch.env.err, false, batch.board.Report().Record())
            .Error(std::string(batch.board.OutputLost() ? "standard output failed"
                                                        : "the terminal was closed") +
                   ": no new logger was taken; those in progress were finished and recorded");
        code = std::max(code, exit_code::kNothingSaved);
    }
    const bool stopped = batch.Stops() >= 1;
    std::ostream& out = batch.env.out;
    std::vector<std::string> failed;
    std::vector<std::string> unreported; // each logger without its report row
    for (const auto& station : stations) {
        if (station->end == End::Unsaved || station->end == End::Unconfirmed) {
            failed.push_back(station->path + " " +
                             settingsfile::Utf8Text(SerialNumberText(station->serial)) + ": " +
                             station->result +
                             (station->detail.empty() ? "" : " (" + station->detail + ")"));
        }
        if (station->end != End::NoLogger && batch.report != nullptr && !station->reported) {
            unreported.push_back(stationName(*station) + ": " + station->result);
        }
    }
    const int reportRows = tally.found - tally.unreported;
    for (const ManifestEntry* entry : missing) {
        failed.push_back(settingsfile::Utf8Text(entry->serialNumber) +
                         ": not found (manifest line " + std::to_string(entry->line) + ")");
    }
    const bool countMissed = batch.options.expect && tally.found != *batch.options.expect;
    // The newest row the run wrote anchors the history up to the batch's end.
    std::string head;
    std::int64_t newest = 0;
    int unrecorded = 0;
    for (const auto& station : stations) {
        if (station->historyRow && station->historyRow->id > newest) {
            newest = station->historyRow->id;
            head = station->historyRow->hash;
        }
        unrecorded += station->unrecorded ? 1 : 0;
    }
    if (batch.options.json) {
        using settingsfile::Node;
        std::vector<Node> failures;
        for (const std::string& failure : failed) {
            failures.push_back(Node::String(failure));
        }
        const auto number = [](int n) { return Node::Number(std::to_string(n)); };
        const Node historyHead = head.empty() ? Node::Null() : Node::String(head);
        const auto reportNode = [&] {
            if (batch.report == nullptr) {
                return Node::Null();
            }
            std::vector<Node> noRow;
            for (const std::string& logger : unreported) {
                noRow.push_back(Node::String(logger));
            }
            return Node::Object({{"path", Node::String(batch.report->Path())},
                                 {"rows", number(reportRows)},
                                 {"loggers", number(tally.found)},
                                 {"no_row", Node::Array(std::move(noRow))}});
        };
        ErrorRecord* const record = batch.board.Report().Record();
        out << settingsfile::CompactText(OutcomeObject(
                   code, record != nullptr ? record->Items() : std::vector<ErrorItem>(),
                   {{"summary",
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
                                   {"not_recorded", number(unrecorded)},
                                   {"history_head", historyHead},
                                   {"report", reportNode()},
                                   {"exit_code", number(code)}})}}))
            << '\n';
        out.flush();
        if (record != nullptr) {
            record->MarkPrinted();
        }
        return code;
    }
    out << "batch " << batch.identity.batch << ": " << tally.found << " found, " << tally.confirmed
        << " confirmed, " << tally.unconfirmed << " not confirmed, " << tally.unsaved
        << " not saved, " << tally.skipped << " skipped\n";
    if (countMissed) {
        out << "expected " << *batch.options.expect << " loggers, found " << tally.found << '\n';
    }
    if (tally.found == 0 && stopped) {
        out << "stopped before any logger was found; nothing was saved\n";
    } else if (tally.found == 0 && !countMissed) {
        out << "no logger found: check that the loggers are plugged in, or name their ports "
               "with --port\n";
    }
    for (const std::string& failure : failed) {
        out << "failed: " << PrintableText(failure) << '\n';
    }
    if (unrecorded > 0) {
        out << unrecorded << (unrecorded == 1 ? " save" : " saves")
            << " not recorded in the history (see the warnings above)\n";
    }
    if (!head.empty()) {
        out << "history head " << head << '\n';
    }
    if (batch.report != nullptr) {
        out << "report " << batch.report->Path() << ": " << reportRows
            << (reportRows == 1 ? " row" : " rows") << " for " << tally.found
            << (tally.found == 1 ? " logger" : " loggers") << '\n';
        for (const std::string& logger : unreported) {
            out << "no report row: " << logger << '\n';
        }
    }
    if (tally.unconfirmed > 0) {
        out << "run korvel-cli read --port PORT on each logger not confirmed to see what it "
               "holds, then provision it again\n";
    }
    out.flush();
    return code;
}

} // namespace korvel::cli
