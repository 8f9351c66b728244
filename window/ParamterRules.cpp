// Field rules of the parameter window: the key filters, the alarm-panel,
// start-mode and password-startup rules, the threshold check boxes and the
// enabling operations they share with the read handler.
#include "window/ParamterFrm.h"

#include "window/FieldRules.h"

#include <initializer_list>

namespace korvel::window {
namespace {

void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
    for (QWidget* control : controls) {
        control->setEnabled(enabled);
    }
}

void Refuse(QChar& key) {
    key = QChar();
}

} // namespace

void TParamter::edtNumberKeyPress(QLineEdit& sender, QChar& key) {
    if (!NumberKeyAccepted(key, sender.text(), decimalSeparator)) {
        Refuse(key);
    }
}

void TParamter::edtCharKeyPress(QLineEdit&, QChar& key) {
    if (!CharKeyAccepted(key)) {
        Refuse(key);
    }
}

void TParamter::edtSerialNumberKeyPress(QLineEdit&, QChar& key) {
    if (!SerialNumberKeyAccepted(key, edtSerialNumber->text())) {
        Refuse(key);
    }
}

void TParamter::rbClick() {
    pnlSingleAlarm->setVisible(rbSingleAlarm->isChecked());
    pnlMultipleAlarm->setVisible(rbMultipleAlarm->isChecked());
}

void TParamter::cbbStartModeChange() {
    if (const auto enabling = StartModeEnablingFor(cbbStartMode->currentIndex())) {
        SetStartDelayEnabled(enabling->startDelay);
        SetStartTimeEnabled(enabling->startTime);
    }
}

void TParamter::cbbPasswordStartupChange() {
    switch (cbbPasswordStartup->currentIndex()) {
    case 0:
        edtPassword->setEnabled(false);
        break;
    case 1:
        edtPassword->setEnabled(true);
        break;
    default:
        break;
    }
}

void TParamter::chkTemperatureH3Click() {
    SetTemperatureH3Enabled(chkTemperatureH3->isChecked());
}

void TParamter::chkTemperatureH2Click() {
    SetTemperatureH2Enabled(chkTemperatureH2->isChecked());
}

void TParamter::chkTemperatureL2Click() {
    SetTemperatureL2Enabled(chkTemperatureL2->isChecked());
}

void TParamter::chkHumidityH1Click() {
    SetHumidityH1Enabled(chkHumidityH1->isChecked());
}

void TParamter::chkHumidityL1Click() {
    SetHumidityL1Enabled(chkHumidityL1->isChecked());
}

void TParamter::SetStartDelayEnabled(bool enabled) {
    SetEnabled({cbbStartDelayH, cbbStartDelayM}, enabled);
}

void TParamter::SetStartTimeEnabled(bool enabled) {
    SetEnabled(
        {cbbStartTimeY, cbbStartTimeM, cbbStartTimeD, cbbStartTimeH, cbbStartTimeN, cbbStartTimeS},
        enabled);
}

} // namespace korvel::window
