// The seven threshold rows of the multiple-alarm panel, top to bottom, and the
// enabling operations of the rows that can be switched off.
#include "window/ThresholdRows.h"

namespace korvel::window {

namespace {
using T = TParamter;
} // namespace

const std::array<ThresholdRowPlan, protocol::kThresholdCount> kThresholdRows = {{
    {protocol::Threshold::H3,
     "TemperatureH3",
     &T::lblTemperatureH3,
     "lblTemperatureH3",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Temperature H3:Over"),
     41,
     &T::chkTemperatureH3,
     44,
     &T::edtTemperatureH3,
     &T::cbbTemperatureH3,
     {&T::cbbTemperatureH3H, &T::cbbTemperatureH3M, &T::cbbTemperatureH3S},
     {&T::lbl11, &T::lbl14, &T::lbl15},
     {"lbl11", "lbl14", "lbl15"},
     36,
     0,
     &T::chkTemperatureH3Click},
    {protocol::Threshold::H2,
     "TemperatureH2",
     &T::lbl1,
     "lbl1",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Temperature H2:Over"),
     71,
     &T::chkTemperatureH2,
     72,
     &T::edtTemperatureH2,
     &T::cbbTemperatureH2,
     {&T::cbbTemperatureH2H, &T::cbbTemperatureH2M, &T::cbbTemperatureH2S},
     {&T::lbl16, &T::lbl18, &T::lbl19},
     {"lbl16", "lbl18", "lbl19"},
     68,
     6,
     &T::chkTemperatureH2Click},
    {protocol::Threshold::H1,
     "TemperatureH1",
     &T::lbl5,
     "lbl5",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Temperature H1:Over"),
     102,
     nullptr,
     0,
     &T::edtTemperatureH1,
     &T::cbbTemperatureH1,
     {&T::cbbTemperatureH1H, &T::cbbTemperatureH1M, &T::cbbTemperatureH1S},
     {&T::lbl20, &T::lbl22, &T::lbl23},
     {"lbl20", "lbl22", "lbl23"},
     100,
     12,
     nullptr},
    {protocol::Threshold::L1,
     "TemperatureL1",
     &T::lbl9,
     "lbl9",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Temperature L1:Below"),
     135,
     nullptr,
     0,
     &T::edtTemperatureL1,
     &T::cbbTemperatureL1,
     {&T::cbbTemperatureL1H, &T::cbbTemperatureL1M, &T::cbbTemperatureL1S},
     {&T::lbl24, &T::lbl25, &T::lbl26},
     {"lbl24", "lbl25", "lbl26"},
     132,
     17,
     nullptr},
    {protocol::Threshold::L2,
     "TemperatureL2",
     &T::lbl13,
     "lbl13",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Temperature L2:Below"),
     168,
     &T::chkTemperatureL2,
     169,
     &T::edtTemperatureL2,
     &T::cbbTemperatureL2,
     {&T::cbbTemperatureL2H, &T::cbbTemperatureL2M, &T::cbbTemperatureL2S},
     {&T::lbl27, &T::lbl28, &T::lbl29},
     {"lbl27", "lbl28", "lbl29"},
     164,
     22,
     &T::chkTemperatureL2Click},
    {protocol::Threshold::HumidityH1,
     "HumidityH1",
     &T::lbl17,
     "lbl17",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Humidity H1:Over"),
     200,
     &T::chkHumidityH1,
     200,
     &T::edtHumidityH1,
     &T::cbbHumidityH1,
     {&T::cbbHumidityH1H, &T::cbbHumidityH1M, &T::cbbHumidityH1S},
     {&T::lbl30, &T::lbl31, &T::lbl32},
     {"lbl30", "lbl31", "lbl32"},
     196,
     28,
     &T::chkHumidityH1Click},
    {protocol::Threshold::HumidityL1,
     "HumidityL1",
     &T::lbl21,
     "lbl21",
     QT_TRANSLATE_NOOP("korvel::window::TParamter", "Humidity L1:Below"),
     232,
     &T::chkHumidityL1,
     233,
     &T::edtHumidityL1,
     &T::cbbHumidityL1,
     {&T::cbbHumidityL1H, &T::cbbHumidityL1M, &T::cbbHumidityL1S},
     {&T::lbl33, &T::lbl34, &T::lbl35},
     {"lbl33", "lbl34", "lbl35"},
     228,
     34,
     &T::chkHumidityL1Click},
}};

const ThresholdRowPlan& ThresholdRowOf(protocol::Threshold threshold) {
    for (const ThresholdRowPlan& row : kThresholdRows) {
        if (row.threshold == threshold) {
            return row;
        }
    }
    return kThresholdRows.front(); // every threshold has its row
}

void TParamter::setThresholdEnabled(protocol::Threshold threshold, bool enabled) {
    const ThresholdRowPlan& row = ThresholdRowOf(threshold);
    (this->*row.edit)->setEnabled(enabled);
    (this->*row.mode)->setEnabled(enabled);
    for (QComboBox* TParamter::*delay : row.delays) {
        (this->*delay)->setEnabled(enabled);
    }
}

void TParamter::SetTemperatureH3Enabled(bool enabled) {
    setThresholdEnabled(protocol::Threshold::H3, enabled);
}

void TParamter::SetTemperatureH2Enabled(bool enabled) {
    setThresholdEnabled(protocol::Threshold::H2, enabled);
}

void TParamter::SetTemperatureL2Enabled(bool enabled) {
    setThresholdEnabled(protocol::Threshold::L2, enabled);
}

void TParamter::SetHumidityH1Enabled(bool enabled) {
    setThresholdEnabled(protocol::Threshold::HumidityH1, enabled);
}

void TParamter::SetHumidityL1Enabled(bool enabled) {
    setThresholdEnabled(protocol::Threshold::HumidityL1, enabled);
}

} // namespace korvel::window
