#pragma once
// Windows-free rules of the start-up sequence.
#include <cstdint>
#include <string>
#include <string_view>

namespace tamsel {

// The raw text after the program's name in a process command line: quotes
// kept, nothing split, leading blanks dropped.
std::wstring CommandTail(std::wstring_view commandLine);

// "?clipboard" anywhere in the command line, case-sensitive.
bool AsksForClipboard(std::wstring_view commandLine);

enum class FirstWindow { Framed, Borderless };

// RunState/LastForm outside the known values (an edited store) open the framed window.
FirstWindow FirstWindowFor(int16_t runState, int16_t lastForm);

}  // namespace tamsel
