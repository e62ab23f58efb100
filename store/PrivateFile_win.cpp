#include "PrivateFile.h"

// SQLite makes the file; it and its journals take the access list of the folder they are in.
void createPrivateFile(const std::string&)
{
}
