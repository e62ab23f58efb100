#pragma once

#include <QProxyStyle>

// The style of the main window's page control: the pages sit 4 pixels inside the frame below
// the tabs (3 on the right), so that each page's client area is 937 x 727 as the window was laid
// out while the frame stays inside the window. Everything else is drawn by the application's style.
class PageControlStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override;
};
