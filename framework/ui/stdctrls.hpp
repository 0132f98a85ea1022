#pragma once
// The standard controls of the class library, each over a standard window
// class: the scroll bar.
#include <functional>
#include <string>

#include "framework/ui/controls.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace ui {

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* sender, TScrollCode code, int& pos)>;

// A scroll-bar control. Its position moves by SmallChange for the arrows and
// LargeChange for the track; OnScroll may change where it goes.
class TScrollBar : public TWinControl {
public:
    explicit TScrollBar(TComponent* owner);
    std::string ClassName() const override { return "TScrollBar"; }

    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind v);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    int PageSize() const { return page_; }
    void SetMin(int v) { SetParams(position_, v, max_); }
    void SetMax(int v) { SetParams(position_, min_, v); }
    void SetPosition(int v) { SetParams(v, min_, max_); }
    void SetPageSize(int v);
    // Raises EInvalidOperation when max < min.
    void SetParams(int position, int min, int max);
    int SmallChange = 1, LargeChange = 1;

    TNotifyEvent OnChange;
    TScrollEvent OnScroll;

    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    virtual void Change();
    virtual void Scroll(TScrollCode code, int& pos);

private:
    void Apply();
    TScrollBarKind kind_ = sbHorizontal;
    int min_ = 0, max_ = 100, position_ = 0, page_ = 0;
};

}  // namespace ui
