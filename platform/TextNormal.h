#pragma once
// Unicode normalisation, form C (composed): "e" followed by the combining acute
// accent U+0301 becomes the one character "é". Text typed on some systems (a
// macOS file name pasted into an editor, some input methods) arrives
// decomposed; composing it first lets a one-byte-a-character text take it.
// ICU does it on Linux, the system's NormalizeString on Windows.

#include <string>
#include <string_view>

namespace korvel::platform {

// The NFC form of UTF-8 text; text that is not valid UTF-8, or that the system
// cannot normalise, is returned as given, for the caller's own checks to name.
std::string ComposedText(std::string_view utf8);

} // namespace korvel::platform
