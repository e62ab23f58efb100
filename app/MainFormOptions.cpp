#include "app/MainFormOptions.h"

std::array<QUrl, 3> defaultShopPages()
{
    return {QUrl(QStringLiteral("https://www.aliexpress.com/")), QUrl(QStringLiteral("https://www.ebay.com/")),
            QUrl(QStringLiteral("https://www.amazon.com/"))};
}
