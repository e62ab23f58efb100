#include "parcels/Tahoma.h"

#include <QFile>
#include <QFontDatabase>

namespace tahoma {

void registerFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Only the regular face: the bold file of fonts-wine draws its glyphs at regular weight, so
    // bold captions would not look bold. Qt emboldens the regular face instead.
    const QString file = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    if (QFile::exists(file))
        QFontDatabase::addApplicationFont(file);
}

} // namespace tahoma
