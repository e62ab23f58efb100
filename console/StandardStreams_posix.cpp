#include "console/StandardStreams.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Standard output was closed by the caller (`>&-`).
bool g_outClosed = false;

} // namespace

void standardstreams::prepare()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int held = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (held < 0)
            continue;
        if (held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
        if (fd == STDOUT_FILENO)
            g_outClosed = true;
    }
}

bool standardstreams::write(Stream stream, const QByteArray& utf8)
{
    if (stream == Stream::Out && g_outClosed)
        return false;
    std::FILE* file = stream == Stream::Out ? stdout : stderr;
    return std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), file) == std::size_t(utf8.size())
           && std::fflush(file) == 0;
}

void standardstreams::keepRunningWithoutReader()
{
    std::signal(SIGPIPE, SIG_IGN);
}
