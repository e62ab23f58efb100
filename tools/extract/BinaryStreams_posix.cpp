#include "BinaryStreams.h"

// POSIX streams carry bytes as they are.
void useBinaryStandardStreams()
{
}
