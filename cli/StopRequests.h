#pragma once
// Ctrl-C and SIGTERM as requests a long run counts instead of dying of: the
// first asks it to take nothing new and let exchanges in flight finish, the
// second to abort them.

namespace korvel::cli {

// From now on SIGINT and SIGTERM are counted, no longer fatal.
void CatchStopRequests();
// How many have arrived since.
int StopRequestCount();

} // namespace korvel::cli
