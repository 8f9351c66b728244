// The build without SQLite (the Windows cross-build) keeps no history.
#include "history/HistoryStore.h"

namespace korvel::history {

std::unique_ptr<HistoryStore> OpenHistoryStore(const std::string&, const StoreOptions&,
                                               std::string& error) {
    error = "this build keeps no history";
    return nullptr;
}

bool HistoryAvailable() {
    return false;
}

} // namespace korvel::history
