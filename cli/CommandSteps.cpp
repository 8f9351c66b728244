#include "cli/Command.h"

#include "cli/Provision.h"
#include "cli/Version.h"
#include "platform/ProgramArguments.h"
#include "protocol/Printable.h"
#include "protocol/Result.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;

// The file's bytes, or why they cannot be had.
Result<std::string> loadText(const std::string& path, std::istream& in) {
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
            return Failure{Failure::Kind::System,
                           "cannot read " + path + ": " + std::strerror(errno)};
        }
        text = readAll(file);
    }
    if (text.size() > settingsfile::kMaxFileBytes) {
        return Failure{Failure::Kind::Invalid,
                       path + ": larger than 1 MiB; a settings file is a few hundred bytes"};
    }
    return text;
}

std::string canonicalPath(const std::string& path) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return error ? std::string() : resolved.string();
}

} // namespace

std::string FileName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

std::optional<settingsfile::SettingsFile> ReadSettingsFile(const CommandContext& context,
                                                           FileUse use, std::string* fileText) {
    const Options& options = context.options;
    const Reporter& report = context.report;
    const Result<std::string> loaded = loadText(options.file, context.env.in);
    if (!loaded) {
        report.Error(loaded.failure().message);
        return std::nullopt;
    }
    if (fileText != nullptr) {
        *fileText = *loaded;
    }
    settingsfile::ParsedFile parsed = settingsfile::ParseSettingsFile(*loaded);
    // Only `write` meets the one logger whose own values it may keep: a value
    // such a logger may hold waits for its read, unless the file is refused
    // anyway, when every problem is told at once.
    std::vector<settingsfile::FileError> problems =
        settingsfile::FileProblems(parsed, settingsfile::HeldValues::WaitForTheRead);
    if (use != FileUse::Write || !problems.empty()) {
        problems = settingsfile::FileProblems(parsed, settingsfile::HeldValues::Refused);
    }
    if (use == FileUse::Provision) {
        for (settingsfile::FileError& refusal : ProvisionFileRefusals(parsed.read)) {
            problems.push_back(std::move(refusal));
        }
    }
    TellFileErrors(report, FileName(options.file), problems, *loaded);
    if (problems.empty()) {
        return std::move(parsed.file);
    }
    if (use == FileUse::Write) {
        report.Hint("nothing was sent to the logger; correct the file and try again");
    } else if (use == FileUse::Provision) {
        report.Hint("nothing was sent to any logger");
    }
    return std::nullopt;
}

void TellFileErrors(const Reporter& report, const std::string& name,
                    const std::vector<settingsfile::FileError>& errors, std::string_view text) {
    ErrorRecord* const record = report.Record();
    // Placing the errors reads the text again: only for JSON.
    const std::vector<ErrorItem> items =
        record != nullptr ? FileErrorItems(errors, text) : std::vector<ErrorItem>();
    // The first errors and a count of the rest: a file of 75,000 unknown keys
    // is not worth 75,000 lines. JSON has them all.
    const std::vector<std::string> lines = settingsfile::ErrorLines(errors);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i < items.size() && i < settingsfile::kErrorsShown) {
            report.Error(name + ": " + lines[i], items[i]);
        } else {
            report.Hint(name + ": " + lines[i]);
        }
    }
    for (std::size_t i = settingsfile::kErrorsShown; i < items.size(); ++i) {
        record->Add(items[i]);
    }
}

void PrintJson(const CommandContext& context, const settingsfile::Node& node) {
    context.env.out << settingsfile::PrettyText(node);
    context.env.out.flush();
    if (ErrorRecord* const record = context.report.Record()) {
        record->MarkPrinted();
    }
}

std::vector<ErrorItem> ToldErrors(const Reporter& report) {
    return report.Record() != nullptr ? report.Record()->Items() : std::vector<ErrorItem>();
}

int OpenPortSession(const CommandContext& context, PortSession& session) {
    const Options& options = context.options;
    const Environment& env = context.env;
    if (!options.trace.empty()) {
        // --trace - writes to standard error, between the messages.
        const FileCreator toError = [&env](const std::string&) {
            return protocol::Result<std::unique_ptr<platform::NewFile>>(StreamFile(env.err));
        };
        auto opened = Trace::Open(options.trace == "-" ? toError : env.createFile, options.trace,
                                  kVersion, env.arguments, env.now());
        if (!opened) {
            const protocol::Failure& failure = opened.failure();
            // A path that exists is refused with what to do already said.
            context.report.Error(failure.kind == protocol::Failure::Kind::Invalid
                                     ? failure.message
                                     : failure.message + "; give another --trace FILE");
            return exit_code::kUsage;
        }
        *context.trace = std::move(opened).take();
        session.trace = context.trace->get();
    }
    if (options.demo) {
        try {
            session.demo = std::make_unique<sim::DemoLogger>();
        } catch (const std::exception& error) {
            context.report.Error(std::string("cannot start the simulated logger: ") + error.what());
            return exit_code::kNothingSaved;
        }
        session.givenOpener = context.env.opener;
        context.env.opener = session.demo->OpenerWith(context.env.opener);
        session.openerOf = &context.env;
    }
    return exit_code::kDone;
}

int CloseTrace(Trace& trace, const Reporter& report, int code) {
    const protocol::Result<void> closed = trace.Close();
    if (closed) {
        return code;
    }
    report.Error("the trace " + trace.Path() + " is not whole: " + closed.failure().message +
                 "; it ends before the command did");
    return code == exit_code::kDone ? exit_code::kNothingSaved : code;
}

PortSession::~PortSession() {
    if (openerOf != nullptr) {
        openerOf->opener = std::move(givenOpener);
    }
}

std::optional<std::vector<std::string>> PortsToTry(const CommandContext& context,
                                                   const sim::DemoLogger* demo) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& report = context.report;
    if (demo != nullptr) {
        return std::vector<std::string>{demo->PortName()};
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

int FindLogger(const CommandContext& context, EventQueue& queue, PortSession& session,
               Found& found) {
    Environment& env = context.env;
    const Reporter& report = context.report;
    if (const int code = OpenPortSession(context, session); code != exit_code::kDone) {
        return code;
    }
    Trace* trace = session.trace;
    const auto ports = PortsToTry(context, session.demo.get());
    if (!ports) {
        return exit_code::kNothingSaved;
    }
    if (ports->size() > 1) {
        report.Progress("looking for the logger on " + std::to_string(ports->size()) + " ports");
    }
    const PortOrigin origin =
        session.demo || !context.options.ports.empty() ? PortOrigin::Named : PortOrigin::Listed;
    std::vector<Probe> probes = ProbePorts(queue, *ports, env.timing, trace, env.opener, origin);
    if (queue.Interrupted()) {
        report.Error("stopped while looking for the logger; nothing was saved");
        return exit_code::kNothingSaved;
    }
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

SaveRequest SaveRequestFor(const Options& options, const Environment& env,
                           const protocol::LoggerSettings& target, const protocol::Block& reply,
                           history::SaveAttempt attempt) {
    SaveRequest request;
    request.target = target;
    request.reply = reply;
    request.clock = [clock = options.clock, now = env.now, zone = target.timeZone] {
        return clock ? *clock : LoggerClock(now(), zone);
    };
    request.verify = !options.noVerify;
    request.now = env.now;
    request.history = env.history;
    request.requireHistory = options.requireHistory;
    request.attempt = std::move(attempt);
    return request;
}

void PrintAligned(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows,
                  const std::string& indent) {
    std::vector<std::pair<std::string, std::string>> printable;
    std::size_t width = 0;
    for (const auto& [key, value] : rows) {
        printable.emplace_back(protocol::PrintableText(key), protocol::PrintableText(value));
        width = std::max(width, printable.back().first.size());
    }
    for (const auto& [key, value] : printable) {
        out << indent << key << ':' << std::string(width - key.size() + 1, ' ') << value << '\n';
    }
}

settingsfile::Node ValueNode(const std::string& compact) {
    if (compact == settingsfile::kAbsent) {
        return settingsfile::Node::Null();
    }
    if (compact == settingsfile::kHidden) {
        return settingsfile::Node::String(compact);
    }
    return settingsfile::ParseJson(compact).root;
}

} // namespace korvel::cli
