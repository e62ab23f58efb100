#include "parcels/Tahoma.h"

namespace tahoma {

QFont font(int pixelSize, bool bold)
{
    registerFonts();
    QFont f(QStringLiteral("Tahoma"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

} // namespace tahoma
