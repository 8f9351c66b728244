#pragma once
// The provisioning manifest: a CSV file with the header
// serial_number,trip_information and one row per logger that is to be
// written, each with its own trip information. Fields may be quoted as CSV
// quotes them (a quoted field may hold commas, doubled quotes and line
// breaks); the text is UTF-8 within Latin-1, as in settings files.

#include "protocol/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace korvel::cli {

struct ManifestEntry {
    std::string serialNumber;    // UTF-8, without the trailing NULs of a shorter number
    std::string tripInformation; // Latin-1 with "\n" line breaks, as a settings file gives it
    int line = 0;                // where the row starts, for messages
};

// The entries, or the first fault with its line ("line 4: ..."). Refuses text
// that is not UTF-8 (UTF-16, a NUL byte, Latin-1; with its line and column), a
// missing or different header, a row without exactly two fields, an
// unterminated quote, an empty or over-long serial number, a serial number
// listed twice, and trip information the logger cannot hold. A UTF-8
// byte-order mark is skipped.
protocol::Result<std::vector<ManifestEntry>> ParseManifest(std::string_view text);

// A stored serial number as the manifest and the user write it: the trailing
// NULs of a shorter number dropped.
std::string SerialNumberText(std::string_view stored);

} // namespace korvel::cli
