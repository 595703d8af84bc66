#include <gtest/gtest.h>

#include <cwctype>

#include "engine/folder_steps.h"
#include "engine/open_filter.h"
#include "windows/scroll_area.h"

using namespace tamsel;

namespace {

// Case-blind, digit runs by value: enough of the shell's order for these names.
int NaturalOrder(const std::wstring& a, const std::wstring& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (iswdigit(a[i]) && iswdigit(b[j])) {
            unsigned long x = 0, y = 0;
            while (i < a.size() && iswdigit(a[i])) x = x * 10 + (a[i++] - L'0');
            while (j < b.size() && iswdigit(b[j])) y = y * 10 + (b[j++] - L'0');
            if (x != y) return x < y ? -1 : 1;
            continue;
        }
        const wint_t p = towlower(a[i++]), q = towlower(b[j++]);
        if (p != q) return p < q ? -1 : 1;
    }
    return (i < a.size()) - (j < b.size());
}

using Names = std::vector<std::wstring>;

}  // namespace

TEST(FolderSteps, PatternsMatchAsTheFileSystemsWildcardsDo) {
    EXPECT_EQ(SplitPatterns(L"*.bmp;;*.jpg; *.gif ;"), (Names{L"*.bmp", L"*.jpg", L"*.gif"}));
    EXPECT_TRUE(MatchesPattern(L"Photo.JPG", L"*.jpg"));
    EXPECT_TRUE(MatchesPattern(L"a.b.jpg", L"*.jpg"));
    EXPECT_FALSE(MatchesPattern(L"a.jpg.txt", L"*.jpg"));
    EXPECT_FALSE(MatchesPattern(L"a.jpeg", L"*.jpg"));
    EXPECT_TRUE(MatchesPattern(L"img01.pi", L"img??.*"));
    EXPECT_FALSE(MatchesPattern(L"img1.pi", L"img??.*"));
    EXPECT_TRUE(MatchesPattern(L"x", L"*"));
    EXPECT_TRUE(MatchesPattern(L"aaa.aab", L"*a*ab"));
    EXPECT_FALSE(MatchesPattern(L"写真.png", L"*.jpg"));
    EXPECT_TRUE(MatchesPattern(L"写真.PNG", L"*.png"));
}

TEST(FolderSteps, AStepTriesTheNamesBeyondTheCurrentOneInTheFoldersOrder) {
    const Names folder{L"b10.jpg", L"notes.txt", L"B2.jpg", L"a.gif", L"c.bmp", L"b2.jpg"};
    const Names sorted = PictureNames(folder, SplitPatterns(L"*.jpg;*.gif;*.bmp"), NaturalOrder);
    // Names the order calls equal keep one fixed order.
    EXPECT_EQ(sorted, (Names{L"a.gif", L"B2.jpg", L"b2.jpg", L"b10.jpg", L"c.bmp"}));

    EXPECT_EQ(StepCandidates(sorted, L"b2.jpg", Step::Next, NaturalOrder), (Names{L"b10.jpg", L"c.bmp"}));
    EXPECT_EQ(StepCandidates(sorted, L"b2.jpg", Step::Previous, NaturalOrder), (Names{L"B2.jpg", L"a.gif"}));
    EXPECT_EQ(StepCandidates(sorted, L"b2.jpg", Step::First, NaturalOrder), (Names{L"a.gif", L"B2.jpg"}));
    EXPECT_EQ(StepCandidates(sorted, L"b2.jpg", Step::Last, NaturalOrder), (Names{L"c.bmp", L"b10.jpg"}));
    // At either end nothing is left to try, and First and Last never offer the current picture.
    EXPECT_TRUE(StepCandidates(sorted, L"c.bmp", Step::Next, NaturalOrder).empty());
    EXPECT_TRUE(StepCandidates(sorted, L"c.bmp", Step::Last, NaturalOrder).empty());
    EXPECT_TRUE(StepCandidates(sorted, L"a.gif", Step::Previous, NaturalOrder).empty());
    EXPECT_TRUE(StepCandidates(sorted, L"a.gif", Step::First, NaturalOrder).empty());
    // A current file that is gone (or not named as a picture) steps from its place.
    EXPECT_EQ(StepCandidates(sorted, L"b5.jpg", Step::Next, NaturalOrder), (Names{L"b10.jpg", L"c.bmp"}));
    EXPECT_EQ(StepCandidates(sorted, L"b5.jpg", Step::Previous, NaturalOrder), (Names{L"b2.jpg", L"B2.jpg", L"a.gif"}));
    EXPECT_EQ(StepCandidates({}, L"a.gif", Step::First, NaturalOrder), Names{});
    // The current file named in another case (a command line's spelling) is
    // still the current file, never a step to itself.
    const Names plain{L"a.gif", L"b2.jpg", L"b10.jpg", L"c.bmp"};
    const struct { std::wstring current; Step step; Names tries; } spelled[] = {
        {L"B2.JPG", Step::Next, {L"b10.jpg", L"c.bmp"}},
        {L"B2.JPG", Step::Previous, {L"a.gif"}},
        {L"A.GIF", Step::First, {}},
        {L"C.Bmp", Step::Last, {}},
        {L"C.Bmp", Step::Previous, {L"b10.jpg", L"b2.jpg", L"a.gif"}},
    };
    for (const auto& s : spelled) EXPECT_EQ(StepCandidates(plain, s.current, s.step, NaturalOrder), s.tries) << s.current;
    // The caller's rule for the same name decides (the file system's own, beyond ASCII).
    const auto sameAsC = [](const std::wstring& a, const std::wstring&) { return a == L"c.bmp"; };
    EXPECT_EQ(StepCandidates(plain, L"whatever", Step::Previous, NaturalOrder, sameAsC), (Names{L"b10.jpg", L"b2.jpg", L"a.gif"}));
}

TEST(OpenFilter, TheImagingComponentsExtensionsFollowOnceEachAndOnlyWhenUsable) {
    EXPECT_EQ(AllPicturePatterns(L"*.bmp;", {}), L"*.bmp;;*.jpg;*.jpeg;*.gif");
    EXPECT_EQ(AllPicturePatterns(L"*.bmp;*.PNG",
                                 {L".png", L".TIF", L".tif", L".jpg", L".Tiff", L"png", L".", L".a;b", L".x|y",
                                  L".*", L".ab cd", L".jxr"}),
              L"*.bmp;*.PNG;*.jpg;*.jpeg;*.gif;*.tif;*.tiff;*.jxr");
    EXPECT_EQ(BuildOpenFilter(L"*.bmp;", {L".tif"}, L"*.lzh;*.ZIP"),
              L"全てのファイル (*.*)|*.*|全ての画像ファイル|*.bmp;;*.jpg;*.jpeg;*.gif;*.tif;*.lzh;*.ZIP|ビットマップファイル (*.BMP)|*.bmp"
              L"|JPEGファイル (*.JPG, *.JPEG)|*.jpg;*.jpeg|書庫ファイル|*.lzh;*.ZIP");
    // The archive plug-ins' patterns, then ZIP's unless listed; nothing that would break the filter text.
    const std::pair<const wchar_t*, const wchar_t*> archives[] = {
        {L"", L"*.zip"}, {L"*.lzh;", L"*.lzh;*.zip"}, {L"*.rar;;*.7z;*.Zip", L"*.rar;*.7z;*.Zip"}, {L"*.a|b;*.cab", L"*.cab;*.zip"}};
    for (const auto& [given, patterns] : archives) EXPECT_EQ(ArchivePatternsOf(given), patterns) << given;
    // The platform loader's own formats, by the name's last extension only.
    const std::pair<const wchar_t*, bool> platform[] = {
        {L"C:\\a\\p.JPG", true}, {L"p.jpeg", true}, {L"p.gif", true}, {L"p.Bmp", true}, {L"p.jpg.ppm", false},
        {L"p.tif", false},           {L"jpg", false},   {L"C:\\x.jpg\\p", false}, {L"p.", false}};
    for (const auto& [name, reads] : platform) EXPECT_EQ(PlatformReads(name), reads) << name;
}

// Steps through a list in order (an archive's pictures): the same rules as a
// folder's, with the ends empty.
TEST(FolderSteps, StepsByPositionFollowTheFolderRules) {
    using Positions = std::vector<size_t>;
    const std::tuple<size_t, size_t, Step, Positions> cases[] = {
        {5, 2, Step::Next, {3, 4}},  {5, 2, Step::Previous, {1, 0}}, {5, 2, Step::First, {0, 1}},
        {5, 2, Step::Last, {4, 3}},  {5, 4, Step::Next, {}},         {5, 0, Step::Previous, {}},
        {5, 0, Step::First, {}},     {5, 4, Step::Last, {}},         {1, 0, Step::Next, {}},
        {0, 0, Step::Next, {}},      {3, 7, Step::First, {}},
    };
    for (const auto& [count, current, step, expected] : cases)
        EXPECT_EQ(StepIndices(count, current, step), expected) << count << " " << current << " " << static_cast<int>(step);
}

TEST(OpenFilter, OpenWithTakesThePlainExtensionsOnceEach) {
    EXPECT_EQ(PictureTypes(L"*.bmp;*.JPG;;*.jpg;*.p?m;x.gif;*.;*.ppm", {L".TIF", L".ppm", L"bad", L".j;k"}),
              (std::vector<std::wstring>{L".bmp", L".jpg", L".ppm", L".tif"}));
    EXPECT_TRUE(PictureTypes(L"", {}).empty());
}

TEST(Wheel, PartsOfANotchAddUpAndATurnBackDropsThem) {
    int32_t pending = 0;
    EXPECT_EQ(WheelNotches(pending, -120), -1);
    EXPECT_EQ(WheelNotches(pending, 40), 0);
    EXPECT_EQ(WheelNotches(pending, 40), 0);
    EXPECT_EQ(WheelNotches(pending, 50), 1);
    EXPECT_EQ(pending, 10);
    EXPECT_EQ(WheelNotches(pending, -100), 0);  // the other way: the 10 are forgotten
    EXPECT_EQ(WheelNotches(pending, -20), -1);
    EXPECT_EQ(WheelNotches(pending, 360), 3);
    EXPECT_EQ(WheelNotches(pending, -32768), -273);
    EXPECT_EQ(pending, -8);

    EXPECT_EQ(WheelValue(100, 1, 30, 0, 500), 70);
    EXPECT_EQ(WheelValue(100, -2, 30, 0, 500), 160);
    EXPECT_EQ(WheelValue(20, 1, 30, 0, 500), 0);
    EXPECT_EQ(WheelValue(490, -1, 30, 0, 500), 500);
    EXPECT_EQ(WheelValue(0, -1000000, 32767, 0, 32767), 32767);  // no overflow on the way
}
