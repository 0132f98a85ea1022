// Navigation in the order of a tag, Find, choosing orders, opening and
// closing indexes, and the refusals on the way.
#include <algorithm>
#include <fstream>
#include <numeric>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/index/detail/format.hpp"
#include "tests/engine/index/index_fixture.hpp"

namespace testing_support {
namespace {

using namespace zurod;
using Records = std::vector<int32_t>;

// Duplicates, a blank date, a deleted record (4) and negative numbers.
const std::vector<Line> kLines = {
    {"03/15/2001", "Miller", 12.5},     {"01/01/1999", "Adams", -3},    {"", "Baker", 0},
    {"07/04/2020", "adams", 100, true}, {"03/15/2001", "Zimmer", -3},   {"12/31/1999", "Miller", 7.25},
    {"02/29/2000", "Baker", 12.5},      {"01/01/1999", "Ortiz", -0.01},
};

class NavigateTest : public IndexTest {
protected:
    void OpenIndexed() {
        OpenHistory(kLines);
        ASSERT_TRUE(Build({{"NAME", "NAME", "", false, false},
                           {"AMOUNT", "AMOUNT", "", false, false},
                           {"DATE", "DATE", "", false, false},
                           {"NAMEDESC", "NAME", "", true, false},
                           {"AMTDESC", "AMOUNT", "", true, false},
                           {"NAMEU", "UPPER(NAME)", "", false, true},
                           {"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false},
                           {"DTNAME", "DTOS(DATE)+NAME", "", false, false}}))
            << LastErrorMessage();
        ExpectSound(IndexPath());
    }
};

TEST_F(NavigateTest, WalksFollowTheActiveOrder) {
    OpenIndexed();
    struct Case {
        const char* tag;
        Records all;  // deleted record 4 included
    };
    const Case cases[] = {
        {"NAME", {2, 3, 7, 1, 6, 8, 5, 4}},
        {"AMOUNT", {2, 5, 8, 3, 6, 1, 7, 4}},
        // The blank date lies beyond every date.
        {"DATE", {2, 8, 6, 7, 1, 5, 4, 3}},
        {"NAMEDESC", {4, 5, 8, 1, 6, 3, 7, 2}},
        {"AMTDESC", {4, 1, 7, 6, 3, 8, 2, 5}},
        {"NAMEU", {2, 3, 1, 8, 5}},  // the lowest record of each key
        {"POSITIVE", {6, 1, 7, 4}},
        {"DTNAME", {3, 2, 8, 6, 7, 1, 5, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        ASSERT_TRUE(SetOrderToTag(c.tag));
        SetIgnoreDel(false);
        EXPECT_EQ(Forward(), c.all);
        EXPECT_EQ(Backward(), c.all);
        // Deleted records hidden, and a filter on top.
        SetIgnoreDel(true);
        Records visible = c.all;
        std::erase(visible, 4);
        EXPECT_EQ(Forward(), visible);
        EXPECT_EQ(Backward(), visible);
        Set_Filter_To(".NOT. (NAME = 'Miller')");
        std::erase(visible, 1);
        std::erase(visible, 6);  // (NAMEU holds 1 for both)
        EXPECT_EQ(Forward(), visible);
        EXPECT_EQ(Backward(), visible);
        Set_Filter_To("");
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
}

TEST_F(NavigateTest, SkipsAcrossBothEnds) {
    OpenIndexed();
    SetOrderToTag("AMOUNT");
    GoBottom();
    EXPECT_EQ(RecNo(), 4);
    SKIP(1);
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 9);
    SKIP(-1);  // from the end onto the last key
    EXPECT_EQ(RecNo(), 4);
    EXPECT_FALSE(dEOF());
    GoTop();
    SKIP(-1);
    EXPECT_TRUE(dBOF());
    EXPECT_EQ(RecNo(), 2);
    SKIP(2);
    EXPECT_EQ(RecNo(), 8);
    SKIP(-5);
    EXPECT_TRUE(dBOF());
    EXPECT_EQ(RecNo(), 2);
    GO(6);  // the cursor follows GO
    SKIP(1);
    EXPECT_EQ(RecNo(), 1);
    SKIP(-2);
    EXPECT_EQ(RecNo(), 3);
    // A record the FOR condition leaves out is past the end of that order.
    SetOrderToTag("POSITIVE");
    GO(2);
    EXPECT_TRUE(dEOF());
    SKIP(-1);
    EXPECT_EQ(RecNo(), 4);
    GO(6);
    SKIP(-1);
    EXPECT_EQ(RecNo(), 6) << "the first of the order";
    EXPECT_TRUE(dBOF());
}

TEST_F(NavigateTest, FindExactAndPartial) {
    OpenIndexed();
    SetIgnoreDel(true);
    struct Case {
        const char* tag;
        const char* key;
        bool exact;
        int32_t found;  // 0: not found
    };
    const Case cases[] = {
        {"NAME", "Miller", false, 1},       {"NAME", "Mil", false, 1},        {"NAME", "Mil", true, 0},
        {"NAME", "Miller", true, 1},        {"NAME", "miller", false, 0},     {"NAME", "adams", false, 0},  // deleted
        {"NAME", "Bak", false, 3},          {"NAMEDESC", "Mil", false, 1},    {"NAMEDESC", "Zimmer", true, 5},
        {"NAMEDESC", "Q", false, 0},        {"NAMEU", "ADAMS", false, 2},     {"AMOUNT", "-3", false, 2},
        {"AMOUNT", "12.50", false, 1},      {"AMOUNT", "-0.01", false, 8},    {"AMOUNT", "0", false, 3},
        {"AMOUNT", "99", false, 0},         {"AMTDESC", "12.5", false, 1},    {"DATE", "03/15/2001", false, 1},
        {"DATE", " 01/01/1999 ", false, 2}, {"DATE", "01/02/1999", false, 0}, {"DTNAME", "20010315Z", false, 5},
        {"POSITIVE", "-3", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " " + c.key + (c.exact ? " exact" : ""));
        SetOrderToTag(c.tag);
        if (c.exact) SetFindExact();
        const bool found = Find(c.key);
        ClearFindExact();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(found, c.found != 0);
        EXPECT_EQ(Engine().attachments.index->Found(), found);
        if (c.found != 0) {
            EXPECT_EQ(RecNo(), c.found);
            EXPECT_FALSE(dEOF());
        } else {
            EXPECT_TRUE(dEOF());
            EXPECT_EQ(RecNo(), 9);
        }
    }
    // Finding leaves the cursor on the record found: the walk goes on from there.
    SetOrderToTag("NAME");
    ASSERT_TRUE(Find("Miller"));
    SKIP(1);
    EXPECT_EQ(RecNo(), 6);
}

TEST_F(NavigateTest, FindRefusals) {
    OpenIndexed();
    Set_Order_To(0);
    EXPECT_FALSE(Find("Miller"));
    EXPECT_EQ(LastErrorCode(), 254);
    EXPECT_EQ(LastErrorMessage(), "Cannot use Find() with index order 0 (natural order) [Find]");
    SetOrderToTag("NAME");
    EXPECT_FALSE(Find(""));
    EXPECT_EQ(LastErrorCode(), 0);
    CloseIndex();
    EXPECT_THROW(Find("Miller"), EZurodError);
    EXPECT_EQ(LastErrorCode(), 221);
}

TEST_F(NavigateTest, ChoosingOrders) {
    OpenIndexed();
    EXPECT_EQ(CurrentOrder(), 1);
    EXPECT_TRUE(SetOrderToTag("amtdesc"));
    EXPECT_EQ(CurrentOrder(), 5);
    // The exact name first, then the first name that begins with it.
    EXPECT_TRUE(SetOrderToTag("NAME"));
    EXPECT_EQ(CurrentOrder(), 1);
    EXPECT_TRUE(SetOrderToTag("NAMED"));
    EXPECT_EQ(CurrentOrder(), 4);
    EXPECT_TRUE(SetOrderToTag("POS"));
    EXPECT_EQ(CurrentOrder(), 7);
    EXPECT_TRUE(SetOrderToTag(""));
    EXPECT_EQ(CurrentOrder(), 0);
    EXPECT_EQ(Forward(), (Records{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Backward(), (Records{1, 2, 3, 4, 5, 6, 7, 8}));
    Set_Order_To(3);
    EXPECT_EQ(CurrentOrder(), 3);
    // Refusals keep the order.
    EXPECT_THROW(Set_Order_To(9), EZurodError);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(),
              "Invalid Index Order Specified: SET_ORDER_TO. [Set_Order_To(9)] (DBF=" + AreaFileName() + ")");
    EXPECT_THROW(SetOrderToTag("NOSUCH"), EZurodError);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(CurrentOrder(), 3);
    // With error handling on, the error is only reported.
    {
        RaiseModeScope raise(true);
        ErrorHandlingScope on(true);
        EXPECT_THROW(SetOrderToTag("NOSUCH"), EZurodError);
    }
    CloseIndex();
    EXPECT_EQ(CurrentOrder(), 0);
    EXPECT_THROW(Set_Order_To(1), EZurodError);
    EXPECT_EQ(LastErrorCode(), 221);
    EXPECT_EQ(LastErrorMessage(), "Index not open. (DBF=" + AreaFileName() + ") [Set_Order_To(1)]");
}

TEST_F(NavigateTest, ReindexKeepsTheActiveOrder) {
    OpenIndexed();
    SetOrderToTag("DATE");
    Reindex();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(CurrentOrder(), 3);
    SetIgnoreDel(false);
    EXPECT_EQ(Forward(), (Records{2, 8, 6, 7, 1, 5, 4, 3}));
    Set_Order_To(0);
    Reindex();
    EXPECT_EQ(CurrentOrder(), 0);
    ExpectSound(IndexPath());
}

TEST_F(NavigateTest, StoredTagLines) {
    OpenHistory(kLines);
    ASSERT_TRUE(Build({{"TGTHRECN", "RECNO()", "", false, false},
                       {"TGDESC", "NAME", "AMOUNT > 0", true, true},
                       {"TGTHDATE", "DTOS(DATE)+STR(RECNO())+NAME", "", false, false}}));
    std::vector<std::string> lines{"left over"};
    GetIndexTagNames(lines, AreaFileName());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"TGTHRECN,F,F,RECNO()", "", "TGDESC,T,T,NAME", "AMOUNT > 0",
                                        "TGTHDATE,F,F,DTOS(DATE)+STR(RECNO())+NAME", ""}));
    // They are index-list lines: the same tags again.
    const std::vector<TagDescriptor> tags = ParseIndexList(lines);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[1], (TagDescriptor{"TGDESC", "NAME", "AMOUNT > 0", true, true}));
    GetIndexTagNames(lines, dir_ / "nothing.dbf");
    EXPECT_TRUE(lines.empty());
    SetOrderToTag("TGTHDATE");
    EXPECT_EQ(Forward(), (Records{3, 2, 8, 6, 7, 1, 5, 4}));
}

TEST_F(NavigateTest, OpeningRefusals) {
    const std::string table = OpenHistory(kLines);
    EXPECT_FALSE(SetIndexTo(""));
    EXPECT_EQ(LastErrorCode(), 2);
    EXPECT_EQ(LastErrorMessage(), "SetIndexTo()");
    // A header and nothing more is no index.
    std::ofstream(dir_ / "short.mdx", std::ios::binary) << std::string(2048, '\0');
    EXPECT_THROW(SetIndexTo("short"), EZurodError);
    EXPECT_EQ(LastErrorCode(), 222);
    EXPECT_EQ(LastErrorMessage().rfind("Unable to open index: ", 0), 0u) << LastErrorMessage();
    EXPECT_FALSE(Engine().attachments.index->Active(*CurrentTable()));
    SetLastErrorCode(0);
    IndexInit();
    EXPECT_EQ(LastErrorCode(), 254);
    EXPECT_EQ(LastErrorMessage(), "ERROR: BOTH INDEX4 and TZNDX units linked in. [IndexInit]");
}

TEST_F(NavigateTest, StoredExpressionsCompileAgain) {
    OpenHistory(kLines);
    // Operators with dots, literals with the other quote, runs of blanks.
    ASSERT_TRUE(Build({{"QUOTED", "NAME + 'say \"hi\"'", "AMOUNT > 0 .AND. .NOT. (NAME = \"Z\")", false, false},
                       {"DQ", "\"a'b\"  +   NAME", "NAME <> \"O'Brien\"    .OR.   AMOUNT < 0", false, false}}))
        << LastErrorMessage();
    CloseArea();
    USE(dir_ / "history.dbf EXCLUSIVE");
    ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
    SetIgnoreDel(false);
    EXPECT_EQ(Forward(), (Records{7, 1, 6, 4}));
    SetOrderToTag("DQ");
    ASSERT_TRUE(Find("a'bMiller"));
    EXPECT_EQ(RecNo(), 1);
}

TEST_F(NavigateTest, KeyLengthOnlyOfFixedExpressions) {
    OpenHistory(kLines);
    ASSERT_TRUE(Build({{"TRIMMED", "TRIM(NAME)", "", false, false}, {"NAME", "NAME", "", false, false}}));
    Zap();
    CloseArea();
    USE(dir_ / "history.dbf EXCLUSIVE");
    // TRIM(NAME) of no record has no length, and needs none.
    ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
    CloseIndex();
    // A stored length that a fixed-width key cannot have.
    const std::string mdx = IndexOfTable(dir_ / "history.dbf");
    std::fstream f(mdx, std::ios::in | std::ios::out | std::ios::binary);
    char entry[4];
    f.seekg(512 + 32 * 2);
    f.read(entry, 4);
    const uint32_t header = mdx::Get32(reinterpret_cast<uint8_t*>(entry));
    f.seekp(header * 512 + 12);
    f.put(19);
    f.close();
    EXPECT_THROW(SetIndexTo(""), EZurodError);
    EXPECT_EQ(LastErrorCode(), 266);
    EXPECT_EQ(LastErrorMessage().rfind("Incorrect key length: Must be 1 to 100. ", 0), 0u);
}

TEST_F(NavigateTest, NaturalOrderWithTheIndexOpen) {
    OpenIndexed();
    Set_Order_To(0);
    IndexAttachment& index = *Engine().attachments.index;
    TWorkArea& a = *CurrentTable();
    GO(5);
    EXPECT_EQ(index.ActiveKey(a)(), "Rec:         5");
    Set_Order_To(2);
    EXPECT_EQ(index.ActiveKey(a)().size(), 12u);
    EXPECT_EQ(index.TagLabel(a, 4), " [tag: NAMEDESC]");
    EXPECT_EQ(index.TagLabel(a, 12), "");
    EXPECT_FALSE(index.Ascending(a, 4));
    EXPECT_TRUE(index.Ascending(a, 1));
    EXPECT_EQ(index.TagKey(a, 1)(), "Zimmer              ");
    SetOrderToTag("NAME");
    GoTop();
    EXPECT_EQ(FindLastKey(), 4);  // "adams" after every capital
    EXPECT_EQ(FindPriorKey(), 5);
    EXPECT_EQ(FindFirstKey(), 2);
    EXPECT_EQ(FindNextKey(), 3);
    EXPECT_TRUE(SeekKey("Miller              "));
    EXPECT_FALSE(SeekKey("Mz"));
}

TEST_F(NavigateTest, AddingATagRebuildsTheIndex) {
    OpenIndexed();
    SetOrderToTag("DATE");
    ASSERT_TRUE(AddIndexTag({"TRIMMED", "TRIM(NAME)", "", false, false}, true)) << LastErrorMessage();
    EXPECT_EQ(CurrentOrder(), 3);
    const MdxReport r = ExpectSound(IndexPath());
    ASSERT_EQ(r.tags.size(), 9u);
    // A key of varying width takes the width of the record at hand, and
    // shorter values are padded with blanks.
    const MdxTag* t = r.Tag("TRIMMED");
    ASSERT_TRUE(t);
    for (const MdxEntry& e : t->entries) {
        const size_t end = e.key.find_last_not_of(' ');
        EXPECT_EQ(e.key.find_first_of(std::string(1, '\0')), std::string::npos);
        EXPECT_NE(end, std::string::npos);
    }
    SetOrderToTag("TRIMMED");
    EXPECT_TRUE(Find("Zim"));
    EXPECT_EQ(RecNo(), 5);
}

TEST_F(NavigateTest, OpeningByName) {
    OpenIndexed();
    const std::string table = AreaFileName();
    EXPECT_THROW(OpenIndex(""), EZurodError);
    EXPECT_EQ(LastErrorCode(), 254);
    CloseIndex();
    EXPECT_FALSE(Engine().attachments.index->Active(*CurrentTable()));
    ASSERT_TRUE(OpenIndex("history")) << LastErrorMessage();
    EXPECT_EQ(CurrentOrder(), 1);
    EXPECT_EQ(Forward(), (Records{2, 3, 7, 1, 6, 8, 5, 4}));
    // Program end closes every area's index and detaches the unit.
    IndexEngineClose();
    EXPECT_EQ(Engine().attachments.index, nullptr);
    EXPECT_EQ(Forward(), (Records{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(NavigateTest, PackAndZapRebuild) {
    OpenIndexed();
    SetOrderToTag("AMOUNT");
    ASSERT_TRUE(Pack());
    EXPECT_EQ(CurrentOrder(), 2);
    // Record 4 is gone: those after it moved up.
    EXPECT_EQ(Forward(), (Records{2, 4, 7, 3, 5, 1, 6}));
    ExpectSound(IndexPath());
    ASSERT_TRUE(Zap());
    const MdxReport r = ExpectSound(IndexPath());
    for (const MdxTag& t : r.tags) EXPECT_TRUE(t.entries.empty()) << t.name;
    EXPECT_TRUE(Forward().empty());
    EXPECT_TRUE(dEOF());
}

// An empty table stands at both ends in every order, however it got there.
TEST_F(NavigateTest, AnEmptyTableIsAtBothEndsInEveryOrder) {
    OpenHistory({});
    ASSERT_TRUE(Build({{"NAME", "NAME", "", false, false}, {"AMTDESC", "AMOUNT", "", true, false}}))
        << LastErrorMessage();
    struct Case {
        const char* order;  // "" natural
        void (*move)();
    };
    const Case cases[] = {
        {"", [] {}},
        {"NAME", [] {}},
        {"AMTDESC", [] {}},
        {"NAME", [] { GoTop(); }},
        {"NAME", [] { GoBottom(); }},
        {"AMTDESC", [] { SKIP(0); }},
        {"", [] { GoBottom(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("order '") + c.order + "'");
        ASSERT_TRUE(SetOrderToTag(c.order));
        c.move();
        EXPECT_TRUE(dBOF());
        EXPECT_TRUE(dEOF());
        const AreaPosition at = CurrentPosition();
        EXPECT_TRUE(at.bof);
        EXPECT_TRUE(at.eof);
    }
}

// An order no record is in (a FOR no record satisfies) is empty too, in a
// table that is not.
TEST_F(NavigateTest, AnOrderNoRecordIsInIsAtBothEnds) {
    OpenHistory(kLines);
    ASSERT_TRUE(Build({{"NAME", "NAME", "", false, false}, {"NONE", "NAME", "AMOUNT > 1000000", false, false}}))
        << LastErrorMessage();
    const std::pair<const char*, void (*)()> moves[] = {
        {"chosen", [] {}},
        {"GoTop", [] { GoTop(); }},
        {"GoBottom", [] { GoBottom(); }},
        {"SKIP(0)", [] { SKIP(0); }},
    };
    for (const auto& [what, move] : moves) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(SetOrderToTag("NAME"));
        GO(3);
        ASSERT_TRUE(SetOrderToTag("NONE"));
        move();
        EXPECT_TRUE(dBOF());
        EXPECT_TRUE(dEOF());
        const AreaPosition at = CurrentPosition();
        EXPECT_TRUE(at.bof);
        EXPECT_TRUE(at.eof);
    }
}

}  // namespace
}  // namespace testing_support
