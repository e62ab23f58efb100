#pragma once

#include <QByteArray>

// The standard streams as the commands use them, where systems differ.
namespace standardstreams {

enum class Stream { Out, Error };

// Called once as a command starts. On POSIX systems a stream the caller closed is held open on
// /dev/null, so that no file the program opens later (the run's lock file, a socket) takes its
// number and receives what was meant for the terminal; output to a closed standard output still
// fails. On Windows the program has no console of its own (the Start menu opens none): a command
// started from one writes to that console, where the caller gave it no file or pipe instead.
void prepare();

// Writes `utf8` whole; false when it could not. A console on Windows is written in UTF-16, so
// that it shows Cyrillic whatever its code page; files and pipes get the UTF-8 bytes.
bool write(Stream stream, const QByteArray& utf8);

// A reader that went away (`| head`) fails the writes, and does not end the process.
void keepRunningWithoutReader();

} // namespace standardstreams
