#pragma once

// Qt's own texts in Russian whatever the session's locale: the standard buttons of the message
// boxes ("Да", "Нет"), the text fields' context menus ("Копировать", ...). The program speaks
// Russian throughout and offers no other language.
class QtTranslations
{
public:
    // Installs Qt's Russian catalogue into the application object, which must exist; once per
    // process, later calls only give the first one's result. False when the catalogue is missing
    // (Debian's qt6-translations-l10n is not installed): Qt's texts then stay English, and a
    // warning says so on standard error.
    static bool installRussian();
};
