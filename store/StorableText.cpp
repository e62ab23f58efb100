#include "store/StorableText.h"

#include "store/Cp1251.h"

QStringList unstorableCharacters(const QString& text)
{
    return charactersOutsideCp1251(text);
}

QString storableText(const QString& text)
{
    return fromCp1251(toCp1251(text));
}
