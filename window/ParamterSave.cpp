// Save: the controls' texts are checked (SaveForm.h), become settings and the
// clock, and the protocol layer encodes them over the last frame sent; the window
// shows refusals and sends the frame.
#include "window/ParamterFrm.h"

#include "protocol/SettingsCodec.h"
#include "window/FieldRules.h"
#include "window/ThresholdRows.h"

#include <stdexcept>

namespace korvel::window {
namespace {

// Composed first, so that "e" with a combining accent is saved as the one byte "é".
std::string Latin1(const QString& text) {
    return text.normalized(QString::NormalizationForm_C).toLatin1().toStdString();
}

std::string ListText(const QComboBox* list) {
    return Latin1(list->currentText());
}

std::array<std::string, 6> ListTexts(const std::array<QComboBox*, 6>& lists) {
    std::array<std::string, 6> texts;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        texts[i] = ListText(lists[i]);
    }
    return texts;
}

} // namespace

QLineEdit* TParamter::fieldEdit(Field field) const {
    switch (field) {
    case Field::SerialNumber:
        return edtSerialNumber;
    case Field::CalibrationTemperature:
        return edtCalibrationTemp;
    case Field::CalibrationHumidity:
        return edtCalibrationHumidity;
    case Field::Password:
        return edtPassword;
    case Field::TemperatureH3:
        return edtTemperatureH3;
    case Field::TemperatureH2:
        return edtTemperatureH2;
    case Field::TemperatureH1:
        return edtTemperatureH1;
    case Field::TemperatureL1:
        return edtTemperatureL1;
    case Field::TemperatureL2:
        return edtTemperatureL2;
    case Field::HumidityH1:
        return edtHumidityH1;
    case Field::HumidityL1:
        return edtHumidityL1;
    case Field::SingleH1:
        return edtSingleH1;
    case Field::SingleL1:
        break;
    }
    return edtSingleL1;
}

SaveForm TParamter::saveForm() const {
    const char separator = separatorByte();
    // Value edits may hold the locale's separator where it has no single byte.
    const auto number = [this, separator](const QLineEdit* edit) {
        return Latin1(NumberTextForSave(edit->text(), decimalSeparator, separator));
    };

    SaveForm form;
    form.serialNumber = Latin1(edtSerialNumber->text());
    form.logIntervalH = ListText(cbbLogIntervalH);
    form.logIntervalM = ListText(cbbLogIntervalM);
    form.logIntervalS = ListText(cbbLogIntervalS);
    form.stopMode = cbbStopMode->currentIndex();
    form.startMode = cbbStartMode->currentIndex();
    form.startDelayH = ListText(cbbStartDelayH);
    form.startDelayM = ListText(cbbStartDelayM);
    form.startTime = ListTexts(
        {cbbStartTimeY, cbbStartTimeM, cbbStartTimeD, cbbStartTimeH, cbbStartTimeN, cbbStartTimeS});
    form.probeMode = cbbProbeMode->currentIndex();
    form.celsius = rbC->isChecked();
    form.fahrenheit = rbF->isChecked();
    form.timeZone = ListText(cbbTimeZone);
    form.cycleSwitch = cbbCycleSwitch->currentIndex();
    form.calibrationTemperature = number(edtCalibrationTemp);
    form.calibrationHumidity = number(edtCalibrationHumidity);
    form.temporaryPdfStartup = cbbTemporaryPDFStartup->currentIndex();
    form.passwordStartup = cbbPasswordStartup->currentIndex();
    form.password = Latin1(edtPassword->text());
    form.systemTime = ListTexts({cbbSystemTimeY, cbbSystemTimeM, cbbSystemTimeD, cbbSystemTimeH,
                                 cbbSystemTimeN, cbbSystemTimeS});
    form.tripInfo = Latin1(mmoTripInfo->toPlainText());
    form.alarm = rbMultipleAlarm->isChecked() ? protocol::AlarmChoice::Multiple
                 : rbSingleAlarm->isChecked() ? protocol::AlarmChoice::Single
                                              : protocol::AlarmChoice::None;
    form.singleH1 = number(edtSingleH1);
    form.singleL1 = number(edtSingleL1);
    for (const ThresholdRowPlan& row : kThresholdRows) {
        ThresholdEntry& entry = form.thresholds[protocol::Index(row.threshold)];
        entry.ticked = row.check == nullptr || (this->*row.check)->isChecked();
        entry.value = number(this->*row.edit);
        entry.modeIndex = (this->*row.mode)->currentIndex();
        entry.delay = {ListText(this->*row.delays[0]), ListText(this->*row.delays[1]),
                       ListText(this->*row.delays[2])};
    }
    return form;
}

std::optional<SaveValues> TParamter::settingsToSave() {
    const char separator = separatorByte();
    const SaveForm form = saveForm();
    if (const std::optional<SaveProblem> problem = ValidateSave(form, separator, heldSettings)) {
        // A text that is no number ends the save as any conversion error does.
        if (problem->kind == SaveProblem::Kind::NotANumber) {
            services.prompt.warning(ProblemText(*problem));
            return std::nullopt;
        }
        fieldEdit(problem->field)->setFocus();
        services.prompt.information(ProblemText(*problem));
        return std::nullopt;
    }
    // Lists without a selection keep what the last frame sent held.
    const protocol::Result<SaveValues> values =
        ValuesOfForm(form, separator, protocol::DecodeSettings(sendBuffer));
    if (!values) {
        throw std::runtime_error(values.failure().message);
    }
    return *values;
}

void TParamter::imgSaveClick() {
    imgSave0->hide();
    stopScan();

    const std::optional<SaveValues> values = settingsToSave();
    if (!values) {
        return;
    }
    sendBuffer = protocol::EncodeSaveFrame(values->settings, sendBuffer, values->clock);

    openForExchange(portName);
    services.sleeper.sleepMs(kPortPauseMs);
    // The acknowledgement must arrive as a chunk of its own.
    Comm->PurgeInput();
    saveRecord.Sending(portName, sendBuffer);
    if (!Comm->SendData(sendBuffer.data(), static_cast<std::uint16_t>(sendBuffer.size()))) {
        saveRecord.NotSent();
    }
}

} // namespace korvel::window
