#pragma once
// The window's saves in the history: the attempt row right before the save
// frame goes out, the outcome row when the logger answers. The window does
// not read back after a save, so an acknowledged save is "not verified".
// A row that cannot be written costs a line on standard error, never the save
// and never a change to what the window shows. No Qt.

#include "history/SaveHistory.h"
#include "protocol/ParameterBlock.h"

#include <iostream>
#include <optional>
#include <string>

namespace korvel::window {

class SaveRecord {
public:
    explicit SaveRecord(std::ostream& warnings = std::cerr);
    // A save still waiting for its answer is recorded as not acknowledged.
    ~SaveRecord();
    SaveRecord(const SaveRecord&) = delete;
    SaveRecord& operator=(const SaveRecord&) = delete;

    // Null: no history is kept. The history must outlive this record.
    // `program` names the program in the rows: "korvel 3.0.0".
    void SetHistory(history::SaveHistory* history, std::string program) {
        history_ = history;
        program_ = std::move(program);
    }

    // The block of the last read reply, which the next save's attempt row keeps.
    void ReadReply(const protocol::Block& reply) { before_ = reply; }
    // Right before `frame` is sent to `port`. An earlier save that got no
    // answer is closed as not acknowledged first.
    void Sending(const std::string& port, const protocol::Block& frame);
    // The chunk that came after a save: its acknowledgement, or anything else.
    // Nothing happens when no save is waiting.
    void Answered(bool acknowledged, const std::string& detail);
    // The port did not take the frame.
    void NotSent();
    // The newest save of the logger of the last read reply, as the history
    // holds it; nothing without a history or a reply.
    std::optional<history::LastSave> LastSave() const;

private:
    void finish(const char* result, bool acknowledged, const std::string& detail);
    void warn(const std::string& message);

    std::ostream& warnings_;
    history::SaveHistory* history_ = nullptr;
    std::string program_;
    std::optional<protocol::Block> before_;
    std::optional<history::AttemptRecord> waiting_;
};

} // namespace korvel::window
