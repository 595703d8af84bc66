// The application manifest as the system reads it from each program we ship,
// of this build and, where it was built beside it, of the other one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mdlTamsel.h"
#include "test_support.h"

using namespace tamsel;

namespace {

// The manifest resource (1, RT_MANIFEST) of a program file; nullopt when it has none.
std::optional<std::string> ManifestOf(const std::wstring& path) {
    HMODULE m = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!m) return std::nullopt;
    std::optional<std::string> text;
    if (HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))
        if (HGLOBAL g = LoadResource(m, r))
            text = std::string(static_cast<const char*>(LockResource(g)), SizeofResource(m, r));
    FreeLibrary(m);
    return text;
}

// The text between <tag ...> and </tag>, or nullopt.
std::optional<std::string> Element(const std::string& xml, const std::string& tag) {
    const size_t open = xml.find("<" + tag + " ");
    if (open == std::string::npos) return std::nullopt;
    const size_t start = xml.find('>', open);
    const size_t end = xml.find("</" + tag + ">", start);
    if (start == std::string::npos || end == std::string::npos) return std::nullopt;
    return xml.substr(start + 1, end - start - 1);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(Manifest, EveryShippedProgramOfBothBuildsCarriesIt) {
    const std::wstring here = ProgramFolder();
    // bin/ beside <build>/Tamsel2/; the other build's folder is a sibling of this build's.
    const std::wstring root = here + L"\\..\\..";
    std::vector<std::wstring> programs;
    // Each build's own programs (a host of the other bitness beside them is a copy).
    for (const auto& [build, host] : {std::pair{L"win64", L"QuillmountHost64.exe"}, {L"win32", L"QuillmountHost32.exe"}}) {
        const std::wstring folder = root + L"\\" + build + L"\\Tamsel2\\";
        programs.push_back(folder + L"Tamsel2.exe");
        programs.push_back(folder + host);
    }
    for (const std::wstring& program : programs) {
        SCOPED_TRACE(testing::Message() << program);
        ASSERT_TRUE(Exists(program)) << "both builds are made before the tests run";
        const auto xml = ManifestOf(program);
        ASSERT_TRUE(xml.has_value());
        // Per-monitor v2 where known, else the system's DPI; never the bitmap stretching of unaware programs.
        EXPECT_EQ(Element(*xml, "dpiAwareness"), "PerMonitorV2, System");
        EXPECT_EQ(Element(*xml, "dpiAware"), "true");
        EXPECT_EQ(Element(*xml, "longPathAware"), "true");
        EXPECT_NE(xml->find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
        for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                               "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
            EXPECT_NE(xml->find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos) << os;
        EXPECT_NE(xml->find("level=\"asInvoker\""), std::string::npos);
        // The user's code page stays: plug-ins and stored settings rely on it.
        EXPECT_EQ(xml->find("activeCodePage"), std::string::npos);
    }
}
