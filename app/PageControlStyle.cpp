#include "app/PageControlStyle.h"

namespace {

constexpr int kPageInset = 4;

} // namespace

QRect PageControlStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    if (element == SE_TabWidgetTabContents) {
        return QProxyStyle::subElementRect(SE_TabWidgetTabPane, option, widget)
            .adjusted(kPageInset, kPageInset, -kPageInset, -kPageInset);
    }
    return QProxyStyle::subElementRect(element, option, widget);
}
