#pragma once
// One field of the CSV that korvel-cli writes (the provisioning report,
// `history list --csv`), for any CSV reader and for spreadsheets: RFC 4180
// quoting, control characters escaped as everywhere people read (PrintableText),
// and a text a spreadsheet would run as a formula kept as text.

#include <string>
#include <string_view>

namespace korvel::cli {

// `text` as one CSV field. A field that begins with =, +, - or @ gets a leading
// apostrophe, so that a spreadsheet shows it instead of running it (an
// operator name "=HYPERLINK(...)"); a field holding a comma or a quote is
// quoted, its quotes doubled.
std::string CsvField(std::string_view text);

} // namespace korvel::cli
