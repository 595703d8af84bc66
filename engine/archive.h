#pragma once
// Pictures inside archives: an archive's picture entries in the folder's
// order, read by an archive plug-in (through the control) or, when none
// claims the file, by the built-in ZIP reader; and the program's own
// temporary folder, the one place an entry ever reaches the disk.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/folder_steps.h"
#include "engine/susie_plugin.h"
#include "engine/zip_directory.h"

namespace tamsel {

struct ArchivePictures {
    std::wstring path;                 // the archive on disk
    bool builtIn = false;              // the ZIP reader; otherwise the plug-in that listed it
    std::vector<std::wstring> names;   // picture entries, "\" between folders, in the folder's order
    std::vector<std::wstring> listed;  // plug-in: each name as the plug-in listed it
    std::vector<ZipEntry> zip;         // built-in: each name's directory record
    size_t shown = SIZE_MAX;           // the entry shown, when one is

    // What CurrentFileName holds while an entry is shown: the archive's path
    // and the entry's, as if the archive were a folder.
    std::wstring NameOf(size_t i) const { return path + L"\\" + names[i]; }
};

// The archive's picture entries (names matching `patterns`, folders and
// entries with unusable names left out), in `order` by their full path; none
// when neither an archive plug-in (`pluginListed`: the load just made asked
// them) nor the ZIP reader lists it. An archive without pictures is listed,
// with no names.
std::optional<ArchivePictures> ListArchivePictures(const std::wstring& path, SusiePluginHost& plugins,
                                                   const std::vector<std::wstring>& patterns, const NameOrder& order);

// An entry's bytes: inflated into memory by the ZIP reader, or extracted by
// its plug-in into the temporary folder, read, and deleted at once.
bool ArchiveEntryBytes(const ArchivePictures& archive, size_t i, SusiePluginHost& plugins, std::vector<uint8_t>& out);

// An entry's bytes as a file in the temporary folder, for a reader that reads
// only files (a plug-in): named "entry" and, when plain, the entry's
// extension, never a path from the archive. Empty when it cannot be written.
std::wstring WriteEntryCopy(const std::vector<uint8_t>& bytes, const std::wstring& name);

// Whether a file's first bytes are an archive's that no picture decoder reads
// (ZIP, RAR, 7z, LZH, TAR, CAB): such a file goes to the plug-ins and the
// archive readers only, never read whole by a decoder first.
bool FileLooksLikeArchive(const std::wstring& path);

// The program's own folder under the user's temporary folder, made on first
// use and held (a lock file open while the program runs); empty when it
// cannot be made. Removed, with what is in it, by RemoveOwnTempFolder; the
// folders of runs that ended without (a crash) by SweepTempLeftovers.
std::wstring OwnTempFolder();
void RemoveOwnTempFolder();
void SweepTempLeftovers();
// Where the program's temporary folders live ("%TEMP%\Tamsel2").
std::wstring TempFoldersRoot();

}  // namespace tamsel
