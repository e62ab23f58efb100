#pragma once

// Makes standard input and output carry bytes as they are: Windows' C runtime would otherwise
// turn each "\n" written into "\r\n", and end the input at the first Ctrl+Z (BinaryStreams_posix.cpp,
// BinaryStreams_win.cpp).
void useBinaryStandardStreams();
