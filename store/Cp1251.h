#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

// The program's own text is Windows-1251 bytes in std::string; Qt speaks UTF-16.
// These two convert at that boundary. Characters the code page lacks become '?'.
std::string toCp1251(const QString& text);
QString fromCp1251(std::string_view bytes);

// Upper-cases the Windows-1251 letters of `bytes` (Latin and Cyrillic), leaving every other
// byte alone; a letter whose upper-case form the code page lacks stays as it is.
std::string upperCp1251(std::string_view bytes);

// The characters of `text` that the code page lacks, each once, in the order of their first
// appearance; a character outside the Basic Multilingual Plane (an emoji) counts as one.
QStringList charactersOutsideCp1251(const QString& text);
