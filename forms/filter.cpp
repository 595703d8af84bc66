#include "forms/filter.h"

namespace forms {

std::vector<std::pair<std::wstring, std::wstring>> ParseFilter(const std::wstring& filter) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    if (!filter.empty()) {
        for (;;) {
            size_t bar = filter.find(L'|', start);
            parts.push_back(filter.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
            if (bar == std::wstring::npos) break;
            start = bar + 1;
        }
    }
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (size_t i = 0; i < parts.size(); i += 2)
        pairs.emplace_back(parts[i], i + 1 < parts.size() ? parts[i + 1] : L"*.*");
    return pairs;
}

std::wstring FilterToSystem(const std::wstring& filter) {
    std::wstring out;
    for (auto& [desc, patterns] : ParseFilter(filter)) {
        out += desc;
        out.push_back(L'\0');
        out += patterns;
        out.push_back(L'\0');
    }
    out.push_back(L'\0');
    if (out.size() == 1) out.push_back(L'\0');
    return out;
}

}  // namespace forms
