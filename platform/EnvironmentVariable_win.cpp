#include "platform/DataFolder.h"

#include <windows.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "platform/WideText_win.h"

namespace korvel::platform {

namespace {

// Every text handed out stays where it is: a lookup that finds a changed value
// adds the new one instead of overwriting the old.
struct Values {
    std::mutex mutex;
    std::map<std::string, const std::string*> latest;
    std::deque<std::string> texts;
};

Values& Kept() {
    static Values* const values = new Values; // outlives every caller
    return *values;
}

} // namespace

const char* SystemEnvironmentVariable(const char* name) {
    const std::wstring wideName = WideFromUtf8(name);
    std::wstring value(64, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS); // an empty value also gives 0
        const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                       static_cast<DWORD>(value.size()));
        if (length == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return nullptr;
        }
        if (length < value.size()) {
            value.resize(length);
            break;
        }
        value.resize(length); // the size it needs, with the terminator
    }
    const std::string text = Utf8FromWide(value);
    Values& kept = Kept();
    std::lock_guard lock(kept.mutex);
    const std::string*& latest = kept.latest[name];
    if (latest == nullptr || *latest != text) {
        latest = &kept.texts.emplace_back(text);
    }
    return latest->c_str();
}

} // namespace korvel::platform
