#pragma once

#include <QString>
#include <QStringList>

// The box for fields that hold characters the code page of the database lacks: it names them,
// so that the user can replace them and save again. Invisible ones are named by their code. The
// mark of a NUL byte is one of them: the dialogs show the mark, and the byte itself cannot be
// stored. `inShownFields`: some are in fields the user sees; `inHiddenComment`: some are in the
// stored comment the parcel dialog does not show.
QString unstorableCharactersText(const QStringList& characters, bool inShownFields, bool inHiddenComment);
