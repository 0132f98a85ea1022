// Forms' in-place frames and accelerator tables.
#include "framework/ui/ole_frame.hpp"

#include "framework/ui/detail/library_state.hpp"

namespace ui {

using namespace ole;

namespace {

std::map<HACCEL, std::vector<ACCEL>>& Tables() { return detail::Library().accelerators; }

// The frame interface over a form's frame record; the record goes first when
// the form does, and the interface then answers that it has no window.
class FormFrame final : public ComObject<IOleInPlaceFrame> {
public:
    explicit FormFrame(TOleFormFrame* owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }
    HRESULT GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = owner_ ? owner_->Form()->Handle() : 0;
        return owner_ ? S_OK : E_FAIL;
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        if (owner_) owner_->has_active_object = object != nullptr;
        return S_OK;
    }
    HRESULT SetMenu(HMENU shared, void*, HWND) override {
        if (owner_) owner_->menu = shared;
        return S_OK;
    }
    HRESULT SetStatusText(LPCOLESTR text) override {
        if (owner_) owner_->status = std::u16string(WideView(text));
        return S_OK;
    }
    HRESULT EnableModeless(BOOL) override { return S_OK; }

protected:
    void* QueryMore(const IID& iid) override {
        if (iid == IOleWindow::kIid) return static_cast<IOleWindow*>(this);
        if (iid == IOleInPlaceUIWindow::kIid) return static_cast<IOleInPlaceUIWindow*>(this);
        return nullptr;
    }

private:
    TOleFormFrame* owner_;
};

}  // namespace

HACCEL CreateAcceleratorTable(const std::vector<ACCEL>& entries) {
    const HACCEL h = detail::Library().next_accelerator++;
    Tables()[h] = entries;
    return h;
}

bool DestroyAcceleratorTable(HACCEL table) { return Tables().erase(table) != 0; }

int AcceleratorCount(HACCEL table) {
    auto it = Tables().find(table);
    return it == Tables().end() ? -1 : int(it->second.size());
}

size_t LiveAcceleratorTables() { return Tables().size(); }

TOleFormFrame::TOleFormFrame(TCustomForm* form)
    : TComponent(form), form_(form), frame_(ComPtr<IOleInPlaceFrame>(MakeCom<FormFrame>(this))) {}

TOleFormFrame::~TOleFormFrame() { static_cast<FormFrame*>(frame_.Get())->Detach(); }

TOleFormFrame* OleFormFrame(TCustomForm* form) {
    if (!form) return nullptr;
    for (TComponent* c : form->Components())
        if (auto* f = dynamic_cast<TOleFormFrame*>(c)) return f;
    return new TOleFormFrame(form);
}

}  // namespace ui
