#pragma once
// The viewer windows' caption: picture name and, when scaled, the view size.
#include <cstdint>
#include <string>

#include "app/file_system.h"

namespace tamsel {

std::wstring MakeCaption(FileSystem& fs, const std::wstring& currentFileName, int16_t currentViewSize);
// An archive entry's caption: "007.jpg [comic.zip] - Tamsel2 (50%)", the
// entry's own name (its folders inside the archive left out) and the archive's.
std::wstring ArchiveCaption(const std::wstring& entryName, const std::wstring& archiveName, int16_t currentViewSize);

// Long form of an existing file's path as the file system spells it; "" when
// the file does not exist or a component cannot be looked up.
std::wstring FileTitleOf(FileSystem& fs, const std::wstring& path);

}  // namespace tamsel
