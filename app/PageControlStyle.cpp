#include "app/PageControlStyle.h"

namespace {

constexpr int kPageInset = 4;
// The control is as wide as the window, a pixel narrower than the pages were laid out in: the
// pages keep their width by sitting a pixel nearer the frame's right edge, which is drawn whole.
constexpr int kRightInset = 3;

} // namespace

QRect PageControlStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    if (element == SE_TabWidgetTabContents) {
        return QProxyStyle::subElementRect(SE_TabWidgetTabPane, option, widget)
            .adjusted(kPageInset, kPageInset, -kRightInset, -kPageInset);
    }
    return QProxyStyle::subElementRect(element, option, widget);
}
