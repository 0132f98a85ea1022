#pragma once
// The enhanced rich edit: a memo over the rich-edit class with a title for
// the object dialogs, the in-place activation switch, the text attributes of
// the default text, the selection and the word at the selection, the
// paragraph attributes of the selection, and objects of files embedded or
// linked in its text.
#include <memory>
#include <string>

#include "controls/cvrichole.hpp"
#include "framework/ui/rich_edit_control.hpp"

namespace controls {

enum TCvAttributeKind { akDefaultText = 0, akSelection = 1, akWord = 2 };
enum TCvParaAlignment { paLeftJustify, paRightJustify, paCenter, paJustify };
// The numbering of a paragraph: 0 none, 1 bullet, 2 and up numbers (the
// newer library only).
using TCvNumbering = int;

// The process's rich-edit library version: 1 for the older library, 2 or
// more for the newer; loaded when the unit starts.
int RichEditVersion();

class TCvTextAttributes : public ui::TPersistent {
public:
    TCvTextAttributes(TCvCustomRichEdit* rich_edit, TCvAttributeKind kind) : rich_edit_(rich_edit), kind_(kind) {}
    std::string ClassName() const override { return "TCvTextAttributes"; }
    int Charset() const;
    void SetCharset(int v);
    ui::TColor Color() const;
    void SetColor(ui::TColor v);
    std::string Name() const;
    void SetName(const std::string& v);
    unsigned Style() const;
    void SetStyle(unsigned v);
    int Size() const;
    ui::TFontPitch Pitch() const;
    void SetPitch(ui::TFontPitch v);
    void Assign(ui::TPersistent* source) override;

protected:
    void AssignTo(ui::TPersistent* dest) override;

private:
    ui::CHARFORMAT2 Read() const;
    void Write(ui::CHARFORMAT2& cf) const;
    ui::WPARAM Scope() const;
    TCvCustomRichEdit* rich_edit_;
    TCvAttributeKind kind_;
};

class TCvParaAttributes : public ui::TPersistent {
public:
    explicit TCvParaAttributes(TCvCustomRichEdit* rich_edit) : rich_edit_(rich_edit) {}
    std::string ClassName() const override { return "TCvParaAttributes"; }
    TCvParaAlignment Alignment() const;
    void SetAlignment(TCvParaAlignment v);
    TCvNumbering Numbering() const;
    void SetNumbering(TCvNumbering v);
    int FirstIndent() const;
    void SetFirstIndent(int v);
    int LeftIndent() const;
    void SetLeftIndent(int v);
    int RightIndent() const;
    void SetRightIndent(int v);
    // Tab stops 0 to 31, in points; another index raises EListError.
    int Tab(int index) const;
    void SetTab(int index, int v);
    void Assign(ui::TPersistent* source) override;

protected:
    void AssignTo(ui::TPersistent* dest) override;

private:
    ui::PARAFORMAT2 Read() const;
    void Write(ui::PARAFORMAT2& pf) const;
    TCvCustomRichEdit* rich_edit_;
};

class TCvCustomRichEdit : public ui::TCustomMemo {
public:
    explicit TCvCustomRichEdit(ui::TComponent* owner);
    ~TCvCustomRichEdit() override;
    std::string ClassName() const override { return "TCvCustomRichEdit"; }
    void BeforeDestruction() override;

    std::string Title;         // shown by the object-properties dialog
    bool AllowInPlace = true;  // objects may become active in place
    TCvTextAttributes* DefAttributes() const { return def_.get(); }
    TCvTextAttributes* SelAttributes() const { return sel_.get(); }
    TCvTextAttributes* WordAttributes() const { return word_.get(); }
    TCvParaAttributes* Paragraph() const { return para_.get(); }
    TRichEditOleCallback* OleCallback() const { return callback_.get(); }

    // Makes the rich edit its form's active object control, or stops it being that.
    void SetUIActive(bool active);

    // A file put into the text at the selection: its bytes embedded, or a
    // link to it; shown as its content or as an icon. Raises EOleSysError.
    void InsertObjectFromFile(const std::string& path, bool link, bool as_icon);
    int ObjectCount();
    // The dialogs for the selected object (false when none is selected).
    bool ObjectPropertiesDialog();
    bool LinksDialog();
    // The selected object's record with every interface (the caller releases them).
    bool SelectedObject(ole::REOBJECT& out);

    void WndProc(ui::TMessage& m) override;
    void DefaultHandler(ui::TMessage& m) override;

protected:
    void CreateHandleDone() override;
    void DestroyWnd() override;

private:
    std::unique_ptr<TCvTextAttributes> def_, sel_, word_;
    std::unique_ptr<TCvParaAttributes> para_;
    std::unique_ptr<TRichEditOleCallback> callback_;
};

class TCvRichEdit : public TCvCustomRichEdit {
public:
    using TCvCustomRichEdit::TCvCustomRichEdit;
    std::string ClassName() const override { return "TCvRichEdit"; }
};

}  // namespace controls
