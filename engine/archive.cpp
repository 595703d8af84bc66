#include "engine/archive.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

namespace tamsel {

namespace {

std::wstring Widen(const std::string& s, UINT codePage) {
    if (s.empty()) return L"";
    const int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return L"";
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::wstring Backslashed(std::wstring s) {
    std::replace(s.begin(), s.end(), L'/', L'\\');
    return s;
}

// Reads of one file, by position; the handle lives as long as this does.
class FileReader {
public:
    explicit FileReader(const std::wstring& path)
        : h_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
        LARGE_INTEGER size{};
        if (h_ != INVALID_HANDLE_VALUE && GetFileSizeEx(h_, &size)) size_ = static_cast<uint64_t>(size.QuadPart);
    }
    ~FileReader() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE; }
    uint64_t Size() const { return size_; }
    ReadAt Reader() {
        return [this](uint64_t offset, void* out, size_t n) {
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(offset);
            if (offset > size_ || n > size_ - offset || !SetFilePointerEx(h_, at, nullptr, FILE_BEGIN)) return false;
            auto* p = static_cast<uint8_t*>(out);
            while (n > 0) {
                const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
                DWORD got = 0;
                if (!ReadFile(h_, p, want, &got, nullptr) || got != want) return false;
                p += got, n -= got;
            }
            return true;
        };
    }

private:
    HANDLE h_;
    uint64_t size_ = 0;
};

// Removes a folder and what is in it; links are removed, never followed.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = folder + L"\\" + name;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(full);
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(full.c_str());
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

constexpr wchar_t kLockName[] = L"\\in-use";

struct {
    std::wstring folder;
    HANDLE lock = INVALID_HANDLE_VALUE;
} gTemp;

}  // namespace

bool FileLooksLikeArchive(const std::wstring& path) {
    FileReader f(path);
    uint8_t head[512] = {};
    const size_t n = static_cast<size_t>(std::min<uint64_t>(f.Size(), sizeof head));
    if (!f.Ok() || n < 8 || !f.Reader()(0, head, n)) return false;
    auto at = [&](size_t offset, const char* magic, size_t len) {
        return offset + len <= n && std::memcmp(head + offset, magic, len) == 0;
    };
    return LooksLikeZip(head, n) || at(0, "Rar!\x1A\x07", 6) || at(0, "7z\xBC\xAF\x27\x1C", 6) ||
           at(0, "MSCF\0\0\0\0", 8) || at(257, "ustar", 5) ||
           (at(2, "-l", 2) && n > 6 && head[6] == '-');  // LZH: "-lh5-" and its kin
}

std::optional<ArchivePictures> ListArchivePictures(const std::wstring& path, SusiePluginHost& plugins,
                                                   const std::vector<std::wstring>& patterns, const NameOrder& order) {
    ArchivePictures a;
    a.path = path;
    std::vector<std::wstring> all;
    std::vector<std::wstring> listed;
    std::vector<ZipEntry> zip;
    if (SUCCEEDED(plugins.ListArchive(path, listed))) {
        for (const std::wstring& name : listed) all.push_back(Backslashed(name));
    } else {
        FileReader f(path);
        if (!f.Ok() || !ReadZipDirectory(f.Reader(), f.Size(), zip)) return std::nullopt;
        a.builtIn = true;
        for (const ZipEntry& e : zip) all.push_back(e.folder ? L"" : Backslashed(Widen(e.name, e.utf8 ? CP_UTF8 : 932)));
    }
    std::vector<size_t> keep;
    for (size_t i = 0; i < all.size(); ++i)
        if (!all[i].empty() && SafeArchivePath(all[i]) && MatchesAnyPattern(all[i], patterns)) keep.push_back(i);
    std::stable_sort(keep.begin(), keep.end(), [&](size_t x, size_t y) { return order(all[x], all[y]) < 0; });
    for (size_t i : keep) {
        a.names.push_back(all[i]);
        if (a.builtIn) a.zip.push_back(zip[i]);
        else a.listed.push_back(listed[i]);
    }
    return a;
}

bool ArchiveEntryBytes(const ArchivePictures& a, size_t i, SusiePluginHost& plugins, std::vector<uint8_t>& out) {
    out.clear();
    if (i >= a.names.size()) return false;
    if (a.builtIn) {
        FileReader f(a.path);
        return f.Ok() && ReadZipEntry(f.Reader(), f.Size(), a.zip[i], out) == ZipRead::Ok;
    }
    const std::wstring folder = OwnTempFolder();
    std::wstring copy;
    if (folder.empty() || FAILED(plugins.ExtractArchiveEntry(a.path, a.listed[i], folder, copy))) return false;
    // Only a copy in our folder is ever read (and removed).
    if (copy.size() <= folder.size() + 1 || copy.compare(0, folder.size() + 1, folder + L"\\") != 0 ||
        copy.find(L"\\..", folder.size()) != std::wstring::npos)
        return false;
    bool ok = false;
    {
        FileReader f(copy);
        if (f.Ok() && f.Size() > 0 && f.Size() <= kZipLargestEntry) {
            try {
                out.resize(static_cast<size_t>(f.Size()));
                ok = f.Reader()(0, out.data(), out.size());
            } catch (const std::bad_alloc&) {
                ok = false;
            }
        }
    }
    DeleteFileW(copy.c_str());
    if (!ok) std::vector<uint8_t>().swap(out);
    return ok;
}

std::wstring WriteEntryCopy(const std::vector<uint8_t>& bytes, const std::wstring& name) {
    const std::wstring folder = OwnTempFolder();
    if (folder.empty() || bytes.size() > 0xFFFFFFFF) return L"";
    std::wstring extension;
    const size_t dot = name.find_last_of(L".\\");
    if (dot != std::wstring::npos && name[dot] == L'.' && name.size() - dot <= 16) extension = name.substr(dot);
    if (!std::all_of(extension.begin() + (extension.empty() ? 0 : 1), extension.end(), [](wchar_t c) {
            return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
        }))
        extension.clear();
    const std::wstring copy = folder + L"\\entry" + extension;
    HANDLE f = CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return L"";
    DWORD wrote = 0;
    const bool written =
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) && wrote == bytes.size();
    CloseHandle(f);
    if (written) return copy;
    DeleteFileW(copy.c_str());
    return L"";
}

std::wstring TempFoldersRoot() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return L"";
    std::wstring root(temp, n);
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    return root + L"Tamsel2";
}

std::wstring OwnTempFolder() {
    if (gTemp.lock != INVALID_HANDLE_VALUE) return gTemp.folder;
    const std::wstring root = TempFoldersRoot();
    if (root.empty()) return L"";
    CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring folder = root + L"\\run-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    // Open without sharing and deleted on close: a folder whose lock can be
    // deleted, or is gone, belongs to no running program.
    HANDLE lock = CreateFileW((folder + kLockName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE) return L"";
    gTemp.folder = folder;
    gTemp.lock = lock;
    return folder;
}

void RemoveOwnTempFolder() {
    if (gTemp.lock == INVALID_HANDLE_VALUE) return;
    CloseHandle(gTemp.lock);
    gTemp.lock = INVALID_HANDLE_VALUE;
    RemoveTree(gTemp.folder);
    RemoveDirectoryW(TempFoldersRoot().c_str());  // when no other run uses it
    gTemp.folder.clear();
}

void SweepTempLeftovers() {
    const std::wstring root = TempFoldersRoot();
    if (root.empty()) return;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((root + L"\\run-*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::wstring folder = root + L"\\" + fd.cFileName;
        if (folder == gTemp.folder) continue;
        if (DeleteFileW((folder + kLockName).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) RemoveTree(folder);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    RemoveDirectoryW(root.c_str());
}

}  // namespace tamsel
