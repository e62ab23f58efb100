#pragma once

#include <QChar>
#include <QString>

// A stored text as the windows show it. A NUL byte (a file another tool wrote) would draw as
// nothing, and a text field would hold it unseen; it is shown as "␀" instead, so that the user
// sees that something is there, and a dialog knows it holds a text it could not show as stored.
inline constexpr QChar kNulMark(u'\u2400');

QString visibleText(QString text);
