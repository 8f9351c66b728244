#pragma once
// The serial ports that exist now, read from the kernel's device list without
// opening any device: opening a port pulses its modem lines and can disturb a
// program that is using it.

#include <optional>
#include <string>
#include <vector>

namespace korvel::platform {

// Every entry of `sysfsClassTty` that has a `device` link and does not resolve
// under /devices/virtual/, named `devDir`/<entry> and sorted by SortPortNames.
// A ttyS entry whose `type` file reads 0 is left out: the 8250 driver registers
// placeholders for ports that are not there. One whose type cannot be read
// (root-only before Linux 5.7) is kept.
// nullopt when the directory cannot be read; the caller then keeps its old list.
std::optional<std::vector<std::string>>
ListSerialPorts(const std::string& sysfsClassTty = "/sys/class/tty",
                const std::string& devDir = "/dev");

// What a user checks when ListSerialPorts gives nullopt, for messages.
extern const char* const kPortListHint;

// Ascending by a case-insensitive text comparison, not by number: COM1,
// COM10, COM2; /dev/ttyS10 before /dev/ttyS2. Names equal but for case keep
// their order.
void SortPortNames(std::vector<std::string>& names);
// The order SortPortNames sorts by.
bool PortNameLess(const std::string& a, const std::string& b);

} // namespace korvel::platform
