#pragma once
// Common-dialog filters are written as "description|patterns|..." and
// handed to the system as NUL-separated pairs.
#include <string>
#include <utility>
#include <vector>

namespace forms {

std::vector<std::pair<std::wstring, std::wstring>> ParseFilter(const std::wstring& filter);

// NUL-separated pairs ending in two NULs; an odd trailing description gets "*.*".
std::wstring FilterToSystem(const std::wstring& filter);

}  // namespace forms
