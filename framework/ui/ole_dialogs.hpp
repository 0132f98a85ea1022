#pragma once
// The standard object dialogs as forms of our own: the object-properties
// dialog (general facts, content or icon view, and for a link its source
// and updates) and the links dialog, both fed by the container's
// information objects.
#include <vector>

#include "framework/ole/oledlg.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"

namespace ui {

// A round option button; the checked one of a group (same GroupIndex on
// one parent) unchecks the others.
class TOptionButton : public TCustomControl {
public:
    explicit TOptionButton(TComponent* owner);
    std::string ClassName() const override { return "TOptionButton"; }
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    int GroupIndex = 0;
    void Click() override;

protected:
    void Paint() override;

private:
    bool checked_ = false;
};

class TOleObjectPropsForm : public TForm {
public:
    // Reads what it shows from the information objects.
    TOleObjectPropsForm(TComponent* owner, const ole::OLEUIOBJECTPROPS& props);
    ~TOleObjectPropsForm() override;
    std::string ClassName() const override { return "TOleObjectPropsForm"; }
    // Hands the choices back to the information objects (after OK).
    void Apply();

    TLabel *LabelText, *TypeText, *SizeText, *LocationText, *SourceText = nullptr;
    TOptionButton *ContentView, *IconView, *Automatic = nullptr, *Manual = nullptr;
    TButton *OkButton, *CancelButton, *OpenSource = nullptr, *UpdateNow = nullptr, *BreakLink = nullptr;
    ole::IconPicture Icon;

private:
    void PaintExtras();
    ole::OLEUIOBJECTPROPS props_;
    ole::HGLOBAL pict_ = nullptr;
    ole::DWORD aspect_ = ole::DVASPECT_CONTENT, update_ = 0;
};

class TOleLinksForm : public TForm {
public:
    TOleLinksForm(TComponent* owner, const ole::OLEUIEDITLINKS& links);
    std::string ClassName() const override { return "TOleLinksForm"; }

    struct Row {
        ole::DWORD link = 0;
        std::string source, type;
        ole::DWORD update = 0;
        bool available = false;
    };
    const std::vector<Row>& Rows() const { return rows_; }
    int Selected = 0;
    // Reads the links again.
    void Refresh();

    TEdit* SourceEdit;
    TOptionButton *Automatic, *Manual;
    TButton *UpdateNow, *OpenSource, *ChangeSource, *BreakLink, *CloseButton;

private:
    void PaintExtras();
    ole::OLEUIEDITLINKS links_;
    std::vector<Row> rows_;
};

// Shows the dialogs modally: OLEUI_OK or OLEUI_CANCEL.
unsigned OleUIObjectProperties(ole::OLEUIOBJECTPROPS& props);
unsigned OleUIEditLinks(ole::OLEUIEDITLINKS& links);

}  // namespace ui
