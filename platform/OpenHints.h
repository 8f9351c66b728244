#pragma once
// What a user can do when a serial port refuses to open, in the terms of the
// system the program runs on: Linux refuses a port for want of permission
// (the dialout group, a udev rule), Windows for another program holding it.
namespace korvel::platform {

struct OpenHints {
    // Whether "access denied" at open means the port is held by another
    // program, as it does on Windows, rather than a missing permission.
    bool accessDeniedMeansBusy;
    // Advice after "permission denied on PORT (...)": ": <accessDenied>".
    const char* accessDenied;
    // Advice after "PORT is busy (...)": ": <busy>".
    const char* busy;
};

const OpenHints& PortOpenHints();

} // namespace korvel::platform
