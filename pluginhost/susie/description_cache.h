#pragma once
// Self-descriptions of plug-in files kept from one run to the next, so that a
// start with an unchanged plug-in folder loads no plug-in at all. An entry
// holds for the file it was read from: the same path, size and time of last
// writing; a plug-in that gave no valid description is never kept, and so
// is asked again. Kept in the user's registry; read through the same bounded
// reader as a host's answers.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "pluginhost/host/host_protocol.h"

namespace quillmount {

struct FileStamp {
    uint64_t size = 0, written = 0;
    bool operator==(const FileStamp&) const = default;
};
// Nothing for a file that cannot be looked at.
std::optional<FileStamp> StampOf(const std::wstring& path);

std::optional<host::Description> CachedDescription(const std::wstring& path, const FileStamp& stamp);
void KeepDescription(const std::wstring& path, const FileStamp& stamp, const host::Description& description);

}  // namespace quillmount
