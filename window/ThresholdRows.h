#pragma once
// The seven threshold rows of the multiple-alarm panel as one table: it places
// the rows, and the read, the save and the check-box rules walk it.

#include "window/ParamterFrm.h"

#include <array>

namespace korvel::window {

// One alarm line of the multiple-alarm panel. Names follow the row key:
// edt<key>, cbb<key>, cbb<key>H/M/S, chk<key>.
struct ThresholdRowPlan {
    protocol::Threshold threshold;
    const char* key;
    QLabel* TParamter::*label;
    const char* labelName;
    const char* caption;
    int labelTop;
    QCheckBox* TParamter::*check; // null for the rows that are always on
    int checkTop;
    QLineEdit* TParamter::*edit;
    QComboBox* TParamter::*mode;
    std::array<QComboBox * TParamter::*, 3> delays; // hours, minutes, seconds
    std::array<QLabel * TParamter::*, 3> units;
    std::array<const char*, 3> unitNames;
    int top;
    int firstTab;               // edit; then mode, H, M, S and the check box
    void (TParamter::*click)(); // the check box's handler; null without one
};

// Top to bottom, in kPanelRowOrder (SaveForm.h).
extern const std::array<ThresholdRowPlan, protocol::kThresholdCount> kThresholdRows;

const ThresholdRowPlan& ThresholdRowOf(protocol::Threshold threshold);

} // namespace korvel::window
