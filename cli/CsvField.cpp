#include "cli/CsvField.h"

#include "protocol/Printable.h"

namespace korvel::cli {

std::string CsvField(std::string_view text) {
    std::string field = protocol::PrintableText(text);
    if (!field.empty() && std::string_view("=+-@").find(field.front()) != std::string_view::npos) {
        field.insert(field.begin(), '\'');
    }
    // PrintableText has escaped every line break, so only these need quotes.
    if (field.find_first_of(",\"") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

} // namespace korvel::cli
