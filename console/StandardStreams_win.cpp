#include "console/StandardStreams.h"

#include <QString>

#include <windows.h>

namespace {

bool usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != 0;
}

// The console's output, for the streams the caller gave no handle.
void useConsoleFor(DWORD which)
{
    const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
    if (usable(console))
        ::SetStdHandle(which, console);
}

} // namespace

void standardstreams::prepare()
{
    // The program is a graphical one, so that the Start menu opens no console window for it.
    // Started from a console (cmd, PowerShell), it writes to that console; a stream the caller
    // redirected to a file or a pipe is used as it is.
    const bool out = usable(::GetStdHandle(STD_OUTPUT_HANDLE));
    const bool error = usable(::GetStdHandle(STD_ERROR_HANDLE));
    if (out && error)
        return;
    if (::AttachConsole(ATTACH_PARENT_PROCESS) == 0)
        return;
    if (!out)
        useConsoleFor(STD_OUTPUT_HANDLE);
    if (!error)
        useConsoleFor(STD_ERROR_HANDLE);
}

bool standardstreams::write(Stream stream, const QByteArray& utf8)
{
    const HANDLE handle = ::GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (!usable(handle))
        return false;
    if (isConsole(handle)) {
        const QString text = QString::fromUtf8(utf8);
        const auto* chars = reinterpret_cast<const wchar_t*>(text.utf16());
        qsizetype left = text.size();
        while (left > 0) {
            DWORD written = 0;
            if (::WriteConsoleW(handle, chars, static_cast<DWORD>(left), &written, nullptr) == 0 || written == 0)
                return false;
            chars += written;
            left -= written;
        }
        return true;
    }
    const char* bytes = utf8.constData();
    qsizetype left = utf8.size();
    while (left > 0) {
        DWORD written = 0;
        if (::WriteFile(handle, bytes, static_cast<DWORD>(left), &written, nullptr) == 0 || written == 0)
            return false;
        bytes += written;
        left -= written;
    }
    return true;
}

void standardstreams::keepRunningWithoutReader()
{
    // A pipe whose reader went away fails the write on Windows; no signal comes.
}
