#pragma once
// The open dialog's filter text and the "Load ..." progress caption.
#include <cstdint>
#include <string>
#include <vector>

namespace tamsel {

// The "all pictures" entry's patterns: the plug-ins' list as it comes, the
// platform loader's formats, then every decoder extension (".png") of the
// imaging component that is not listed yet.
std::wstring AllPicturePatterns(const std::wstring& allPicturesFilter, const std::vector<std::wstring>& extensions = {});

// The picture types (".jpg"), lower case and each once, of a pattern list's
// plain "*.ext" entries, then of the extensions given; for "Open with".
std::vector<std::wstring> PictureTypes(const std::wstring& patterns, const std::vector<std::wstring>& extensions);

// Whether a file of this name is of the platform loader's own formats
// (BMP, JPEG, GIF), which it is asked for first.
bool PlatformReads(const std::wstring& name);

// The archives' patterns: the archive plug-ins' list, then "*.zip" unless listed.
std::wstring ArchivePatternsOf(const std::wstring& allArchivesFilter);
// "All pictures" offers the archives too; "書庫ファイル" comes last, so that the
// entries before keep their places.
std::wstring BuildOpenFilter(const std::wstring& allPicturesFilter, const std::vector<std::wstring>& extensions = {},
                             const std::wstring& allArchivesFilter = L"");

// "Load ...42%"; with no usable maximum (0 or negative, or an overflowing
// product) just "Load ...".
std::wstring LoadProgressCaption(int32_t value, int32_t max);

}  // namespace tamsel
