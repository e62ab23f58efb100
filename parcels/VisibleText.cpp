#include "parcels/VisibleText.h"

QString visibleText(QString text)
{
    text.replace(QChar(u'\0'), kNulMark);
    return text;
}
