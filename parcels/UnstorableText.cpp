#include "parcels/UnstorableText.h"

#include "parcels/VisibleText.h"

#include <algorithm>

QString unstorableCharactersText(const QStringList& characters, bool inShownFields, bool inHiddenComment)
{
    constexpr qsizetype kNamed = 10;
    QStringList named;
    for (qsizetype i = 0; i < std::min(characters.size(), kNamed); ++i) {
        const QString& character = characters.at(i);
        const bool visible = character.size() == 2 || (character.at(0).isPrint() && !character.at(0).isSpace());
        named.push_back(visible
                            ? QStringLiteral("«%1»").arg(character)
                            : QStringLiteral("U+%1").arg(character.at(0).unicode(), 4, 16, QLatin1Char('0')).toUpper());
    }
    QString list = named.join(QStringLiteral(", "));
    if (characters.size() > kNamed)
        list += QStringLiteral(" и другие");
    QString text = QStringLiteral("Нельзя сохранить знаки: %1.").arg(list);
    if (characters.contains(QString(kNulMark)))
        text += QStringLiteral(" Знаком «␀» окно показывает нулевой байт, который в базу записала другая программа: "
                               "сохранить его нельзя.");
    if (inShownFields)
        text += QStringLiteral(" Замените или удалите их.");
    // Only a stored comment can hold them there: the user can neither see nor mend it here.
    if (inHiddenComment)
        text += QStringLiteral(" Такие знаки есть в комментарии посылки, которого это окно не показывает: чтобы "
                               "изменить посылку, удалите её и добавьте заново.");
    return text;
}
