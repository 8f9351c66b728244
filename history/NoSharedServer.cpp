// The build without libpq (a Windows cross-build without it) has no shared
// history; the local one is kept as always.
#include "history/SharedHistory.h"

namespace korvel::history {

bool SharedHistoryAvailable() {
    return false;
}

protocol::Result<std::unique_ptr<SharedServer>> SharedServer::Connect(const SharedTarget&) {
    return protocol::Failure{protocol::Failure::Kind::Invalid,
                             "this build has no shared history (it was built without libpq)"};
}

} // namespace korvel::history
