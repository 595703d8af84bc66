#pragma once
// Windows-free rules of the start-up sequence.
#include <cstdint>
#include <string>
#include <string_view>

namespace tamsel {

// The raw text after the program's name in a process command line: quotes
// kept, nothing split, leading blanks dropped.
std::wstring CommandTail(std::wstring_view commandLine);

// The path inside a command line that is one path in a pair of double quotes
// (blanks after the closing quote allowed), as the shell, "Send to" and most
// scripts hand over a path with blanks; empty for anything else.
std::wstring QuotedPath(std::wstring_view commandLine);

// "?clipboard" anywhere in the command line, case-sensitive.
bool AsksForClipboard(std::wstring_view commandLine);

enum class FirstWindow { Framed, Borderless };

// RunState/LastForm outside the known values (an edited store) open the framed window.
FirstWindow FirstWindowFor(int16_t runState, int16_t lastForm);

}  // namespace tamsel
