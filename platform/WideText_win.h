#pragma once
// UTF-8, the layer's text, to and from UTF-16, the text of the wide Win32 calls.

#include <string>
#include <string_view>

namespace korvel::platform {

// Invalid sequences become U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

} // namespace korvel::platform
