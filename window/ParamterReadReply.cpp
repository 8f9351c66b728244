// The logger's replies: every received chunk is checked as one frame; a read
// reply is decoded into settings by the protocol layer, and the controls show
// the values ControlValuesOf gives for them.
#include "window/ParamterFrm.h"

#include "protocol/Numbers.h"
#include "protocol/SettingsCodec.h"
#include "protocol/SettingsText.h"
#include "window/ControlValues.h"
#include "window/LastSaveStatus.h"
#include "window/ThresholdRows.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>

namespace korvel::window {
namespace {

enum class ChunkKind { Malformed, ReadReply, SaveAcknowledgement, Other };

// A read reply must fill the whole block: a shorter one that happens to pass the
// frame check would otherwise be decoded over the bytes of an earlier chunk.
ChunkKind KindOf(const std::uint8_t* bytes, std::size_t length) {
    if (!protocol::CheckFrame(bytes, length)) {
        return ChunkKind::Malformed;
    }
    switch (bytes[protocol::offset::kCommand]) {
    case protocol::command::kReadReply:
        return length == protocol::kFrameSize ? ChunkKind::ReadReply : ChunkKind::Malformed;
    case protocol::command::kSaveAck:
        return ChunkKind::SaveAcknowledgement;
    default:
        return ChunkKind::Other;
    }
}

// What a save's outcome row says of the chunk that answered it.
const char* AnswerDetail(ChunkKind kind) {
    switch (kind) {
    case ChunkKind::Malformed:
        return "Data Check Error";
    case ChunkKind::ReadReply:
        return "a read reply instead of the acknowledgement";
    case ChunkKind::Other:
        return "another answer than the acknowledgement";
    case ChunkKind::SaveAcknowledgement:
        break;
    }
    return "";
}

QString TripText(const std::string& bytes) {
    const std::string text = protocol::TripTextOf(bytes);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void SelectOptional(QComboBox* list, const std::optional<int>& index) {
    if (index) {
        TParamter::SelectListIndex(list, *index);
    }
}

// Like a user's click: selecting an unselected radio runs the radio rule, an
// already selected one runs nothing.
void Select(QRadioButton* radio) {
    radio->setChecked(true);
}

} // namespace

void TParamter::CommReceiveData(serial::TComm&, const std::uint8_t* buffer, std::uint16_t length) {
    try {
        handleChunk(buffer, length);
    } catch (const std::exception& error) {
        services.prompt.warning(QString::fromUtf8(error.what()));
    }
    closeAfterChunk();
}

void TParamter::handleChunk(const std::uint8_t* buffer, std::uint16_t length) {
    // A chunk longer than the buffer is no frame of this protocol; it is refused
    // whole rather than cut, and leaves the buffer as the last chunk left it.
    if (length > receiveBuffer.size()) {
        saveRecord.Answered(false, "Data Check Error");
        services.prompt.warning(tr("Data Check Error"));
        return;
    }
    std::copy_n(buffer, length, receiveBuffer.begin());
    // The prompts below may run further chunks before they return; each decision
    // here is taken from this chunk's bytes, before any prompt opens.
    const ChunkKind kind = KindOf(receiveBuffer.data(), length);
    // A waiting save's outcome is written before any prompt holds the window up.
    saveRecord.Answered(kind == ChunkKind::SaveAcknowledgement, AnswerDetail(kind));
    switch (kind) {
    case ChunkKind::Malformed:
        services.prompt.warning(tr("Data Check Error"));
        return;
    case ChunkKind::SaveAcknowledgement:
        heldSettings = protocol::DecodeSettings(sendBuffer);
        showLastSave(); // the save just recorded, when it was the logger last read
        services.prompt.information(tr("Save Success"));
        return;
    case ChunkKind::Other:
        return;
    case ChunkKind::ReadReply:
        break;
    }
    saveRecord.ReadReply(receiveBuffer);
    heldSettings = protocol::DecodeSettings(receiveBuffer);
    const ControlValues values = ControlValuesOf(heldSettings);
    edtSerialNumber->setText(QString::fromLatin1(
        values.serialNumber.data(), static_cast<qsizetype>(values.serialNumber.size())));
    stopScan();
    setScanStatus({}); // the logger answered: nothing left to explain
    rememberAnsweringPort();
    showControlValues(values);
    showLastSave();
    services.prompt.information(tr("Read Success"));
}

void TParamter::showLastSave() {
    showStatus(QString::fromStdString(
                   LastSaveText(saveRecord.LastSave(), QTimeZone::systemTimeZone(), QLocale())),
               {});
}

void TParamter::rememberAnsweringPort() {
    // A reply can come after the scan's last tick has moved portIndex past the
    // end of the list. Only the port polled last is still open and could have
    // sent it, so the logger counts as found there, on the last entry. Should the
    // list no longer hold that port (a Read has replaced it since), the reply
    // is shown but no port is remembered.
    if (portIndex >= 0 && portIndex < static_cast<int>(portList.size())) {
        deviceFound = true;
        portName = portList[static_cast<std::size_t>(portIndex)];
        return;
    }
    if (!portList.empty() && Comm->PortHandle() != 0 && portList.back() == Comm->CommName()) {
        portIndex = static_cast<int>(portList.size()) - 1;
        deviceFound = true;
        portName = portList.back();
    }
}

using protocol::SettingKey;

void TParamter::showControlValues(const ControlValues& reply, const protocol::SettingKeys& shown) {
    const char separator = separatorByte();
    const auto tripleText = [separator](const protocol::DecimalTriple& triple) {
        return QString::fromStdString(protocol::DecimalTripleToText(triple, separator));
    };

    if (shown.Has(SettingKey::LogInterval)) {
        SelectListIndex(cbbLogIntervalH, reply.logIntervalH);
        SelectListIndex(cbbLogIntervalM, reply.logIntervalM);
        SelectListIndex(cbbLogIntervalS, reply.logIntervalS);
    }
    if (shown.Has(SettingKey::StopMode)) {
        SelectOptional(cbbStopMode, reply.stopMode);
    }

    if (shown.Has(SettingKey::Start) && reply.startMode) {
        SelectListIndex(cbbStartMode, *reply.startMode);
        SetStartDelayEnabled(reply.startDelay.has_value());
        SetStartTimeEnabled(reply.startTime.has_value());
        if (reply.startDelay) {
            SelectListIndex(cbbStartDelayH, reply.startDelay->hours);
            SelectListIndex(cbbStartDelayM, reply.startDelay->minutes);
        }
        if (reply.startTime) {
            const std::array<QComboBox*, 6> lists = {cbbStartTimeY, cbbStartTimeM, cbbStartTimeD,
                                                     cbbStartTimeH, cbbStartTimeN, cbbStartTimeS};
            for (std::size_t i = 0; i < lists.size(); ++i) {
                SelectListIndex(lists[i], (*reply.startTime)[i]);
            }
        }
    }

    if (shown.Has(SettingKey::ProbeMode)) {
        SelectOptional(cbbProbeMode, reply.probeMode);
    }
    if (shown.Has(SettingKey::TemperatureUnit) && reply.unit) {
        Select(*reply.unit == protocol::TemperatureUnit::Celsius ? rbC : rbF);
    }
    if (shown.Has(SettingKey::TimeZone)) {
        const int zone = cbbTimeZone->findText(QString::fromStdString(reply.timeZone),
                                               Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (zone >= 0) {
            cbbTimeZone->setCurrentIndex(zone);
        }
    }
    if (shown.Has(SettingKey::CycleSwitch)) {
        SelectOptional(cbbCycleSwitch, reply.cycleSwitch);
    }
    if (shown.Has(SettingKey::CalibrationTemperature)) {
        edtCalibrationTemp->setText(tripleText(reply.calibrationTemperature));
    }
    if (shown.Has(SettingKey::CalibrationHumidity)) {
        edtCalibrationHumidity->setText(tripleText(reply.calibrationHumidity));
    }
    if (shown.Has(SettingKey::TemporaryPdf)) {
        SelectOptional(cbbTemporaryPDFStartup, reply.temporaryPdfStartup);
    }
    if (shown.Has(SettingKey::Password)) {
        if (reply.passwordStartup) {
            SelectListIndex(cbbPasswordStartup, *reply.passwordStartup);
            edtPassword->setEnabled(*reply.passwordStartup == 1);
        }
        if (reply.password) {
            edtPassword->setText(QString::fromLatin1(
                reply.password->data(), static_cast<qsizetype>(reply.password->size())));
        }
    }
    if (shown.Has(SettingKey::TripInformation)) {
        mmoTripInfo->setPlainText(TripText(reply.tripInfo));
    }
    if (!shown.Has(SettingKey::Alarm)) {
        return;
    }
    // The panels are set before the radio, whose rule runs only when the
    // selection changes.
    const AlarmReading& alarm = reply.alarm;
    switch (alarm.kind) {
    case protocol::AlarmChoice::None:
        pnlSingleAlarm->hide();
        pnlMultipleAlarm->hide();
        Select(rbNoAlarm);
        break;
    case protocol::AlarmChoice::Single:
        pnlSingleAlarm->show();
        pnlMultipleAlarm->hide();
        Select(rbSingleAlarm);
        edtSingleL1->setText(tripleText(alarm.singleL1));
        edtSingleH1->setText(tripleText(alarm.singleH1));
        break;
    case protocol::AlarmChoice::Multiple:
        pnlSingleAlarm->hide();
        pnlMultipleAlarm->hide();
        Select(rbMultipleAlarm);
        for (const ThresholdRowPlan& row : kThresholdRows) {
            const ThresholdReading& reading = alarm.rows[protocol::Index(row.threshold)];
            QCheckBox* check = row.check != nullptr ? this->*row.check : nullptr;
            if (check != nullptr && !reading.present) {
                check->setChecked(false);
                setThresholdEnabled(row.threshold, false);
                continue;
            }
            if (check != nullptr) {
                check->setChecked(true);
            }
            (this->*row.edit)->setText(tripleText(reading.limit));
            (this->*row.mode)->setCurrentIndex(reading.modeIndex == 0 ? 0 : 1);
            for (std::size_t i = 0; i < row.delays.size(); ++i) {
                SelectListIndex(this->*row.delays[i], reading.delay[i]);
            }
        }
        break;
    }
}

void TParamter::closeAfterChunk() {
    try {
        if (Comm->PortHandle() != 0) {
            Comm->ClosePort();
        }
        services.sleeper.sleepMs(kPortPauseMs);
    } catch (const std::exception& error) {
        services.prompt.plain(QString::fromUtf8(error.what()));
    }
}

} // namespace korvel::window
