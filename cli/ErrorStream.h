#pragma once
#include <string_view>

// The user's error stream. While a command runs, the process's own stderr
// is silenced (the picture libraries print on their own); messages meant for
// the user go to the descriptor kept here.
void SetErrorStreamDescriptor(int descriptor);
int ErrorStreamDescriptor();
// Writes the text whole to the error stream (retrying short writes).
void WriteToErrorStream(std::string_view text);
