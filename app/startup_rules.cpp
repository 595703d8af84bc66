#include "app/startup_rules.h"

namespace tamsel {

std::wstring CommandTail(std::wstring_view line) {
    size_t i = 0;
    // The program name ends at the closing quote when it starts with one,
    // otherwise at the first blank (the rule the system itself uses).
    if (!line.empty() && line[0] == L'"') {
        size_t close = line.find(L'"', 1);
        i = close == std::wstring_view::npos ? line.size() : close + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
    }
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    return std::wstring(line.substr(i));
}

std::wstring QuotedPath(std::wstring_view line) {
    const size_t end = line.find_last_not_of(L" \t");
    if (end == std::wstring_view::npos || end < 2 || line[0] != L'"' || line[end] != L'"') return L"";
    const std::wstring_view inside = line.substr(1, end - 1);
    if (inside.find(L'"') != std::wstring_view::npos) return L"";
    return std::wstring(inside);
}

bool AsksForClipboard(std::wstring_view line) { return line.find(L"?clipboard") != std::wstring_view::npos; }

FirstWindow FirstWindowFor(int16_t runState, int16_t lastForm) {
    if (runState == 1) return FirstWindow::Borderless;
    if (runState == -1 && lastForm == 1) return FirstWindow::Borderless;
    return FirstWindow::Framed;
}

}  // namespace tamsel
