#pragma once
// Stepping through the pictures of the current file's folder: which names
// count as pictures, their order, and which of them a step tries in turn.
#include <functional>
#include <string>
#include <vector>

namespace tamsel {

enum class Step { Next, Previous, First, Last };

// "*.a;*.b;;*.c" as its patterns, empty ones left out.
std::vector<std::wstring> SplitPatterns(const std::wstring& list);

// The file system's wildcards (* any run, ? one character), ASCII letters
// without regard to case, as the open dialog matches them.
bool MatchesPattern(const std::wstring& name, const std::wstring& pattern);
bool MatchesAnyPattern(const std::wstring& name, const std::vector<std::wstring>& patterns);

// Negative, zero or positive as the shell orders two names.
using NameOrder = std::function<int(const std::wstring&, const std::wstring&)>;

// The names of a folder that are pictures, in the shell's order; names the
// order calls equal keep a fixed order among themselves.
std::vector<std::wstring> PictureNames(std::vector<std::wstring> names, const std::vector<std::wstring>& patterns,
                                       const NameOrder& order);

// What a step from `current` tries, first to last, in `sorted` (PictureNames'
// result): the current file itself never, and nothing beyond it for First and
// Last, so a step at the folder's end finds nothing to try. `current` need no
// longer exist: its place in the order counts. A listed name that `sameFile`
// calls the current one (the file system's names ignore case) is the current
// file, however the current name was spelled; without it, ASCII case is ignored.
using SameFileName = std::function<bool(const std::wstring&, const std::wstring&)>;
std::vector<std::wstring> StepCandidates(const std::vector<std::wstring>& sorted, const std::wstring& current,
                                         Step step, const NameOrder& order, const SameFileName& sameFile = {});

// The same for positions in a list already in order (an archive's pictures,
// where two entries may share a name): what a step from `current` tries.
std::vector<size_t> StepIndices(size_t count, size_t current, Step step);

}  // namespace tamsel
