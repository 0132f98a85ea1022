// The owner-drawn combo box base and the colour combo box: styles and item
// height, the sixteen colours and their names, ColorValue read and written,
// typed colours, and the swatches in pixels.
#include "controls/cvcombos.hpp"

#include <string>
#include <vector>

#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class ColorComboTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(20, 20, 300, 300);
        form->Show();
        box = new TColorComboBox(form.get());
        box->SetBounds(10, 10, 150, 21);
        box->OnChange = [this](TObject*) { ++changes; };
        box->SetParent(form.get());
        next = new TEdit(form.get());
        next->SetParent(form.get());
        next->SetBounds(10, 200, 100, 21);
        next->TabOrder = 1;
        Pump();
    }
    COMBOBOXINFO Info() {
        COMBOBOXINFO info;
        SendMessage(box->Handle(), CB_GETCOMBOBOXINFO, 0, LPARAM(&info));
        return info;
    }
    Owned<TForm> form;
    TColorComboBox* box = nullptr;
    TEdit* next = nullptr;
    int changes = 0;
};

TEST_F(ColorComboTest, TheSixteenColoursWithTheirNames) {
    struct Item {
        int red, green, blue;
        const char* name;
    };
    const Item table[] = {
        {0, 0, 0, "Black"},        {128, 0, 0, "Maroon"},    {0, 128, 0, "Green"},  {128, 128, 0, "Olive"},
        {0, 0, 128, "Navy"},       {128, 0, 128, "Purple"},  {0, 128, 128, "Teal"}, {128, 128, 128, "Gray"},
        {192, 192, 192, "Silver"}, {255, 0, 0, "Red"},       {0, 255, 0, "Lime"},   {255, 255, 0, "Yellow"},
        {0, 0, 255, "Blue"},       {255, 0, 255, "Fuchsia"}, {0, 255, 255, "Aqua"}, {255, 255, 255, "White"},
    };
    ASSERT_EQ(box->Items()->Count(), 16);
    for (int i = 0; i < 16; ++i) {
        const Item& t = table[i];
        EXPECT_EQ(box->Items()->Get(i), t.name);
        EXPECT_EQ(ObjectColor(box->Items()->GetObject(i)), TColor(t.red | t.green << 8 | t.blue << 16)) << t.name;
    }
    EXPECT_EQ(box->ColorValue(), clBlack);
    EXPECT_EQ(box->ItemIndex(), 0) << "Black is selected";
    EXPECT_EQ(box->Style(), controls::csDropDownList);
    EXPECT_TRUE(box->DisplayNames());
    EXPECT_EQ(changes, 0) << "making the window is no change of colour";
}

TEST_F(ColorComboTest, WindowStylesAndItemHeight) {
    const int font = FontMetrics(box->Font()->Handle()).height;
    struct Case {
        TOwnerDrawComboStyle style;
        uint32_t bits;
    };
    for (const Case& c : {Case{controls::csDropDown, CBS_DROPDOWN}, Case{controls::csSimple, CBS_SIMPLE},
                          Case{controls::csDropDownList, CBS_DROPDOWNLIST}}) {
        box->SetStyle(c.style);
        EXPECT_EQ(GetWindowStyle(box->Handle()) & 0x33u, CBS_OWNERDRAWFIXED | c.bits) << c.style;
        EXPECT_EQ(box->ItemHeight(), std::max(font + 1, 9));
        EXPECT_EQ(box->Items()->Count(), 16);
    }
    // A font change brings a new window with the new height; a tiny font keeps 9.
    box->SetColorValue(clNavy);
    box->Font()->SetHeight(-20);
    EXPECT_EQ(box->ItemHeight(), FontMetrics(box->Font()->Handle()).height + 1);
    EXPECT_EQ(SendMessage(box->Handle(), CB_GETITEMHEIGHT, WPARAM(-1)), box->ItemHeight());
    EXPECT_EQ(box->ColorValue(), clNavy);
    EXPECT_EQ(box->GetText(), "Navy");
    box->Font()->SetHeight(-4);
    EXPECT_EQ(box->ItemHeight(), 9);
}

TEST_F(ColorComboTest, WritingAndReadingColorValue) {
    const TColor brown = TColor(86 | 52 << 8 | 18 << 16);
    struct Step {
        TOwnerDrawComboStyle style;
        TColor write;
        int index;
        std::string text;
        int changes;
    };
    const Step steps[] = {
        {controls::csDropDownList, clRed, 9, "Red", 1},
        {controls::csDropDownList, clRed, 9, "Red", 1},  // the same colour, selected: nothing happens
        {controls::csDropDownList, brown, -1, "", 2},    // no such item: nothing selected
        {controls::csDropDownList, brown, -1, "", 3},    // nothing selected: stored and told again
        {controls::csDropDown, brown, -1, "$00123456", 4},
        {controls::csDropDown, clBtnFace, -1, "BtnFace", 5},
        {controls::csDropDown, clTeal, 6, "Teal", 6},
    };
    for (const Step& s : steps) {
        box->SetStyle(s.style);
        box->SetColorValue(s.write);
        EXPECT_EQ(box->ItemIndex(), s.index) << s.text;
        EXPECT_EQ(box->GetText(), s.text);
        EXPECT_EQ(box->ColorValue(), s.write) << s.text;
        EXPECT_EQ(changes, s.changes) << s.text;
    }
}

TEST_F(ColorComboTest, ColorNamesReplaceTheDefaultsByPosition) {
    box->SetColorValue(clOlive);
    changes = 0;
    TStringList names;
    names.Add("Dark");
    box->SetColorNames(&names);
    EXPECT_EQ(box->Items()->Get(0), "Dark");
    EXPECT_EQ(box->Items()->Get(1), "Maroon");
    EXPECT_EQ(box->ColorValue(), clOlive) << "kept across the new window";
    EXPECT_EQ(box->ItemIndex(), 3);
    box->ColorNames()->Add("");  // an empty name keeps the default
    box->ColorNames()->Add("Greenish");
    EXPECT_EQ(box->Items()->Get(1), "Maroon");
    EXPECT_EQ(box->Items()->Get(2), "Greenish");
    EXPECT_EQ(changes, 0);
}

TEST_F(ColorComboTest, TheUserChoosesAColourOrTypesOne) {
    box->SetFocus();
    Key(VK_DOWN);
    EXPECT_EQ(box->ColorValue(), clMaroon);
    EXPECT_EQ(changes, 1);
    Key(VK_F4);
    Key(VK_DOWN);
    Key(VK_UP);
    Key(VK_RETURN);
    EXPECT_EQ(changes, 3) << "every colour the keys went through";
    box->SetStyle(controls::csDropDown);
    changes = 0;
    struct Typed {
        const char* text;
        TColor value;
        int changes;
    };
    const Typed typed[] = {
        {"yellow", clYellow, 1},  // an item's name, without regard to case
        {"$0000FF", clRed, 2},    // a number
        {"255", clRed, 2},        // the same colour: no change
        {"no colour", clRed, 2},  // neither: the colour stays
    };
    for (const Typed& t : typed) {
        box->SetFocus();
        Pump();
        box->SelectAll();
        const int before = changes;
        Type(t.text);
        EXPECT_EQ(changes, before) << "no change while typing: " << t.text;
        Key(VK_TAB);  // leaving the field finishes the typing
        EXPECT_EQ(box->ColorValue(), t.value) << t.text;
        EXPECT_EQ(changes, t.changes) << t.text;
    }
}

TEST_F(ColorComboTest, SwatchesAndNamesInPixels) {
    box->SetColorValue(clLime);
    box->SetFocus();
    Pump();
    const TRect item = Info().rcItem;
    const int mid = (item.top + item.bottom) / 2;
    struct Probe {
        const char* what;
        TPoint at;
        COLORREF colour;
    };
    auto check = [&](HWND h, const std::vector<Probe>& probes, const char* state) {
        Pump();
        for (const Probe& p : probes) EXPECT_EQ(WindowPixel(h, p.at), p.colour) << state << ": " << p.what;
    };
    const HWND combo = box->Handle();
    check(combo,
          {{"the highlight left of the swatch", {item.left + 1, mid}, GetSysColor(COLOR_HIGHLIGHT)},
           {"the swatch's frame", {item.left + 2, mid}, GetSysColor(COLOR_WINDOWTEXT)},
           {"the swatch", {item.left + 12, mid}, ColorToRGB(clLime)},
           {"the frame's right", {item.left + 23, mid}, GetSysColor(COLOR_WINDOWTEXT)},
           {"between swatch and name", {item.left + 26, mid}, GetSysColor(COLOR_HIGHLIGHT)}},
          "names shown");
    box->SetDisplayNames(false);
    check(combo,
          {{"the swatch reaching right", {item.right - 6, mid}, ColorToRGB(clLime)},
           {"its frame", {item.right - 4, mid}, GetSysColor(COLOR_WINDOWTEXT)}},
          "no names");
    box->SetDisplayNames(true);
    box->SetDroppedDown(true);
    Pump();
    const HWND list = Info().hwndList;
    TRect red;
    SendMessage(list, LB_GETITEMRECT, 9, LPARAM(&red));
    const int rmid = (red.top + red.bottom) / 2;
    check(list,
          {{"an item's background", {red.left + 1, rmid}, ColorToRGB(clWindow)},
           {"its swatch", {red.left + 12, rmid}, ColorToRGB(clRed)},
           {"past its name", {red.right - 2, rmid}, ColorToRGB(clWindow)}},
          "dropped");
    // The name's text lies right of the swatch: some pixel there is the text colour.
    bool text = false;
    for (int x = red.left + 28; x < red.left + 60; ++x)
        for (int y = red.top; y < red.bottom; ++y) text = text || WindowPixel(list, {x, y}) == ColorToRGB(clWindowText);
    EXPECT_TRUE(text);
}

}  // namespace
}  // namespace controls
