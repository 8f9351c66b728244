// `write`: a settings file into the one logger found, with the computer's
// clock, then read back and compared.
#include "cli/Command.h"

#include "cli/SaveLogger.h"
#include "cli/WritePlan.h"
#include "protocol/Printable.h"
#include "protocol/SettingsCodec.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;
using settingsfile::Member;
using settingsfile::Node;

Node text(const std::string& utf8) {
    return Node::String(utf8);
}

Node changesNode(const std::vector<settingsfile::Change>& changes, const char* before,
                 const char* after) {
    std::vector<Node> items;
    for (const settingsfile::Change& change : changes) {
        items.push_back(Node::Object({{"key", text(change.key)},
                                      {before, ValueNode(change.before)},
                                      {after, ValueNode(change.after)}}));
    }
    return Node::Array(std::move(items));
}

// Ctrl-C, SIGTERM or a closed terminal while the logger is being found stops
// the command with nothing saved. Once the save is under way the first
// request lets the acknowledgement and the read-back finish, so that the
// outcome is known; the second cuts them short.
class StopWatcher {
public:
    StopWatcher(const Environment& env, EventQueue& queue)
        : thread_([this, &env, &queue](const std::stop_token& token) {
              std::unique_lock lock(mutex_);
              while (!token.stop_requested()) {
                  wake_.wait_for(lock, token, kStopPoll, [] { return false; });
                  const int requests = env.stopRequests();
                  if (requests >= 2 || (requests >= 1 && !saving_)) {
                      queue.Interrupt();
                      return;
                  }
              }
          }) {}

    // From here a first request no longer ends the wait in flight.
    void Saving() { saving_ = true; }

private:
    std::atomic<bool> saving_ = false;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::jthread thread_; // last: stopped and joined before the rest goes
};

struct WriteOutcome {
    bool sent = false;
    bool acknowledged = false;
    std::optional<bool> verified; // empty: not read back
    Verification verification;
    DateTime clock;
    int exitCode = exit_code::kDone;
};

void printWriteJson(const CommandContext& context, const std::string& port, const WritePlan& plan,
                    const WriteOutcome& outcome) {
    const Options& options = context.options;
    std::vector<Member> members = {
        {"port", text(port)},
        {"serial_number", ValueNode(settingsfile::QuotedText(plan.target.serialNumber))},
        {"changes", changesNode(plan.changes, "before", "after")},
        {"dry_run", Node::Bool(options.dryRun)},
        {"saved", Node::Bool(outcome.sent)},
        {"clock", outcome.sent ? text(DateTimeText(outcome.clock)) : Node::Null()},
        {"acknowledged", Node::Bool(outcome.acknowledged)},
        {"verified", outcome.verified ? Node::Bool(*outcome.verified) : Node::Null()},
        {"differences", changesNode(outcome.verification.differences, "saved", "reported")},
    };
    const char* levels = outcome.verification.levels == LevelReport::AsWritten ? "packed_bcd"
                         : outcome.verification.levels == LevelReport::Plain   ? "plain"
                                                                               : nullptr;
    members.push_back({"levels_reported_as", levels ? text(levels) : Node::Null()});
    PrintJson(context,
              OutcomeObject(outcome.exitCode, ToldErrors(context.report), std::move(members)));
}

int writeFound(const CommandContext& context, EventQueue& queue, StopWatcher& watcher, Found& found,
               const settingsfile::SettingsFile& file) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& report = context.report;
    const LoggerSettings reported = DecodeSettings(found.reply);
    const WritePlan plan = PlanWrite(file, reported, options.setSerial);
    if (!plan.otherLogger.empty()) {
        report.Error(FileName(options.file) + ": " + plan.otherLogger);
        return exit_code::kUsage;
    }
    if (!plan.refusals.empty()) {
        for (const std::string& refusal : plan.refusals) {
            report.Error(FileName(options.file) + ": " + refusal);
        }
        report.Error("nothing was saved; correct the file and try again");
        return exit_code::kUsage;
    }
    WriteOutcome outcome;
    const auto clockNow = [&] {
        return options.clock ? *options.clock : LoggerClock(env.now(), plan.target.timeZone);
    };
    outcome.clock = clockNow();
    const platform::ClockSync clockSync = env.clockSync();
    if (clockSync == platform::ClockSync::Unsynchronised) {
        report.Warning("the computer's clock is not synchronised, and the logger gets its time; "
                       "check it against a time signal (timedatectl shows whether NTP keeps it)");
    }
    for (const std::string& warning : plan.warnings) {
        report.Warning(warning);
    }
    for (const std::string& warning : ClockWarnings(plan.target, outcome.clock)) {
        report.Warning(warning);
    }
    if (!options.json) {
        for (const settingsfile::Change& change : plan.changes) {
            env.out << PrintableText(change.key + ": " + change.before + " -> " + change.after)
                    << '\n';
        }
        if (plan.changes.empty()) {
            env.out << "no change\n";
        }
        env.out.flush();
    }
    if (options.dryRun) {
        report.Progress("dry run: nothing was saved");
        if (options.json) {
            printWriteJson(context, found.port->Path(), plan, outcome);
        }
        return exit_code::kDone;
    }

    // The clock is taken again just before the frame is built.
    SaveRequest request = SaveRequestFor(options, env, plan.target, found.reply,
                                         AttemptIdentity(options, env, clockSync));
    watcher.Saving();
    request.stopped = [&env] { return env.stopRequests() >= 1; };
    const SaveReport saved = SaveLogger(*found.port, queue, env.timing, request, {});
    for (const std::string& warning : saved.historyWarnings) {
        report.Alert(warning);
    }
    outcome.clock = saved.clock;
    outcome.sent = saved.sent;
    outcome.acknowledged = saved.acknowledged;
    outcome.verified = saved.verified;
    outcome.verification = saved.verification;
    outcome.exitCode = saved.ExitCode();
    if (saved.held) {
        report.Error("nothing was saved");
    } else if (saved.stopped) {
        report.Error("stopped before the save; nothing was saved");
    } else if (!saved.sent) {
        report.Error(saved.save.problem + "; nothing was saved");
    } else {
        if (saved.interrupted) {
            report.Error("interrupted, state unknown: run korvel-cli read to see what the logger "
                         "holds now, then write the file again");
        } else if (outcome.acknowledged) {
            report.Progress("saved; the logger acknowledged, clock written " +
                            DateTimeText(outcome.clock) + " (not verifiable)");
        } else {
            report.Error("the save was sent but is not confirmed: " + saved.save.problem);
        }
        if (!saved.readBackProblem.empty()) {
            report.Error("the read-back failed: " + saved.readBackProblem);
        }
        for (const settingsfile::Change& difference : outcome.verification.differences) {
            report.Error("read-back differs: " + difference.key + ": saved " + difference.before +
                         ", the logger reports " + difference.after);
        }
        if (outcome.verified.value_or(false)) {
            report.Progress("read back: the logger holds every setting saved");
        }
        if (outcome.verification.levels == LevelReport::AsWritten) {
            report.Progress("the logger reports its alarm levels as the packed BCD "
                            "written (read shows them as plain bytes, as the window "
                            "does)");
        } else if (outcome.verification.levels == LevelReport::Plain) {
            report.Progress("the logger reports its alarm levels as plain bytes");
        }
        if (outcome.exitCode == exit_code::kNotConfirmed && !saved.interrupted) {
            report.Error("run korvel-cli read to see what the logger holds now, then write the "
                         "file again");
        }
    }
    if (options.json) {
        printWriteJson(context, found.port->Path(), plan, outcome);
    }
    return outcome.exitCode;
}

} // namespace

int RunWriteCommand(const CommandContext& context) {
    // A settings file is read and checked whole before any port is opened; only
    // a value the logger may already hold waits for its read (PlanWrite).
    const auto file = ReadSettingsFile(context, FileUse::Write);
    if (!file) {
        return exit_code::kUsage;
    }
    if (!context.options.dryRun) {
        context.env.catchStopRequests();
    }
    PortSession session;
    EventQueue queue;
    StopWatcher watcher(context.env, queue);
    Found found;
    if (const int code = FindLogger(context, queue, session, found); code != exit_code::kDone) {
        return code;
    }
    return writeFound(context, queue, watcher, found, *file);
}

} // namespace korvel::cli
