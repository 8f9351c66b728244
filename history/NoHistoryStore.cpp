// The build without SQLite (the Windows cross-build) keeps no history.
#include "history/HistoryStore.h"

namespace korvel::history {

protocol::Result<std::unique_ptr<HistoryStore>> OpenHistoryStore(const std::string&,
                                                                 const StoreOptions&) {
    return protocol::Failure{protocol::Failure::Kind::Invalid, "this build keeps no history"};
}

bool HistoryAvailable() {
    return false;
}

} // namespace korvel::history
