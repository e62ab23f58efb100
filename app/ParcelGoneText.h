#pragma once

#include <QString>

// The box of a command on a parcel that another window or program deleted meanwhile.
inline QString parcelGoneText()
{
    return QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой.");
}
