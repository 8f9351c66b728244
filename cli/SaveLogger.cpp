#include "cli/SaveLogger.h"

#include "platform/StopSignals.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"

#include <thread>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;

std::string differenceKeys(const Verification& verification) {
    std::string keys;
    for (const settingsfile::Change& difference : verification.differences) {
        keys += (keys.empty() ? "" : ", ") + difference.key;
    }
    return keys;
}

void step(const std::function<void(SaveStep)>& onStep, SaveStep which) {
    if (onStep) {
        onStep(which);
    }
}

} // namespace

int SaveReport::ExitCode() const {
    if (!sent) {
        return 1;
    }
    return Confirmed() ? 0 : 3;
}

SaveReport SaveLogger(LoggerPort& port, EventQueue& queue, const Timing& timing,
                      const SaveRequest& request, const std::function<void(SaveStep)>& onStep) {
    // A logoff or shutdown waits for this save and its record.
    const platform::SaveInFlight saving;
    SaveReport report;
    report.clock = request.clock();
    const Block frame = EncodeSaveFrame(request.target, request.reply, report.clock);

    history::SaveAttempt attempt = request.attempt;
    attempt.time = request.now();
    attempt.port = port.Path();
    // As text, as the window records it: the logger stores Latin-1.
    attempt.serialNumber = settingsfile::Utf8Text(DecodeSettings(request.reply).serialNumber);
    attempt.before.assign(request.reply.begin(), request.reply.end());
    attempt.frame.assign(frame.begin(), frame.end());
    const history::AttemptRecord record =
        history::BeginSave(request.history, attempt, request.requireHistory);
    if (!record.warning.empty()) {
        report.historyWarnings.push_back(record.warning);
    }
    report.historyRow = record.row;
    history::SaveOutcome outcome;
    // The store waits long for the outcome row: without it the save would
    // read as cut short.
    const auto finish = [&] {
        outcome.time = request.now();
        outcome.result = history::OutcomeName(report.outcome);
        outcome.acknowledged = report.acknowledged;
        outcome.detail = report.detail;
        const auto written = history::FinishSave(request.history, record, outcome);
        if (!written) {
            report.historyWarnings.push_back(written.failure().message);
        } else if (written.value()) {
            report.historyRow = written.value();
        }
        report.unrecorded = request.history != nullptr && (!record.row || !written);
    };
    if (!record.maySave) {
        report.held = true;
        report.outcome = history::Outcome::NotSent;
        report.detail = "the history could not record the attempt";
        return report;
    }
    if (queue.Interrupted() || (request.stopped && request.stopped())) {
        report.stopped = true;
        report.outcome = history::Outcome::NotSent;
        report.detail = "stopped before the save";
        finish();
        return report;
    }

    step(onStep, SaveStep::Saving);
    report.save = SendSave(port, queue, frame, timing);
    if (report.save.answer == SaveAnswer::NotSent) {
        report.outcome = history::Outcome::NotSent;
        report.detail = report.save.problem;
        finish();
        return report;
    }
    report.sent = true;
    report.acknowledged = report.save.answer == SaveAnswer::Acknowledged;
    if (request.verify && report.save.answer != SaveAnswer::Gone && !queue.Interrupted()) {
        step(onStep, SaveStep::ReadingBack);
        std::this_thread::sleep_for(timing.openPause);
        const ReplyCheck back = ReadParameters(port, queue, timing);
        if (!back.block) {
            report.verified = false;
            report.readBackProblem = back.problem;
        } else {
            outcome.readBack.emplace(back.block->begin(), back.block->end());
            report.verification = VerifyReadBack(frame, *back.block);
            report.verified = report.verification.Matches();
        }
    }

    if (queue.Interrupted() && !(report.acknowledged && report.verified.value_or(false))) {
        report.interrupted = true;
        report.outcome = history::Outcome::Interrupted;
        report.detail = report.acknowledged ? "acknowledged; the read-back was cut short"
                                            : "cut short while waiting for the acknowledgement";
    } else if (!report.acknowledged) {
        report.outcome = history::Outcome::NotAcknowledged;
        report.detail = report.save.problem;
    } else if (!request.verify) {
        report.outcome = history::Outcome::NotVerified;
    } else if (!report.readBackProblem.empty() || !report.verified) {
        report.outcome = history::Outcome::ReadBackFailed;
        report.detail = report.readBackProblem;
    } else if (!*report.verified) {
        report.outcome = history::Outcome::ReadBackDiffers;
        report.detail = differenceKeys(report.verification);
    } else {
        report.outcome = history::Outcome::Confirmed;
    }
    finish();
    return report;
}

} // namespace korvel::cli
