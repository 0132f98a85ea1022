#pragma once
// The class library's rich edit: TCustomRichEdit over the rich-edit class,
// and the attribute objects of the text (default and selected) and of the
// selection's paragraphs, which read and write the window's formats.
#include <functional>
#include <string>

#include "framework/ui/richedit.hpp"
#include "framework/ui/stdctrls.hpp"

namespace ui {

enum TAttributeType { atSelected, atDefaultText };
enum TNumberingStyle { nsNone, nsBullet };
// clang-format off
enum TConsistentAttribute : unsigned {
    caBold = 1, caColor = 2, caFace = 4, caItalic = 8, caSize = 16, caStrikeOut = 32, caUnderline = 64,
    caProtected = 128,
};
// clang-format on

// The character format of a rich edit's default text or selection. Every
// read and write is an exchange with the window; without a window the
// properties read as zero and writes do nothing.
class TTextAttributes : public TPersistent {
public:
    // `owner`'s window is of a rich-edit class.
    TTextAttributes(TWinControl* owner, TAttributeType type) : owner_(owner), type_(type) {}
    std::string ClassName() const override { return "TTextAttributes"; }
    TColor Color() const;
    void SetColor(TColor v);
    std::string Name() const;
    void SetName(const std::string& v);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch v);
    int Size() const;
    void SetSize(int points);
    int Height() const;
    void SetHeight(int pixels);
    unsigned Style() const;
    void SetStyle(unsigned v);
    int Charset() const;
    void SetCharset(int v);
    bool Protected() const;
    void SetProtected(bool v);
    unsigned ConsistentAttributes() const;
    void Assign(TPersistent* source) override;

protected:
    void AssignTo(TPersistent* dest) override;

private:
    CHARFORMAT2 Get() const;
    void Set(CHARFORMAT2& cf, uint32_t mask);
    TWinControl* owner_;
    TAttributeType type_;
};

// The paragraph format of a rich edit's selection.
class TParaAttributes : public TPersistent {
public:
    explicit TParaAttributes(TWinControl* owner) : owner_(owner) {}
    std::string ClassName() const override { return "TParaAttributes"; }
    TAlignment Alignment() const;
    void SetAlignment(TAlignment v);
    int FirstIndent() const;
    void SetFirstIndent(int v);
    int LeftIndent() const;
    void SetLeftIndent(int v);
    int RightIndent() const;
    void SetRightIndent(int v);
    TNumberingStyle Numbering() const;
    void SetNumbering(TNumberingStyle v);
    // Tab stops in points; an index outside 0..31 raises EListError.
    int Tab(int index) const;
    void SetTab(int index, int v);
    int TabCount() const;
    void SetTabCount(int v);
    void Assign(TPersistent* source) override;

private:
    PARAFORMAT2 Get() const;
    void Set(PARAFORMAT2& pf, uint32_t mask);
    TWinControl* owner_;
};

// The records' sizes for the library loaded (the older sizes for version 1).
uint32_t CharFormatSize();
uint32_t ParaFormatSize();
// The points of a twips value, truncated, and back.
constexpr int TwipsToPoints(int twips) { return twips / 20; }
constexpr int PointsToTwips(int points) { return points * 20; }

// A rich edit of the class library: a memo over the rich-edit class.
class TCustomRichEdit : public TCustomMemo {
public:
    explicit TCustomRichEdit(TComponent* owner);
    ~TCustomRichEdit() override;
    std::string ClassName() const override { return "TCustomRichEdit"; }
    TTextAttributes* DefAttributes() const { return def_.get(); }
    TTextAttributes* SelAttributes() const { return sel_.get(); }
    TParaAttributes* Paragraph() const { return para_.get(); }
    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void DestroyWnd() override;

private:
    std::unique_ptr<TTextAttributes> def_, sel_;
    std::unique_ptr<TParaAttributes> para_;
};

class TRichEdit : public TCustomRichEdit {
public:
    using TCustomRichEdit::TCustomRichEdit;
    std::string ClassName() const override { return "TRichEdit"; }
};

// What a rich edit window starts with that the class library sets: the
// change notifications and the background in the control's colour.
void InitRichEditWindow(HWND h, TColor background);
// A rich edit's change notification, which reports the change without
// copying the text (the window holds it while it exists); true when `m` was one.
bool RichEditChanged(TMessage& m, const std::function<void()>& change);

}  // namespace ui
