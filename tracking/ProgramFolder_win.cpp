#include "tracking/ModuleLoader.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

#include <windows.h>

QString programFolder()
{
    // A path may be longer than MAX_PATH: the buffer grows until the whole of it fits.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return QFileInfo(QDir::fromNativeSeparators(QString::fromWCharArray(path.data(), length))).absolutePath();
        path.resize(path.size() * 2);
    }
}
