#pragma once
// Text that a logger or a file controls, made safe to print for people: a
// serial number, a key or a value can hold bytes a terminal takes as commands
// (ESC starts a sequence that moves the cursor, recolours or retitles the
// window). Every human-readable output passes such text through PrintableText;
// JSON output needs no more than the JSON writer's escapes.

#include <cstddef>
#include <string>
#include <string_view>

namespace korvel::protocol {

// The length of the well-formed UTF-8 character that starts at `at` (1 to 4),
// or 0 when the byte there starts none: a continuation byte, an overlong form,
// a surrogate, a code point above U+10FFFF or a sequence cut short.
// Precondition: at < text.size().
std::size_t Utf8LengthAt(std::string_view text, std::size_t at);

// `text` with every control character escaped, the rest unchanged:
//   C0 controls and DEL (00-1F, 7F) as \x1b,
//   C1 controls (U+0080-U+009F, written in UTF-8) as \u009b,
//   a byte that is not part of well-formed UTF-8 as \xe9.
// A backslash stays as it is (a Windows path reads as itself), so the escape is
// for the eye, not a way back to the bytes. Applying it twice changes nothing
// more.
std::string PrintableText(std::string_view text);

} // namespace korvel::protocol
