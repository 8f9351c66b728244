#pragma once
// The terminal the command line prints to. Korvel's text is UTF-8 (trip
// information may be in any script); a Windows console shows bytes in its own
// code page unless told otherwise, a Linux terminal needs nothing.

namespace korvel::platform {

// Switches the console to show UTF-8 and returns the code page it had; 0 when
// nothing was changed (no console, already UTF-8, Linux).
unsigned SwitchConsoleToUtf8();
// Gives back what SwitchConsoleToUtf8 returned; nothing for 0.
void RestoreConsoleCodePage(unsigned previous);

// Whether standard output is a terminal that takes the ANSI line-redrawing
// sequences of a live display; on Windows the console is asked to take them.
bool OutputIsLiveTerminal();

// UTF-8 output while it lives; the code page is given back afterwards, since
// the console outlives the program in the user's window.
class Utf8Console {
public:
    Utf8Console() : previous_(SwitchConsoleToUtf8()) {}
    ~Utf8Console() { RestoreConsoleCodePage(previous_); }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_;
};

} // namespace korvel::platform
