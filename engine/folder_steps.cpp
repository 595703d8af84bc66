#include "engine/folder_steps.h"

#include <algorithm>

namespace tamsel {

namespace {

wchar_t Fold(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Total: the shell's order, then the exact text, so sorting never meets two "equal" names.
int Compare(const NameOrder& order, const std::wstring& a, const std::wstring& b) {
    const int c = order(a, b);
    if (c != 0) return c;
    return a.compare(b);
}

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return Fold(x) == Fold(y); });
}

}  // namespace

std::vector<std::wstring> SplitPatterns(const std::wstring& list) {
    std::vector<std::wstring> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos) end = list.size();
        std::wstring p = list.substr(start, end - start);
        p.erase(0, p.find_first_not_of(L' '));
        p.erase(p.find_last_not_of(L' ') + 1);
        if (!p.empty()) out.push_back(p);
        start = end + 1;
    }
    return out;
}

bool MatchesPattern(const std::wstring& name, const std::wstring& pattern) {
    // Iterative glob with one back-tracking point: linear enough for file names.
    size_t n = 0, p = 0, starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

bool MatchesAnyPattern(const std::wstring& name, const std::vector<std::wstring>& patterns) {
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::wstring& p) { return MatchesPattern(name, p); });
}

std::vector<std::wstring> PictureNames(std::vector<std::wstring> names, const std::vector<std::wstring>& patterns,
                                       const NameOrder& order) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::wstring& n) { return !MatchesAnyPattern(n, patterns); }),
                names.end());
    std::stable_sort(names.begin(), names.end(),
                     [&](const std::wstring& a, const std::wstring& b) { return Compare(order, a, b) < 0; });
    return names;
}

std::vector<std::wstring> StepCandidates(const std::vector<std::wstring>& sorted, const std::wstring& current,
                                         Step step, const NameOrder& order, const SameFileName& sameFile) {
    // The current file as the folder lists it, when it is there under another
    // spelling: its place is the one that counts (a folder whose names keep
    // case apart may list both spellings; the exact one is then the current).
    std::wstring here = current;
    if (std::find(sorted.begin(), sorted.end(), current) == sorted.end()) {
        auto same = std::find_if(sorted.begin(), sorted.end(), [&](const std::wstring& name) {
            return sameFile ? sameFile(name, current) : SameIgnoringAsciiCase(name, current);
        });
        if (same != sorted.end()) here = *same;
    }
    std::vector<std::wstring> out;
    for (const std::wstring& name : sorted) {
        const int c = Compare(order, name, here);
        switch (step) {
        case Step::Next:
            if (c > 0) out.push_back(name);
            break;
        case Step::Previous:
            if (c < 0) out.push_back(name);
            break;
        case Step::First:
        case Step::Last:
            if (c != 0) out.push_back(name);
            break;
        }
    }
    if (step == Step::First || step == Step::Last) {
        // Up to the current file, from the folder's own end.
        auto before = std::find_if(out.begin(), out.end(),
                                   [&](const std::wstring& n) { return Compare(order, n, here) > 0; });
        if (step == Step::First) {
            out.erase(before, out.end());
        } else {
            out.erase(out.begin(), before);
        }
    }
    if (step == Step::Previous || step == Step::Last) std::reverse(out.begin(), out.end());
    return out;
}

std::vector<size_t> StepIndices(size_t count, size_t current, Step step) {
    std::vector<size_t> out;
    if (current >= count) return out;
    switch (step) {
    case Step::Next:
        for (size_t i = current + 1; i < count; ++i) out.push_back(i);
        break;
    case Step::Previous:
        for (size_t i = current; i-- > 0;) out.push_back(i);
        break;
    case Step::First:
        for (size_t i = 0; i < current; ++i) out.push_back(i);
        break;
    case Step::Last:
        for (size_t i = count; i-- > current + 1;) out.push_back(i);
        break;
    }
    return out;
}

}  // namespace tamsel
