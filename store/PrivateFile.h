#pragma once

#include <string>

// Makes the empty database file `fileName` for its owner alone before SQLite opens it, where the
// system says who may read a file by its mode (PrivateFile_posix.cpp); on Windows a new file takes
// the access list of its folder, which in the user's profile keeps others out (PrivateFile_win.cpp).
// Does nothing for SQLite's names that name no file, or where the file cannot be made (SQLite's own
// attempt then says why).
void createPrivateFile(const std::string& fileName);
