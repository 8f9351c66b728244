#include "protocol/SaveCommand.h"

#include "protocol/Numbers.h"
#include "protocol/TimeZone.h"

#include <algorithm>
#include <string_view>

namespace korvel::protocol {

namespace {

// Bytes 13-16 are written from this hexadecimal text, two digits per byte.
constexpr std::string_view kReservedIdHex = "00000000";
// Year lists show four digits ("2019"); the frame takes the last two.
constexpr std::size_t kYearDigitsAt = 2;
constexpr std::size_t kYearDigits = 2;

// Builds a frame on a copy of the previous one and remembers the first failed
// conversion; writes after a failure are skipped because the copy is discarded.
class FrameWriter {
public:
    explicit FrameWriter(const Block& previous) : block_(previous) {}

    void put(std::size_t at, std::uint8_t byte) { block_[at] = byte; }

    void put(std::size_t at, const Result<std::uint8_t>& byte) {
        if (accept(byte)) {
            block_[at] = *byte;
        }
    }

    void putTriple(std::size_t at, const Result<DecimalTriple>& triple) {
        if (accept(triple)) {
            put(at, triple->sign);
            put(at + 1, triple->integer);
            put(at + 2, triple->hundredths);
        }
    }

    // `text` cut to `width` bytes, the rest of the field zero.
    void putText(std::size_t at, std::size_t width, std::string_view text) {
        const std::size_t length = std::min(text.size(), width);
        std::copy_n(text.begin(), length, block_.begin() + at);
        std::fill_n(block_.begin() + at + length, width - length, 0);
    }

    void fill(std::size_t at, std::size_t width, std::uint8_t byte) {
        std::fill_n(block_.begin() + at, width, byte);
    }

    const std::optional<Failure>& failure() const { return failure_; }
    const Block& block() const { return block_; }

private:
    template <typename T> bool accept(const Result<T>& result) {
        if (failure_) {
            return false;
        }
        if (!result) {
            failure_ = result.failure();
            return false;
        }
        return true;
    }

    Block block_;
    std::optional<Failure> failure_;
};

Result<std::uint8_t> hexByte(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) {
        const auto lower = static_cast<char>(c | 0x20);
        if (c >= '0' && c <= '9') {
            value = value * 16 + static_cast<unsigned>(c - '0');
        } else if (lower >= 'a' && lower <= 'f') {
            value = value * 16 + static_cast<unsigned>(lower - 'a' + 10);
        } else {
            return NotAnIntegerFailure(digits);
        }
    }
    return static_cast<std::uint8_t>(value);
}

Result<std::uint8_t> yearByte(std::string_view yearText) {
    const std::string_view digits =
        yearText.size() > kYearDigitsAt ? yearText.substr(kYearDigitsAt, kYearDigits) : "";
    return ByteFromText(digits);
}

// A list's number as two-digit packed BCD.
Result<std::uint8_t> bcdByte(std::string_view text) {
    const Result<long long> number = IntegerFromText(text);
    if (!number) {
        return number.failure();
    }
    if (*number < 0 || *number > static_cast<long long>(kPackedBcdMax)) {
        return OutOfRangeFailure(text);
    }
    return ToPackedBcd(static_cast<unsigned>(*number));
}

Result<DecimalTriple> bcdTriple(std::string_view text, char decimalSeparator) {
    const Result<DecimalTriple> plain =
        DecimalTripleFromText(text, decimalSeparator, kPackedBcdMax);
    if (!plain) {
        return plain;
    }
    // Both parts are at most 99 here, so the conversions cannot fail.
    return DecimalTriple{plain->sign, *ToPackedBcd(plain->integer),
                         *ToPackedBcd(plain->hundredths)};
}

// Bytes 0/1 for the lists whose index is the value; no selection keeps the byte.
void putListIndex(FrameWriter& out, std::size_t at, int index) {
    if (index == 0 || index == 1) {
        out.put(at, static_cast<std::uint8_t>(index));
    }
}

void writeIdentity(const SaveForm& form, FrameWriter& out) {
    out.put(offset::kHeader, kHeader0);
    out.put(offset::kHeader + 1, kHeader1);
    out.put(offset::kCommand, command::kSave);
    out.put(offset::kLength, kSaveLength);
    out.putText(offset::kSerialNumber, width::kSerialNumber, form.serialNumber);
    for (std::size_t k = 0; k < width::kReservedId; ++k) {
        out.put(offset::kReservedId + k, hexByte(kReservedIdHex.substr(2 * k, 2)));
    }
}

void writeSchedule(const SaveForm& form, FrameWriter& out) {
    out.put(offset::kLogIntervalH, ByteFromText(form.logIntervalH));
    out.put(offset::kLogIntervalM, ByteFromText(form.logIntervalM));
    out.put(offset::kLogIntervalS, ByteFromText(form.logIntervalS));
    out.fill(offset::kReservedWord, 2, 0);

    constexpr std::uint8_t kStopModes[] = {value::kStopByButton, value::kStopBySoftware,
                                           value::kStopByButtonOrSoftware};
    if (form.stopMode >= 0 && form.stopMode < static_cast<int>(std::size(kStopModes))) {
        out.put(offset::kStopMode, kStopModes[form.stopMode]);
    }

    switch (form.startMode) {
    case value::kStartRightNow:
        out.put(offset::kStartMode, value::kStartRightNow);
        break;
    case value::kStartDelayed:
        out.put(offset::kStartMode, value::kStartDelayed);
        out.put(offset::kStartHour, ByteFromText(form.startDelayH));
        out.put(offset::kStartMinute, ByteFromText(form.startDelayM));
        break;
    case value::kStartTiming:
        out.put(offset::kStartMode, value::kStartTiming);
        out.put(offset::kStartYear, yearByte(form.startTime[0]));
        out.put(offset::kStartMonth, ByteFromText(form.startTime[1]));
        out.put(offset::kStartDay, ByteFromText(form.startTime[2]));
        out.put(offset::kStartHour, ByteFromText(form.startTime[3]));
        out.put(offset::kStartMinute, ByteFromText(form.startTime[4]));
        out.put(offset::kStartSecond, ByteFromText(form.startTime[5]));
        break;
    default:
        break; // no selection: the start bytes keep what the last save wrote
    }
}

void writeDeviceSettings(const SaveForm& form, char separator, FrameWriter& out) {
    out.put(offset::kReserved30, 0);
    putListIndex(out, offset::kProbeMode, form.probeMode);
    out.put(offset::kReserved32, 0);
    if (form.celsius) {
        out.put(offset::kTemperatureUnit, 0);
    } else if (form.fahrenheit) {
        out.put(offset::kTemperatureUnit, 1);
    }

    const Result<TimeZoneBytes> zone = TimeZoneFromText(form.timeZone);
    if (zone) {
        out.put(offset::kTimeZoneSign, zone->sign);
        out.put(offset::kTimeZoneHours, zone->hours);
        out.put(offset::kTimeZoneMinutes, zone->minutes);
    } else {
        out.put(offset::kTimeZoneSign, Result<std::uint8_t>(zone.failure()));
    }

    putListIndex(out, offset::kCycleSwitch, form.cycleSwitch);
    out.putTriple(offset::kCalibrationTemperature,
                  DecimalTripleFromText(form.calibrationTemperature, separator));
    out.putTriple(offset::kCalibrationHumidity,
                  DecimalTripleFromText(form.calibrationHumidity, separator));
    putListIndex(out, offset::kTemporaryPdfStartup, form.temporaryPdfStartup);

    putListIndex(out, offset::kPasswordStartup, form.passwordStartup);
    if (form.passwordStartup == 1) {
        out.putText(offset::kPassword, width::kPassword, form.password);
    }
}

void writeSystemTime(const SaveForm& form, FrameWriter& out) {
    out.put(offset::kSystemYear, yearByte(form.systemTime[0]));
    out.put(offset::kSystemMonth, ByteFromText(form.systemTime[1]));
    out.put(offset::kSystemDay, ByteFromText(form.systemTime[2]));
    out.put(offset::kSystemHour, ByteFromText(form.systemTime[3]));
    out.put(offset::kSystemMinute, ByteFromText(form.systemTime[4]));
    out.put(offset::kSystemSecond, ByteFromText(form.systemTime[5]));
}

void writeMultipleAlarm(const SaveForm& form, char separator, FrameWriter& out) {
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        const ThresholdEntry& row = form.thresholds[i];
        const std::size_t at = ThresholdOffset(threshold);
        if (IsOptional(threshold) && !row.ticked) {
            out.fill(at, width::kAlarmLevel, level::kDisabled);
            continue;
        }
        out.putTriple(at + level::kSign, bcdTriple(row.value, separator));
        out.put(at + level::kMode, row.modeIndex == 0 ? 0 : 1);
        out.put(at + level::kDelayHours, bcdByte(row.delay[0]));
        out.put(at + level::kDelayMinutes, bcdByte(row.delay[1]));
        out.put(at + level::kDelaySeconds, bcdByte(row.delay[2]));
    }
}

void writeSingleAlarm(const SaveForm& form, char separator, FrameWriter& out) {
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        const std::size_t at = ThresholdOffset(threshold);
        if (IsOptional(threshold)) {
            out.fill(at, width::kAlarmLevel, level::kDisabled);
            continue;
        }
        const std::string& limit = threshold == Threshold::L1 ? form.singleL1 : form.singleH1;
        out.putTriple(at + level::kSign, DecimalTripleFromText(limit, separator));
        // Mode "Single" and no delay.
        out.fill(at + level::kMode, width::kAlarmLevel - level::kMode, 0);
    }
}

void writeAlarms(const SaveForm& form, char separator, FrameWriter& out) {
    switch (form.alarm) {
    case AlarmChoice::None:
        out.put(offset::kAlarmSwitch, value::kAlarmOff);
        break; // the level blocks keep what the last save wrote
    case AlarmChoice::Single:
        out.put(offset::kAlarmSwitch, value::kAlarmOn);
        writeSingleAlarm(form, separator, out);
        break;
    case AlarmChoice::Multiple:
        out.put(offset::kAlarmSwitch, value::kAlarmOn);
        writeMultipleAlarm(form, separator, out);
        break;
    }
}

} // namespace

std::optional<Failure> EncodeSaveCommand(const SaveForm& form, char decimalSeparator,
                                         Block& sendBuffer) {
    FrameWriter out(sendBuffer);
    writeIdentity(form, out);
    writeSchedule(form, out);
    writeDeviceSettings(form, decimalSeparator, out);
    writeSystemTime(form, out);
    out.putText(offset::kTripInfo, width::kTripInfo, form.tripInfo);
    writeAlarms(form, decimalSeparator, out);
    if (out.failure()) {
        return out.failure();
    }
    Block frame = out.block();
    frame[offset::kChecksum] = FrameChecksum(frame.data(), offset::kChecksum - 1);
    frame[offset::kTrailer] = kTrailer;
    sendBuffer = frame;
    return std::nullopt;
}

} // namespace korvel::protocol
