#include "window/CompactListStyle.h"

#include <QStyleOptionComplex>

namespace korvel::window {
namespace {

constexpr int kArrowWidth = 15;
constexpr int kTextIndent = 4;
constexpr int kFrame = 1;

} // namespace

CompactListStyle::CompactListStyle() : QProxyStyle() {}

QRect CompactListStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                       SubControl part, const QWidget* widget) const {
    if (control != CC_ComboBox || option == nullptr) {
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
    const QRect frame = option->rect;
    switch (part) {
    case SC_ComboBoxArrow:
        return visualRect(option->direction, frame,
                          QRect(frame.right() - kArrowWidth - kFrame + 1, frame.top() + kFrame,
                                kArrowWidth, frame.height() - 2 * kFrame));
    case SC_ComboBoxEditField:
        return visualRect(option->direction, frame,
                          QRect(frame.left() + kTextIndent, frame.top() + kFrame,
                                frame.width() - kArrowWidth - kTextIndent - 2 * kFrame,
                                frame.height() - 2 * kFrame));
    default:
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
}

} // namespace korvel::window
