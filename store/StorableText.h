#pragma once

#include <QString>
#include <QStringList>

// What the database file can hold. Its texts are Windows-1251, as they always were: a character
// that code page lacks cannot be stored, and what stands in for it comes back as "?".

// The characters of `text` the file cannot hold, each once, in the order of their first
// appearance; a character outside the Basic Multilingual Plane (an emoji) counts as one.
QStringList unstorableCharacters(const QString& text);

// `text` as the file gives it back once stored: every character it cannot hold is "?".
QString storableText(const QString& text);
