#include <gtest/gtest.h>

#include "framework/ole/com.hpp"
#include "framework/ole/oleidl.hpp"

namespace ole {
namespace {

struct IFirst : IUnknown {
    static constexpr IID kIid{0xA1, 0, 0, {1}};
    virtual int One() = 0;
};
struct ISecond : IUnknown {
    static constexpr IID kIid{0xA2, 0, 0, {2}};
    virtual int Two() = 0;
};
struct IThird : IUnknown {
    static constexpr IID kIid{0xA3, 0, 0, {3}};
};

int g_alive = 0;
class Both final : public ComObject<IFirst, ISecond> {
public:
    Both() { ++g_alive; }
    ~Both() override { --g_alive; }
    int One() override { return 1; }
    int Two() override { return 2; }
};

TEST(ComTest, QueryFindsEveryInterfaceAndTheLastReferenceFrees) {
    {
        ComPtr<IFirst> first(MakeCom<Both>());
        EXPECT_EQ(g_alive, 1);
        ComPtr<ISecond> second = first.As<ISecond>();
        ASSERT_TRUE(second);
        EXPECT_EQ(second->Two(), 2);
        EXPECT_FALSE(first.As<IThird>());
        // IUnknown answers with one identity, whichever interface is asked.
        void* a = nullptr;
        void* b = nullptr;
        first->QueryInterface(IUnknown::kIid, &a);
        second->QueryInterface(IUnknown::kIid, &b);
        EXPECT_EQ(a, b);
        static_cast<IUnknown*>(a)->Release();
        static_cast<IUnknown*>(b)->Release();
        EXPECT_EQ(first->QueryInterface(IFirst::kIid, nullptr), E_POINTER);
        void* none = &a;
        EXPECT_EQ(first->QueryInterface(IThird::kIid, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        ComPtr<IFirst> copy = first;
        first.Reset();
        EXPECT_EQ(g_alive, 1);
        EXPECT_EQ(copy->One(), 1);
    }
    EXPECT_EQ(g_alive, 0);
}

TEST(ComTest, TextsBetweenTheAnsiPageAndWideCharacters) {
    struct Case {
        std::string ansi;
        std::u16string wide;
    };
    const Case cases[] = {
        {"", u""},
        {"Statement.txt", u"Statement.txt"},
        {"caf\xE9 \x80 5", u"caf\u00E9 \u20AC 5"},  // e acute and the euro sign of the ANSI page
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnsiToWide(c.ansi), c.wide);
        EXPECT_EQ(WideToAnsi(c.wide), c.ansi);
    }
    EXPECT_EQ(WideToAnsi(u"\U0001F600"), "?");  // outside the page
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
    const size_t blocks = CoTaskMemLiveBlocks();
    char* a = CoTaskStrDup("abc");
    LPOLESTR w = CoTaskWideDup(u"xyz");
    EXPECT_STREQ(a, "abc");
    EXPECT_EQ(std::u16string(w), u"xyz");
    EXPECT_EQ(CoTaskMemLiveBlocks(), blocks + 2);
    CoTaskMemFree(a);
    CoTaskMemFree(w);
    CoTaskMemFree(nullptr);
    EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}

TEST(ComTest, IdentifiersAndFailures) {
    const GUID g{0x00020D00, 0x0001, 0x0002, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_EQ(GuidToString(g), "{00020D00-0001-0002-C000-000000000046}");
    uint8_t bytes[16];
    GuidToBytes(g, bytes);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x0D);  // little-endian fields, as compound files hold them
    EXPECT_EQ(GuidFromBytes(bytes), g);
    EXPECT_EQ(OleCheck(S_FALSE), S_FALSE);
    try {
        OleCheck(STG_E_FILENOTFOUND);
        FAIL();
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, STG_E_FILENOTFOUND);
        EXPECT_STREQ(e.what(), "The system cannot find the file specified");
    }
    EXPECT_EQ(OleErrorText(HRESULT(0x80001234u)), "OLE error 80001234");
}

TEST(ComTest, PictureBlocksLockAndFree) {
    const size_t blocks = GlobalLiveBlocks();
    HGLOBAL h = GlobalAlloc(16);
    EXPECT_NE(GlobalLock(h), nullptr);
    EXPECT_FALSE(GlobalUnlock(h));  // the last lock
    EXPECT_FALSE(GlobalUnlock(h));  // not locked at all
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);  // freed already
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalLiveBlocks(), blocks);
    IconPicture p;
    EXPECT_FALSE(MetafilePictContent(nullptr, p));
}

}  // namespace
}  // namespace ole
