#pragma once
// A narrower drop-down button for the window's lists. The design gives a
// four-digit year a list 61 px wide; the platform style's wide arrow button
// would cut the year off.

#include <QProxyStyle>

namespace korvel::window {

class CompactListStyle : public QProxyStyle {
public:
    // Follows the application's style for everything but the list's parts.
    CompactListStyle();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override;
};

} // namespace korvel::window
