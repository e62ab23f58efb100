#pragma once

#include <QString>

// A stored text as one line for a person to read: tags dropped, the usual entities read,
// white-space runs (line breaks included) made one blank, no blank at either end. The status
// keeps the tracking page's markup and line breaks as the page had them; wherever it is shown
// on one line (a notification, a terminal) it goes through here.
QString plainLine(const QString& text);
