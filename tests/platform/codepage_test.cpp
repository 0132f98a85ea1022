#include "platform/codepage.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace platform {
namespace {

std::string AllBytes() {
    std::string s(256, '\0');
    for (int i = 0; i < 256; ++i) s[i] = static_cast<char>(i);
    return s;
}

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { SelectCodePages(CodePages::Cp850_1252); }
};

TEST_F(CodePageTest, EveryPairRoundTripsAllBytes) {
    const std::string all = AllBytes();
    for (CodePages pages : {CodePages::Cp850_1252, CodePages::Cp437_1252, CodePages::Cp866_1251}) {
        SCOPED_TRACE(static_cast<int>(pages));
        SelectCodePages(pages);
        EXPECT_EQ(AnsiToOem(OemToAnsi(all)), all);
        EXPECT_EQ(OemToAnsi(AnsiToOem(all)), all);

        // Both tables are permutations that leave ASCII alone.
        std::array<bool, 256> seen_oem{}, seen_ansi{};
        for (int b = 0; b < 256; ++b) {
            seen_ansi[OemToAnsiTable()[b]] = true;
            seen_oem[AnsiToOemTable()[b]] = true;
            if (b < 128) {
                EXPECT_EQ(OemToAnsiTable()[b], b);
                EXPECT_EQ(AnsiToOemTable()[b], b);
            }
        }
        for (int b = 0; b < 256; ++b) {
            EXPECT_TRUE(seen_ansi[b]) << "ANSI byte " << b << " unreachable";
            EXPECT_TRUE(seen_oem[b]) << "OEM byte " << b << " unreachable";
        }
    }
}

TEST_F(CodePageTest, WesternSpotChecks) {
    EXPECT_EQ(OemToAnsi("\x81"), "\xFC");  // u umlaut
    EXPECT_EQ(AnsiToOem("\xFC"), "\x81");
    EXPECT_EQ(OemToAnsi("\xD5"), "\x80");  // euro
    EXPECT_EQ(AnsiToOem("\x80"), "\xD5");
    EXPECT_EQ(OemToAnsi("\x84"), "\xE4");  // a umlaut
    EXPECT_EQ(AnsiToOem("\xE4"), "\x84");
    EXPECT_EQ(OemToAnsi("\xE1"), "\xDF");  // sharp s
    EXPECT_EQ(OemToAnsi("\x82"), "\xE9");  // e acute
    EXPECT_EQ(OemToAnsi("M\x81ller 12,50 \xD5"), "M\xFCller 12,50 \x80");

    SelectCodePages(CodePages::Cp437_1252);
    EXPECT_EQ(OemToAnsi("\x81"), "\xFC");
    EXPECT_EQ(OemToAnsi("\x9A"), "\xDC");  // U umlaut
    EXPECT_EQ(AnsiToOem("\xE4"), "\x84");
}

TEST_F(CodePageTest, CyrillicSpotChecks) {
    SelectCodePages(CodePages::Cp866_1251);
    // A, YA, a, r, ya, YO, yo
    EXPECT_EQ(OemToAnsi("\x80\x9F\xA0\xE0\xEF\xF0\xF1"), "\xC0\xDF\xE0\xF0\xFF\xA8\xB8");
    EXPECT_EQ(AnsiToOem("\xC0\xDF\xE0\xF0\xFF\xA8\xB8"), "\x80\x9F\xA0\xE0\xEF\xF0\xF1");
}

TEST_F(CodePageTest, InPlaceConversionMatchesCopying) {
    std::string text =
        "Gr\x81\xE1"
        "e";
    OemToAnsi(std::span<char>(text));
    EXPECT_EQ(text,
              "Gr\xFC\xDF"
              "e");
    AnsiToOem(std::span<char>(text));
    EXPECT_EQ(text,
              "Gr\x81\xE1"
              "e");
}

TEST_F(CodePageTest, AnsiCaseAndLettersIgnoreTheCLocale) {
    auto check = [] {
        EXPECT_EQ(AnsiUpper('\xE4'), '\xC4');
        EXPECT_EQ(AnsiLower('\xC4'), '\xE4');
        EXPECT_EQ(AnsiUpper('\xE9'), '\xC9');
        EXPECT_EQ(AnsiUpper('\xFF'), '\x9F');  // y diaeresis has its capital at 0x9F
        EXPECT_EQ(AnsiUpper('\xDF'), '\xDF');  // sharp s has no one-byte capital
        EXPECT_EQ(AnsiUpper('z'), 'Z');
        EXPECT_EQ(AnsiLower('Q'), 'q');
        EXPECT_EQ(AnsiUpper('1'), '1');
        EXPECT_TRUE(AnsiIsAlpha('\xE9'));
        EXPECT_TRUE(AnsiIsAlpha('\xC4'));
        EXPECT_TRUE(AnsiIsAlpha('a'));
        for (char c = '0'; c <= '9'; ++c) EXPECT_FALSE(AnsiIsAlpha(c)) << c;
        EXPECT_FALSE(AnsiIsAlpha('\xD7'));  // multiplication sign
        EXPECT_FALSE(AnsiIsAlpha('\xF7'));  // division sign
        EXPECT_FALSE(AnsiIsAlpha(' '));
        EXPECT_EQ(AnsiUpper(std::string_view("m\xFCller & co")), "M\xDCLLER & CO");
        EXPECT_EQ(AnsiLower(std::string_view("\xC9T\xC9")), "\xE9t\xE9");
    };
    check();
    ASSERT_NE(std::setlocale(LC_CTYPE, "de_DE.UTF-8"), nullptr);
    check();
    std::setlocale(LC_CTYPE, "C");
}

TEST_F(CodePageTest, CyrillicCase) {
    SelectCodePages(CodePages::Cp866_1251);
    EXPECT_EQ(AnsiUpper('\xE0'), '\xC0');
    EXPECT_EQ(AnsiUpper('\xB8'), '\xA8');
    EXPECT_EQ(AnsiLower('\xDF'), '\xFF');
    EXPECT_TRUE(AnsiIsAlpha('\xC0'));
    EXPECT_EQ(OemUpper('\xA0'), '\x80');
}

TEST_F(CodePageTest, OemUpperUsesTheOemPage) {
    EXPECT_EQ(OemUpper('\x81'), '\x9A');
    EXPECT_EQ(OemUpper('\x84'), '\x8E');
    EXPECT_EQ(OemUpper(std::string_view("gr\x81n")), "GR\x9AN");
}

TEST_F(CodePageTest, Utf8RoundTrip) {
    EXPECT_EQ(AnsiToUtf8("M\xFCller"), "M\xC3\xBCller");
    EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf8ToAnsi("M\xC3\xBCller \xE2\x82\xAC"), "M\xFCller \x80");
    EXPECT_EQ(OemToUtf8("\x81\xD5"), "\xC3\xBC\xE2\x82\xAC");

    const std::string all = AllBytes();
    for (CodePages pages : {CodePages::Cp850_1252, CodePages::Cp866_1251}) {
        SelectCodePages(pages);
        EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all) << static_cast<int>(pages);
    }
    SelectCodePages(CodePages::Cp866_1251);
    EXPECT_EQ(Utf8ToAnsi("\xD0\x9C\xD0\xB8\xD1\x80"), "\xCC\xE8\xF0");  // "Mir"
}

TEST_F(CodePageTest, Utf8ToAnsiReplacesWhatThePageCannotHold) {
    EXPECT_EQ(Utf8ToAnsi("a\xE2\x98\x83"
                         "b"),
              "a?b");                                // snowman
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");  // outside the BMP
    EXPECT_EQ(Utf8ToAnsi("x\xC3"), "x?");            // truncated sequence
    EXPECT_EQ(Utf8ToAnsi("\xBF"
                         "a"),
              "?a");  // stray continuation
    EXPECT_EQ(Utf8ToAnsi("\xC3"
                         "a"),
              "?a");  // broken sequence
    EXPECT_EQ(Utf8ToAnsi(""), "");
}

}  // namespace
}  // namespace platform
