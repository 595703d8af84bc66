#include <gtest/gtest.h>

#include "app/startup_rules.h"

using namespace tamsel;

TEST(StartupRules, CommandTailIsTheRawTextAfterTheProgramName) {
    EXPECT_EQ(CommandTail(L"Tamsel2.exe"), L"");
    EXPECT_EQ(CommandTail(L"Tamsel2.exe   "), L"");
    EXPECT_EQ(CommandTail(L"C:\\p\\Tamsel2.exe C:\\a b.jpg"), L"C:\\a b.jpg");
    EXPECT_EQ(CommandTail(L"\"C:\\Program Files\\Tamsel2.exe\" \"C:\\a b.jpg\""), L"\"C:\\a b.jpg\"");
    EXPECT_EQ(CommandTail(L"\"C:\\Program Files\\Tamsel2.exe\"x.bmp"), L"x.bmp");
    EXPECT_EQ(CommandTail(L"Tamsel2.exe \t two  blanks  kept "), L"two  blanks  kept ");
    EXPECT_EQ(CommandTail(L"\"unterminated quote"), L"");
    EXPECT_EQ(CommandTail(L""), L"");
}

TEST(StartupRules, OnlyOnePathInOnePairOfQuotesIsTakenOutOfItsQuotes) {
    const struct { const wchar_t* line; const wchar_t* path; } cases[] = {
        {L"\"C:\\a b.jpg\"", L"C:\\a b.jpg"},
        {L"\"C:\\a b.jpg\"  \t", L"C:\\a b.jpg"},   // blanks after it, as scripts leave them
        {L"\"x\"", L"x"},
        {L"C:\\a b.jpg", L""},                  // unquoted: the text as it is, elsewhere
        {L"\"C:\\a.jpg\" \"C:\\b.jpg\"", L""},   // two paths
        {L"\"C:\\a.jpg\" ?clipboard", L""},
        {L"\"C:\\a.jpg", L""},                  // unterminated
        {L"\"\"", L""},
        {L"\"", L""},
        {L" \"C:\\a.jpg\"", L""},              // the tail never starts with a blank
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(QuotedPath(c.line), c.path) << c.line;
}

TEST(StartupRules, ClipboardSwitchIsFoundAnywhereAndCaseSensitively) {
    EXPECT_TRUE(AsksForClipboard(L"?clipboard"));
    EXPECT_TRUE(AsksForClipboard(L"C:\\x.jpg ?clipboard"));
    EXPECT_FALSE(AsksForClipboard(L"?Clipboard"));
    EXPECT_FALSE(AsksForClipboard(L"clipboard"));
}

TEST(StartupRules, FirstWindowFollowsTheDecisionTableAndFallsBackToTheFramedWindow) {
    EXPECT_EQ(FirstWindowFor(-1, 0), FirstWindow::Framed);
    EXPECT_EQ(FirstWindowFor(-1, 1), FirstWindow::Borderless);
    EXPECT_EQ(FirstWindowFor(0, 0), FirstWindow::Framed);
    EXPECT_EQ(FirstWindowFor(0, 1), FirstWindow::Framed);
    EXPECT_EQ(FirstWindowFor(1, 0), FirstWindow::Borderless);
    EXPECT_EQ(FirstWindowFor(1, 1), FirstWindow::Borderless);
    EXPECT_EQ(FirstWindowFor(7, 1), FirstWindow::Framed);
    EXPECT_EQ(FirstWindowFor(-1, 5), FirstWindow::Framed);
    EXPECT_EQ(FirstWindowFor(-2, 1), FirstWindow::Framed);
}
