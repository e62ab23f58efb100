#include "PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The parcels are the user's own: a file the program makes is for its owner alone, whatever the
// umask of whoever started it (a desktop session's lets everyone read). SQLite would make it
// with 0644 less the umask; an empty file is a new database to it, and the journals it makes
// beside one take the file's mode.
void createPrivateFile(const std::string& fileName)
{
    // SQLite's own names for a database in memory or in a temporary file name no file here.
    if (fileName.empty() || fileName == ":memory:")
        return;
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return;
    // A umask that takes the owner's rights too would leave the program a file it cannot write.
    (void)::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
}
