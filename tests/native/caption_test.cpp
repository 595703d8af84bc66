#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/caption.h"

using namespace tamsel;

namespace {

// Paths are looked up case-insensitively and by short alias, as on a real volume.
class FakeFileSystem : public FileSystem {
public:
    std::set<std::wstring> files;                      // canonical full paths
    std::map<std::wstring, std::wstring> dirEntries;   // lower-cased query -> stored name
    std::set<std::wstring> failing;                    // Dir queries that fail
    std::wstring currentFolder = L"C:\\work";

    static std::wstring Lower(std::wstring s) {
        for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
        return s;
    }
    static bool Absolute(const std::wstring& p) { return (p.size() > 1 && p[1] == L':') || p.rfind(L"\\\\", 0) == 0; }
    std::wstring Resolve(const std::wstring& p) {
        std::wstring full = Absolute(p) ? p : currentFolder + L"\\" + p;
        // Expand components through the directory table.
        std::wstring out = full.substr(0, 2);
        size_t pos = 2;
        if (pos >= full.size() || full[pos] != L'\\') return Lower(full);
        while (pos < full.size() && full[pos] == L'\\') {
            size_t next = full.find(L'\\', pos + 1);
            auto it = dirEntries.find(Lower(full.substr(0, next)));
            if (it == dirEntries.end()) return Lower(full);
            out += L"\\" + it->second;
            if (next == std::wstring::npos) break;
            pos = next;
        }
        return Lower(out);
    }
    bool FileExists(const std::wstring& p) override {
        if (p.empty()) return false;
        for (auto& f : files)
            if (Lower(f) == Resolve(p)) return true;
        return false;
    }
    std::optional<std::wstring> GetFilePath(const std::wstring& p) override {
        if (!FileExists(p)) return std::nullopt;
        return Absolute(p) ? p : currentFolder + L"\\" + p;
    }
    std::optional<std::wstring> Dir(const std::wstring& pattern) override {
        if (failing.count(pattern)) return std::nullopt;
        auto it = dirEntries.find(Lower(pattern));
        return it == dirEntries.end() ? L"" : it->second;
    }
};

FakeFileSystem PhotoVolume() {
    FakeFileSystem fs;
    fs.files.insert(L"C:\\Documents\\Photo.jpg");
    fs.files.insert(L"C:\\a.bmp");
    fs.dirEntries[L"c:\\docume~1"] = L"Documents";
    fs.dirEntries[L"c:\\documents"] = L"Documents";
    fs.dirEntries[L"c:\\docume~1\\photo.jpg"] = L"Photo.jpg";
    fs.dirEntries[L"c:\\documents\\photo.jpg"] = L"Photo.jpg";
    fs.dirEntries[L"c:\\a.bmp"] = L"a.bmp";
    return fs;
}

}  // namespace

TEST(FileTitle, LongStoredNamesReplaceShortAndDifferentlyCasedComponentsButTheDriveStaysAsWritten) {
    auto fs = PhotoVolume();
    EXPECT_EQ(FileTitleOf(fs, L"c:\\docume~1\\photo.JPG"), L"c:\\Documents\\Photo.jpg");
    EXPECT_EQ(FileTitleOf(fs, L"C:\\a.bmp"), L"C:\\a.bmp");
    EXPECT_EQ(FileTitleOf(fs, L"C:\\missing.bmp"), L"");
    EXPECT_EQ(FileTitleOf(fs, L""), L"");
}

TEST(FileTitle, AFailingOrEmptyLookupGivesTheEmptyText) {
    auto fs = PhotoVolume();
    fs.files.insert(L"\\\\server\\share\\x.jpg");
    fs.failing.insert(L"\\\\server");
    fs.failing.insert(L"\\\\server\\share");
    EXPECT_EQ(FileTitleOf(fs, L"\\\\server\\share\\x.jpg"), L"");
    fs.dirEntries.erase(L"c:\\documents\\photo.jpg");
    EXPECT_EQ(FileTitleOf(fs, L"C:\\Documents\\Photo.jpg"), L"");
}

TEST(Caption, NamesThePictureAndAppendsTheViewSizeWhenScaled) {
    auto fs = PhotoVolume();
    EXPECT_EQ(MakeCaption(fs, L"", 100), L"Tamsel2");
    EXPECT_EQ(MakeCaption(fs, L"", 50), L"Tamsel2 (50%)");
    EXPECT_EQ(MakeCaption(fs, L"ClipboardPicture", 100), L"未保存の画像 - Tamsel2");
    EXPECT_EQ(MakeCaption(fs, L"clipboardpicture", 100), L"clipboardpicture - Tamsel2");
    fs.files.insert(L"C:\\work\\clipboardpicture");
    fs.dirEntries[L"c:\\work"] = L"work";
    fs.dirEntries[L"c:\\work\\clipboardpicture"] = L"clipboardpicture";
    EXPECT_EQ(MakeCaption(fs, L"clipboardpicture", 100), L"clipboardpicture - Tamsel2");
    EXPECT_EQ(MakeCaption(fs, L"c:\\docume~1\\photo.JPG", 150), L"Photo.jpg - Tamsel2 (150%)");
    EXPECT_EQ(MakeCaption(fs, L"C:\\a.bmp", 1000), L"a.bmp - Tamsel2 (1000%)");
    // An archive entry: its own name without the folders inside the archive, then the archive's.
    EXPECT_EQ(ArchiveCaption(L"vol1\\007.jpg", L"C:\\books\\Comic.zip", 50), L"007.jpg [Comic.zip] - Tamsel2 (50%)");
    EXPECT_EQ(ArchiveCaption(L"a.png", L"D:\\a.lzh", 100), L"a.png [a.lzh] - Tamsel2");
}

TEST(Caption, AFileGoneSinceLoadingIsStillNamedByItsLastComponent) {
    auto fs = PhotoVolume();
    EXPECT_EQ(MakeCaption(fs, L"C:\\gone\\夕焼け.jpg", 100), L"夕焼け.jpg - Tamsel2");
    EXPECT_EQ(MakeCaption(fs, L"C:\\gone\\夕焼け.jpg", 75), L"夕焼け.jpg - Tamsel2 (75%)");
}

TEST(Caption, AnUnresolvableExistingFileLeavesOnlyTheSeparator) {
    auto fs = PhotoVolume();
    fs.files.insert(L"\\\\server\\share\\x.jpg");
    fs.failing.insert(L"\\\\server");
    EXPECT_EQ(MakeCaption(fs, L"\\\\server\\share\\x.jpg", 100), L" - Tamsel2");
    EXPECT_EQ(MakeCaption(fs, L"\\\\server\\share\\x.jpg", 200), L" - Tamsel2 (200%)");
}

TEST(FileName, IsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(GetFileName(L"C:\\a\\b.jpg"), L"b.jpg");
    EXPECT_EQ(GetFileName(L"b.jpg"), L"b.jpg");
    EXPECT_EQ(GetFileName(L"C:\\a\\"), L"");
    EXPECT_EQ(GetFileName(L""), L"");
}
