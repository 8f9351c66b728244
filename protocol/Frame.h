#pragma once
// The logger's frame envelope, command codes and the layout of the 210-byte
// parameter block. Every other folder takes offsets and codes from here.
//
// Frame: AA 55 <command> <length> <payload...> <checksum> AA, where the checksum
// is the low 8 bits of the sum of the command, the length and the payload.

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvel::protocol {

inline constexpr std::size_t kFrameSize = 210;
inline constexpr std::size_t kMinFrameSize = 4;
inline constexpr std::uint8_t kHeader0 = 0xAA;
inline constexpr std::uint8_t kHeader1 = 0x55;
inline constexpr std::uint8_t kTrailer = 0xAA;

namespace command {
inline constexpr std::uint8_t kRead = 0x14;      // tool to logger: send me your parameters
inline constexpr std::uint8_t kReadReply = 0x94; // logger to tool: the parameter block
inline constexpr std::uint8_t kSave = 0x95;      // tool to logger: the parameter block to keep
inline constexpr std::uint8_t kSaveAck = 0x15;   // logger to tool: block taken
} // namespace command

// Length byte of the save command: the payload bytes 4..207.
inline constexpr std::uint8_t kSaveLength = 0xCC;

// Size of each command's frame. A read reply may arrive shorter; the save
// acknowledgement's payload is empty and nothing in it is read.
namespace frame_size {
inline constexpr std::size_t kRead = 7;
inline constexpr std::size_t kReadReply = kFrameSize;
inline constexpr std::size_t kSave = kFrameSize;
inline constexpr std::size_t kSaveAck = 6;
} // namespace frame_size

inline constexpr std::array<std::uint8_t, frame_size::kRead> kReadCommand = {
    0xAA, 0x55, command::kRead, 0x01, 0x11, 0x26, 0xAA};

// What a logger answers to a save command: length 0, checksum 0x15.
inline constexpr std::array<std::uint8_t, frame_size::kSaveAck> kSaveAcknowledgement = {
    0xAA, 0x55, command::kSaveAck, 0x00, 0x15, 0xAA};

// Offsets of the envelope and of every field of the parameter block.
namespace offset {
inline constexpr std::size_t kHeader = 0;
inline constexpr std::size_t kCommand = 2;
inline constexpr std::size_t kLength = 3;
inline constexpr std::size_t kSerialNumber = 4;
inline constexpr std::size_t kReservedId = 13;
inline constexpr std::size_t kLogIntervalH = 17;
inline constexpr std::size_t kLogIntervalM = 18;
inline constexpr std::size_t kLogIntervalS = 19;
inline constexpr std::size_t kReservedWord = 20;
inline constexpr std::size_t kStopMode = 22;
inline constexpr std::size_t kStartMode = 23;
inline constexpr std::size_t kStartYear = 24;
inline constexpr std::size_t kStartMonth = 25;
inline constexpr std::size_t kStartDay = 26;
inline constexpr std::size_t kStartHour = 27;   // also the start delay hours
inline constexpr std::size_t kStartMinute = 28; // also the start delay minutes
inline constexpr std::size_t kStartSecond = 29;
inline constexpr std::size_t kReserved30 = 30;
inline constexpr std::size_t kProbeMode = 31;
inline constexpr std::size_t kReserved32 = 32;
inline constexpr std::size_t kTemperatureUnit = 33;
inline constexpr std::size_t kTimeZoneSign = 34;
inline constexpr std::size_t kTimeZoneHours = 35;
inline constexpr std::size_t kTimeZoneMinutes = 36;
inline constexpr std::size_t kCycleSwitch = 37;
inline constexpr std::size_t kCalibrationTemperature = 38;
inline constexpr std::size_t kCalibrationHumidity = 41;
inline constexpr std::size_t kTemporaryPdfStartup = 44;
inline constexpr std::size_t kPasswordStartup = 45;
inline constexpr std::size_t kPassword = 46;
inline constexpr std::size_t kSystemYear = 52;
inline constexpr std::size_t kSystemMonth = 53;
inline constexpr std::size_t kSystemDay = 54;
inline constexpr std::size_t kSystemHour = 55;
inline constexpr std::size_t kSystemMinute = 56;
inline constexpr std::size_t kSystemSecond = 57;
inline constexpr std::size_t kTripInfo = 58;
inline constexpr std::size_t kAlarmSwitch = 158;
inline constexpr std::size_t kTemperatureL1 = 159;
inline constexpr std::size_t kTemperatureL2 = 166;
inline constexpr std::size_t kTemperatureH1 = 173;
inline constexpr std::size_t kTemperatureH2 = 180;
inline constexpr std::size_t kTemperatureH3 = 187;
inline constexpr std::size_t kHumidityL1 = 194;
inline constexpr std::size_t kHumidityH1 = 201;
inline constexpr std::size_t kChecksum = 208;
inline constexpr std::size_t kTrailer = 209;
} // namespace offset

namespace width {
inline constexpr std::size_t kSerialNumber = 9;
inline constexpr std::size_t kReservedId = 4;
inline constexpr std::size_t kPassword = 6;
inline constexpr std::size_t kTripInfo = 100;
inline constexpr std::size_t kDecimalTriple = 3;
inline constexpr std::size_t kAlarmLevel = 7;
} // namespace width

// Offsets inside one 7-byte alarm level block.
namespace level {
inline constexpr std::size_t kSign = 0;
inline constexpr std::size_t kInteger = 1;
inline constexpr std::size_t kHundredths = 2;
inline constexpr std::size_t kMode = 3;
inline constexpr std::size_t kDelayHours = 4;
inline constexpr std::size_t kDelayMinutes = 5;
inline constexpr std::size_t kDelaySeconds = 6;
// A switched-off level is seven bytes of this value; a read reply marks it in byte +0.
inline constexpr std::uint8_t kDisabled = 0xFF;
} // namespace level

// Field values.
namespace value {
inline constexpr std::uint8_t kStopByButton = 0x01;
inline constexpr std::uint8_t kStopBySoftware = 0x10;
inline constexpr std::uint8_t kStopByButtonOrSoftware = 0x11;
inline constexpr std::uint8_t kStartRightNow = 0;
inline constexpr std::uint8_t kStartDelayed = 1;
inline constexpr std::uint8_t kStartTiming = 2;
inline constexpr int kYearBase = 2000; // year bytes hold year - 2000
// The last year a save writes: the window writes a year's last two digits.
inline constexpr int kYearLast = 2099;
inline constexpr std::uint8_t kAlarmOff = 0;
inline constexpr std::uint8_t kAlarmOn = 1;
// Bytes 31, 33, 37, 44, 45 and a level's +3: 0 names the first choice, 1 the second.
inline constexpr std::uint8_t kProbeInternal = 0;
inline constexpr std::uint8_t kProbeExternal = 1;
inline constexpr std::uint8_t kCelsius = 0;
inline constexpr std::uint8_t kFahrenheit = 1;
inline constexpr std::uint8_t kCycleOpened = 0;
inline constexpr std::uint8_t kCycleClosed = 1;
inline constexpr std::uint8_t kStartupDisabled = 0; // temporary PDF and password startup
inline constexpr std::uint8_t kStartupEnabled = 1;
inline constexpr std::uint8_t kAlarmModeSingle = 0;
inline constexpr std::uint8_t kAlarmModeCumulative = 1;
// Sign bytes of the time zone (34) and of a decimal triple.
inline constexpr std::uint8_t kPlus = 0;
inline constexpr std::uint8_t kMinus = 1;
} // namespace value

// True when the first `length` bytes at `bytes` form a well-formed frame: header
// AA 55, trailer AA at length-1, and the checksum at length-2 equal to the sum of
// bytes 2..length-3. The length byte is not read. Frames shorter than 4 bytes or
// longer than a parameter block fail. `bytes` must hold `length` bytes.
bool CheckFrame(const std::uint8_t* bytes, std::size_t length);

// Low 8 bits of the sum of bytes 2..last (inclusive). `bytes` must hold last+1 bytes.
std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t last);

} // namespace korvel::protocol
