#include "parcels/VisibleText.h"

#include "store/Cp1251.h"

QString visibleText(std::string_view bytes)
{
    QString text = fromCp1251(bytes);
    if (bytes.find('\0') != std::string_view::npos)
        text.replace(QChar(u'\0'), kNulMark);
    return text;
}
