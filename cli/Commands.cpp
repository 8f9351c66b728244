#include "cli/Commands.h"

#include "cli/Discovery.h"
#include "cli/HistoryCommands.h"
#include "cli/Provision.h"
#include "cli/SaveLogger.h"
#include "cli/StopRequests.h"
#include "cli/Trace.h"
#include "cli/Version.h"
#include "cli/WritePlan.h"
#include "platform/Console.h"
#include "platform/PortList.h"
#include "platform/ProgramArguments.h"
#include "platform/UserIdentity.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"
#include "tools/sim/LoggerSimulator.h"
#include "tools/sim/SimBlock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <thread>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;
using settingsfile::Member;
using settingsfile::Node;

// Progress and warnings unless --quiet; errors always.
class Reporter {
public:
    Reporter(std::ostream& err, bool quiet) : err_(err), quiet_(quiet) {}
    void Progress(const std::string& message) const {
        if (!quiet_) {
            Line(message);
        }
    }
    void Warning(const std::string& message) const {
        if (!quiet_) {
            Line("warning: " + message);
        }
    }
    void Error(const std::string& message) const { Line(message); }

private:
    void Line(const std::string& message) const { err_ << "korvel-cli: " << message << '\n'; }

    std::ostream& err_;
    bool quiet_;
};

// ---- Settings files ----

struct LoadedText {
    std::optional<std::string> text;
    std::string error;
};

LoadedText loadText(const std::string& path, std::istream& in) {
    const auto readAll = [](std::istream& stream) {
        std::string text;
        char buffer[4096];
        while (text.size() <= settingsfile::kMaxFileBytes &&
               stream.read(buffer, sizeof buffer).gcount() > 0) {
            text.append(buffer, static_cast<std::size_t>(stream.gcount()));
        }
        return text;
    };
    std::string text;
    if (path == "-") {
        text = readAll(in);
    } else {
        std::ifstream file(platform::FilePath(path), std::ios::binary);
        if (!file) {
            return {std::nullopt, "cannot read " + path + ": " + std::strerror(errno)};
        }
        text = readAll(file);
    }
    if (text.size() > settingsfile::kMaxFileBytes) {
        return {std::nullopt, path + ": larger than 1 MiB; a settings file is a few hundred bytes"};
    }
    return {std::move(text), {}};
}

std::string fileName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

// The file parsed, or its errors told; nothing means the usage exit.
std::optional<settingsfile::SettingsFile> readSettingsFile(const Options& options, Environment& env,
                                                           const Reporter& report,
                                                           std::string* fileText = nullptr) {
    const LoadedText loaded = loadText(options.file, env.in);
    if (!loaded.text) {
        report.Error(loaded.error);
        return std::nullopt;
    }
    if (fileText != nullptr) {
        *fileText = *loaded.text;
    }
    settingsfile::ParsedFile parsed = settingsfile::ParseSettingsFile(*loaded.text);
    for (const settingsfile::FileError& error : parsed.errors) {
        report.Error(fileName(options.file) + ": " + error.Text());
    }
    if (parsed.errors.empty()) {
        return std::move(parsed.file);
    }
    report.Error("nothing was sent to the logger; correct the file and try again");
    return std::nullopt;
}

// ---- Output ----

void printAligned(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows,
                  const std::string& indent = "") {
    std::size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.first.size());
    }
    for (const auto& [key, value] : rows) {
        out << indent << key << ':' << std::string(width - key.size() + 1, ' ') << value << '\n';
    }
}

Node text(const std::string& utf8) {
    return Node::String(utf8);
}

// A value as the settings file writes it, as a JSON value again.
Node valueNode(const std::string& compact) {
    if (compact == settingsfile::kAbsent) {
        return Node::Null();
    }
    return settingsfile::ParseJson(compact).root;
}

Node changesNode(const std::vector<settingsfile::Change>& changes, const char* before,
                 const char* after) {
    std::vector<Node> items;
    for (const settingsfile::Change& change : changes) {
        items.push_back(Node::Object({{"key", text(change.key)},
                                      {before, valueNode(change.before)},
                                      {after, valueNode(change.after)}}));
    }
    return Node::Array(std::move(items));
}

// ---- Finding the logger ----

std::string canonicalPath(const std::string& path) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return error ? std::string() : resolved.string();
}

struct Found {
    std::unique_ptr<LoggerPort> port;
    Block reply{};
};

// The ports to try: the demo logger's, those given, or the USB serial ports.
std::optional<std::vector<std::string>> portsToTry(const Options& options, Environment& env,
                                                   const sim::LoggerSimulator* demo,
                                                   const Reporter& report) {
    if (demo != nullptr) {
        return std::vector<std::string>{demo->PortPath()};
    }
    if (!options.ports.empty()) {
        return DistinctPorts(options.ports, canonicalPath);
    }
    const auto listed = env.listPorts();
    if (!listed) {
        report.Error("cannot list the serial ports; name the logger's port with --port");
        return std::nullopt;
    }
    return CandidatePorts(env.describePorts(*listed), options.allPorts);
}

int findLogger(const Options& options, Environment& env, EventQueue& queue, Trace* trace,
               const sim::LoggerSimulator* demo, const Reporter& report, Found& found) {
    const auto ports = portsToTry(options, env, demo, report);
    if (!ports) {
        return exit_code::kNothingSaved;
    }
    if (ports->size() > 1) {
        report.Progress("looking for the logger on " + std::to_string(ports->size()) + " ports");
    }
    std::vector<Probe> probes = ProbePorts(queue, *ports, env.timing, trace, env.opener);
    const Choice choice = ChooseLogger(probes);
    if (choice.kind == Choice::Kind::Several) {
        report.Error(choice.message);
        return exit_code::kSeveralLoggers;
    }
    if (choice.kind == Choice::Kind::None) {
        report.Error(choice.message);
        return exit_code::kNothingSaved;
    }
    Probe& probe = probes[choice.index];
    found.port = std::move(probe.port);
    found.reply = probe.reply;
    report.Progress("logger " + settingsfile::QuotedText(SerialNumberOf(found.reply)) + " on " +
                    probe.path);
    return exit_code::kDone;
}

// ---- The commands ----

int runRead(const Options& options, Environment& env, const Found& found) {
    const LoggerSettings settings = DecodeSettings(found.reply);
    if (options.raw) {
        env.out << sim::BlockToHex(found.reply);
    } else if (options.json) {
        env.out << settingsfile::WriteSettingsFile(settings);
    } else {
        std::vector<std::pair<std::string, std::string>> rows;
        for (settingsfile::SettingLine& line : settingsfile::SettingLines(settings)) {
            rows.emplace_back(std::move(line.key), std::move(line.value));
        }
        printAligned(env.out, rows);
    }
    return exit_code::kDone;
}

struct WriteOutcome {
    bool sent = false;
    bool acknowledged = false;
    std::optional<bool> verified; // empty: not read back
    Verification verification;
    DateTime clock;
    int exitCode = exit_code::kDone;
};

void printWriteJson(std::ostream& out, const std::string& port, const WritePlan& plan,
                    const Options& options, const WriteOutcome& outcome) {
    std::vector<Member> members = {
        {"port", text(port)},
        {"serial_number", valueNode(settingsfile::QuotedText(plan.target.serialNumber))},
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
    members.push_back({"exit_code", Node::Number(std::to_string(outcome.exitCode))});
    out << settingsfile::PrettyText(Node::Object(std::move(members)));
}

int runWrite(const Options& options, Environment& env, const Reporter& report, EventQueue& queue,
             Found& found, const settingsfile::SettingsFile& file) {
    const LoggerSettings reported = DecodeSettings(found.reply);
    const WritePlan plan = PlanWrite(file, reported, options.setSerial);
    if (!plan.otherLogger.empty()) {
        report.Error(fileName(options.file) + ": " + plan.otherLogger);
        return exit_code::kUsage;
    }
    if (!plan.refusals.empty()) {
        for (const std::string& refusal : plan.refusals) {
            report.Error(fileName(options.file) + ": " + refusal);
        }
        report.Error("nothing was saved; correct the file and try again");
        return exit_code::kNothingSaved;
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
            env.out << change.key << ": " << change.before << " -> " << change.after << '\n';
        }
        if (plan.changes.empty()) {
            env.out << "no change\n";
        }
        env.out.flush();
    }
    if (options.dryRun) {
        report.Progress("dry run: nothing was saved");
        if (options.json) {
            printWriteJson(env.out, found.port->Path(), plan, options, outcome);
        }
        return exit_code::kDone;
    }

    SaveRequest request;
    request.target = plan.target;
    request.reply = found.reply;
    // The clock is taken again just before the frame is built.
    request.clock = clockNow;
    request.verify = !options.noVerify;
    request.now = env.now;
    request.history = env.history;
    request.requireHistory = options.requireHistory;
    request.attempt = AttemptIdentity(options, env, clockSync);
    const SaveReport saved = SaveLogger(*found.port, queue, env.timing, request, {});
    for (const std::string& warning : saved.historyWarnings) {
        report.Warning(warning);
    }
    outcome.clock = saved.clock;
    outcome.sent = saved.sent;
    outcome.acknowledged = saved.acknowledged;
    outcome.verified = saved.verified;
    outcome.verification = saved.verification;
    outcome.exitCode = saved.ExitCode();
    if (saved.held) {
        report.Error("nothing was saved");
    } else if (!saved.sent) {
        report.Error(saved.save.problem + "; nothing was saved");
    } else {
        if (outcome.acknowledged) {
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
        if (outcome.exitCode == exit_code::kNotConfirmed) {
            report.Error("run korvel-cli read to see what the logger holds now, then write the "
                         "file again");
        }
    }
    if (options.json) {
        printWriteJson(env.out, found.port->Path(), plan, options, outcome);
    }
    return outcome.exitCode;
}

Node probeNode(const Probe* probe) {
    if (probe == nullptr) {
        return Node::Null();
    }
    switch (probe->result) {
    case Probe::Result::Logger:
        return Node::Object(
            {{"result", text("logger")},
             {"serial_number", valueNode(settingsfile::QuotedText(SerialNumberOf(probe->reply)))}});
    case Probe::Result::Silent:
        return Node::Object({{"result", text("silent")}});
    case Probe::Result::OpenFailed:
        return Node::Object({{"result", text("not_opened")}, {"reason", text(probe->problem)}});
    default:
        return Node::Object({{"result", text("no_logger")}, {"reason", text(probe->problem)}});
    }
}

std::string probeText(const Probe* probe, bool probing) {
    if (probe == nullptr) {
        return probing ? "not tried (not a USB serial port; --all-ports tries it)" : "";
    }
    switch (probe->result) {
    case Probe::Result::Logger:
        return "logger " + settingsfile::QuotedText(SerialNumberOf(probe->reply));
    case Probe::Result::Silent:
        return "no answer";
    default:
        return probe->problem;
    }
}

int runList(const Options& options, Environment& env, const Reporter& report, EventQueue& queue,
            Trace* trace, const sim::LoggerSimulator* demo) {
    std::vector<platform::PortInfo> ports;
    std::vector<std::string> candidates;
    if (demo != nullptr || !options.ports.empty()) {
        const auto given = portsToTry(options, env, demo, report);
        ports = env.describePorts(*given);
        candidates = *given;
    } else {
        const auto listed = env.listPorts();
        if (!listed) {
            report.Error(std::string("cannot list the serial ports (") + platform::kPortListHint +
                         ")");
            return exit_code::kNothingSaved;
        }
        ports = env.describePorts(*listed);
        candidates = CandidatePorts(ports, options.allPorts);
    }
    std::vector<Probe> probes;
    if (options.probe) {
        probes = ProbePorts(queue, candidates, env.timing, trace, env.opener);
    }
    const auto probeOf = [&probes](const std::string& path) -> const Probe* {
        for (const Probe& probe : probes) {
            if (probe.path == path) {
                return &probe;
            }
        }
        return nullptr;
    };
    if (options.json) {
        std::vector<Node> items;
        for (const platform::PortInfo& port : ports) {
            const auto optional = [](const std::string& value) {
                return value.empty() ? Node::Null() : text(value);
            };
            std::vector<Member> members = {{"path", text(port.path)},
                                           {"by_id", optional(port.byIdName)},
                                           {"driver", optional(port.driver)},
                                           {"usb_id", optional(port.usbId)},
                                           {"manufacturer", optional(port.manufacturer)},
                                           {"product", optional(port.product)}};
            if (options.probe) {
                members.push_back({"probe", probeNode(probeOf(port.path))});
            }
            items.push_back(Node::Object(std::move(members)));
        }
        env.out << settingsfile::PrettyText(Node::Array(std::move(items)));
        return exit_code::kDone;
    }
    if (ports.empty()) {
        report.Progress("no serial ports");
    }
    for (const platform::PortInfo& port : ports) {
        env.out << port.path << '\n';
        std::vector<std::pair<std::string, std::string>> rows;
        const auto add = [&rows](const char* key, const std::string& value) {
            if (!value.empty()) {
                rows.emplace_back(key, value);
            }
        };
        add("by-id", port.byIdName);
        add("driver", port.driver);
        add("usb", port.usbId);
        add("manufacturer", port.manufacturer);
        add("product", port.product);
        if (options.probe) {
            add("probe", probeText(probeOf(port.path), true));
        }
        printAligned(env.out, rows, "  ");
    }
    return exit_code::kDone;
}

int runCheck(const Options& options, Environment& env, const Reporter& report) {
    const auto file = readSettingsFile(options, env, report);
    if (!file) {
        return exit_code::kUsage;
    }
    const std::vector<SettingsProblem> problems = settingsfile::CheckSettingsFile(*file);
    for (const SettingsProblem& problem : problems) {
        report.Error(fileName(options.file) + ": " + problem.Text());
    }
    if (!problems.empty()) {
        return exit_code::kUsage;
    }
    report.Progress(fileName(options.file) + ": valid");
    return exit_code::kDone;
}

} // namespace

history::SaveAttempt AttemptIdentity(const Options& options, const Environment& env,
                                     platform::ClockSync clockSync) {
    history::SaveAttempt attempt;
    attempt.operatorName = options.operatorName.empty() ? env.loginName : options.operatorName;
    attempt.host = env.hostName;
    attempt.program = std::string("korvel-cli ") + kVersion;
    attempt.clockSync = platform::ClockSyncName(clockSync);
    return attempt;
}

Environment SystemEnvironment(std::ostream& out, std::ostream& err, std::istream& in,
                              std::vector<std::string> arguments) {
    Environment env{
        out,
        err,
        in,
        [] { return platform::ListSerialPorts(); },
        [](const std::vector<std::string>& ports) { return platform::DescribeSerialPorts(ports); },
        [] { return std::chrono::system_clock::now(); },
        platform::OpenSerialDevice,
        DefaultTiming(),
        std::move(arguments)};
    env.clockSync = [] { return platform::JudgeClockSync(platform::ReadClockDiscipline()); };
    env.loginName = platform::LoginName();
    env.hostName = platform::HostName();
    env.terminal = platform::OutputIsLiveTerminal();
    env.catchStopRequests = CatchStopRequests;
    env.stopRequests = StopRequestCount;
    return env;
}

int Run(const Options& options, Environment& env) {
    const Reporter report(env.err, options.quiet);
    if (options.demo && !sim::LoggerSimulator::Available()) {
        report.Error("--demo needs the Linux build: its simulated logger sits behind a "
                     "pseudo-terminal; name the logger's port with --port");
        return exit_code::kUsage;
    }
    if (options.command == Command::Check) {
        return runCheck(options, env, report);
    }
    if (options.command == Command::History) {
        return RunWithHistory(options, env);
    }
    // A settings file is read whole before any port is opened.
    std::optional<settingsfile::SettingsFile> file;
    std::string fileText;
    if (options.command == Command::Write || options.command == Command::Provision) {
        file = readSettingsFile(options, env, report, &fileText);
        if (!file) {
            return exit_code::kUsage;
        }
    }
    std::unique_ptr<Trace> trace;
    if (!options.trace.empty()) {
        std::string error;
        trace = Trace::Open(options.trace, kVersion, env.arguments, env.now(), error);
        if (!trace) {
            report.Error(error + "; give another --trace FILE");
            return exit_code::kUsage;
        }
    }
    // The demo logger outlives the queue and the ports, which may still hold its port.
    std::unique_ptr<sim::LoggerSimulator> demo;
    if (options.demo) {
        try {
            sim::LoggerSimulator::Options simulated;
            simulated.pace = true; // as slow as the real line
            demo = std::make_unique<sim::LoggerSimulator>(std::move(simulated));
        } catch (const std::exception& error) {
            report.Error(std::string("cannot start the simulated logger: ") + error.what());
            return exit_code::kNothingSaved;
        }
    }
    if (options.command == Command::Provision) {
        const PortLister ports = [&] { return portsToTry(options, env, demo.get(), report); };
        return RunProvision(options, env, *file, fileText, ports, trace.get());
    }
    EventQueue queue;
    if (options.command == Command::List) {
        return runList(options, env, report, queue, trace.get(), demo.get());
    }
    Found found;
    if (const int code = findLogger(options, env, queue, trace.get(), demo.get(), report, found);
        code != exit_code::kDone) {
        return code;
    }
    if (options.command == Command::Read) {
        return runRead(options, env, found);
    }
    return runWrite(options, env, report, queue, found, *file);
}

} // namespace korvel::cli
