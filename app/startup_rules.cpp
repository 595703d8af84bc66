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

bool AsksForClipboard(std::wstring_view line) { return line.find(L"?clipboard") != std::wstring_view::npos; }

FirstWindow FirstWindowFor(int16_t runState, int16_t lastForm) {
    if (runState == 1) return FirstWindow::Borderless;
    if (runState == -1 && lastForm == 1) return FirstWindow::Borderless;
    return FirstWindow::Framed;
}

}  // namespace tamsel
