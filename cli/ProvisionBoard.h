#pragma once
// The provisioning board: one line per logger, live on a terminal, one line
// per event otherwise, one JSON object per event with --json. Safe from
// every thread.

#include "cli/Environment.h"
#include "cli/JsonOutput.h"
#include "cli/Provision.h"
#include "protocol/Printable.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace korvel::cli {

class Board {
public:
    Board(std::ostream& out, std::ostream& err, bool live, bool json, bool quiet,
          ErrorRecord* record = nullptr)
        : out_(out), err_(err), live_(live && !json), json_(json),
          report_([this](const std::string& line) { Told(line); }, quiet, record) {}

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
    // unless the lines are live, where a line of its own would break them and
    // the message goes above them instead. Under --json standard output holds
    // only JSON, so they go to standard error too.
    const Reporter& Report() const { return report_; }

    // A message of its own, above the live lines; never left out.
    void Note(const std::string& text) {
        const std::lock_guard lock(mutex_);
        Print(text);
    }

    // Whether standard output has failed (a closed pipe, a terminal gone):
    // the run then takes no new logger, as after a first Ctrl-C.
    bool OutputLost() const { return lost_; }

    // Ends the live drawing: what follows goes below it.
    void Close() {
        const std::lock_guard lock(mutex_);
        drawn_ = 0;
    }

private:
    void Told(const std::string& line) {
        const std::lock_guard lock(mutex_);
        if (!live_) {
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
                        VersionedObject({{"message", settingsfile::Node::String(text)}}))
                 << '\n';
        } else if (live_) {
            if (drawn_ > 0) {
                out_ << "\x1b[" << drawn_ << "A\x1b[J";
            }
            out_ << protocol::PrintableText(text) << '\n' << RedrawBoard(lines_, 0);
            drawn_ = lines_.size();
        } else {
            out_ << protocol::PrintableText(text) << '\n';
        }
        Flush();
    }

    void Show(std::size_t index) {
        const LoggerLine& line = lines_[index];
        if (json_) {
            const auto optional = [](const std::string& text) {
                return text.empty() ? settingsfile::Node::Null() : settingsfile::Node::String(text);
            };
            out_ << settingsfile::CompactText(VersionedObject({
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
        Flush();
    }

    // Under the lock.
    void Flush() {
        if (!out_.flush()) {
            lost_ = true;
        }
    }

    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    bool live_;
    bool json_;
    std::vector<LoggerLine> lines_;
    std::size_t drawn_ = 0;
    std::atomic<bool> lost_ = false;
    Reporter report_;
};

} // namespace korvel::cli
