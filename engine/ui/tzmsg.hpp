#pragma once
// The small always-on-top window that long engine operations show while they
// run, and its progress variant with a bar of 100 "|" that shrinks a step at
// a time. Each update repaints at once and lets paint messages through, never
// input or timers: the engine is busy and not re-entrant.
#include <optional>
#include <string>

#include "framework/ui/forms.hpp"

namespace zurod {

class TTzMsg : public ui::TForm {
public:
    explicit TTzMsg(ui::TComponent* owner);
    std::string ClassName() const override { return "TTzMsg"; }
    void BeforeDestruction() override;

    // Shows `text` (nullopt keeps the text shown before), growing and
    // recentring the window when the text needs more room.
    void ShowText(std::optional<std::string> text);
    const std::string& Text() const { return text_; }
    // The form the window centres over (the one active when it opened), or
    // nullptr once that form is gone: the screen then.
    ui::TCustomForm* OwnerForm() const { return owner_form_; }
    ui::TPanel* OuterPanel() const { return outer_; }
    ui::TPanel* InnerPanel() const { return inner_; }

private:
    ui::TPanel* outer_;
    ui::TPanel* inner_;
    std::string text_;
    ui::ComponentRef<ui::TCustomForm> owner_form_;  // forgotten when it goes first
};

class TTzProgress100;
ui::Owned<TTzProgress100> ShowProgressWindow(const std::string& caption);
void UpdateProgress(TTzProgress100* window);

class TTzProgress100 : public TTzMsg {
public:
    explicit TTzProgress100(ui::TComponent* owner);
    TTzProgress100(ui::TComponent* owner, const std::string& caption);
    std::string ClassName() const override { return "TTzProgress100"; }
    const std::string& Bar() const { return bar_; }

private:
    friend void UpdateProgress(TTzProgress100* window);
    friend ui::Owned<TTzProgress100> ShowProgressWindow(const std::string& caption);
    std::string bar_;
};

// A progress window with `caption`, full and shown; the caller frees it.
ui::Owned<TTzProgress100> ShowProgressWindow(const std::string& caption);
// One step: one "|" less; an empty bar starts full again.
void UpdateProgress(TTzProgress100* window);

}  // namespace zurod
