// The rich edit: writing a report of a few thousand formatted paragraphs
// (the preview's work, laid out once at the paint that follows), the
// repaint of a page after scrolling through the laid-out report, and a key
// typed in the middle of a long text with the paint that shows it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "controls/cvrichreport.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace {

using namespace ui;
using controls::ReportStyle;

void WriteReport(controls::TCvRichEdit* rich, int paragraphs) {
    controls::TRichReportWriter w(rich);
    const ReportStyle row{"Arial", 9, 0, clWindowText, controls::paLeftJustify, 0, 0, {70, 200}};
    ReportStyle debit = row;
    debit.color = clMaroon;
    w.Paragraph("Current Account", ReportStyle{"Arial", 14, fsBold, clNavy, controls::paCenter});
    for (int i = 0; i < paragraphs; ++i) {
        const std::string day = std::to_string(1 + i % 28);
        w.Paragraph(day + "/02/2026\tPayment number " + std::to_string(i) + "\t" + std::to_string(i % 500) + ".25",
                    i % 3 ? row : debit);
    }
    w.Finish();
}

struct Preview {
    Preview() {
        form = Make<TForm>(nullptr);
        form->SetBounds(0, 0, 640, 480);
        rich = new controls::TCvRichEdit(form.get());
        rich->SetParent(form.get());
        rich->SetAlign(alClient);
        rich->SetScrollBars(ssVertical);
        form->Show();
        Application().ProcessMessages();
    }
    Owned<TForm> form;
    controls::TCvRichEdit* rich;
};

void RichEditWriteAndLayOutReport(benchmark::State& state) {
    Preview p;
    for (auto _ : state) {
        WriteReport(p.rich, int(state.range(0)));
        p.rich->Update();  // the one layout and the first page
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RichEditWriteAndLayOutReport)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);

void RichEditPageDownRepaint(benchmark::State& state) {
    Preview p;
    WriteReport(p.rich, 4000);
    p.rich->Update();
    const HWND h = p.rich->Handle();
    int n = 0;
    for (auto _ : state) {
        SendMessage(h, WM_VSCROLL, (++n % 100) ? SB_PAGEDOWN : SB_TOP, 0);
        p.rich->Update();
    }
}
BENCHMARK(RichEditPageDownRepaint)->Unit(benchmark::kMicrosecond);

// A text of `bytes` bytes in paragraphs of one to three lines of a form's width.
std::string LongText(size_t bytes) {
    std::string text;
    for (int i = 0; text.size() < bytes; ++i) {
        if (!text.empty()) text += "\r\n";
        text += std::to_string(1 + i % 28) + "/02/2026 Payment number " + std::to_string(i) + " to the landlord";
        for (int k = 0; k < i % 3; ++k) text += ", for the flat and the garage at the back of the house, in advance";
    }
    text.resize(bytes);
    return text;
}

// One key typed in the middle of the text and the paint that follows. The
// words of a sentence are typed, and every 48 keys the caret goes a few
// lines on, as a person edits here and there (so no paragraph grows long).
struct Typing {
    explicit Typing(size_t bytes) : middle(bytes / 2) {
        rich->SetScrollBars(ssVertical);
        rich->SetText(LongText(bytes));
        rich->SetFocus();
        rich->Update();
    }
    void Key() {
        static constexpr char kTyped[] = "paid by standing order ";
        if (typed % 48 == 0) {
            const WPARAM at = WPARAM(middle + typed / 48 % 64 * 150);
            SendMessage(rich->Handle(), EM_SETSEL, at, LPARAM(at));
        }
        SendMessage(rich->Handle(), WM_CHAR, WPARAM(kTyped[typed++ % (sizeof kTyped - 1)]), 0);
        rich->Update();
    }
    size_t middle, typed = 0;
    Preview p;
    controls::TCvRichEdit* rich = p.rich;
};

template <class F>
double SecondsPerCall(F work) {
    using clock = std::chrono::steady_clock;
    int calls = 0;
    const auto start = clock::now();
    while (clock::now() - start < std::chrono::milliseconds(200) || calls < 3) work(), ++calls;
    return std::chrono::duration<double>(clock::now() - start).count() / calls;
}

// vs_key_at_16k: this key's time as a multiple of a key in a text of 16 KiB.
void RichEditTypeAKey(benchmark::State& state) {
    UiReset();
    Typing t(size_t(state.range(0)) * 1024);
    for (auto _ : state) t.Key();
    const double here = SecondsPerCall([&] { t.Key(); });
    Typing small(16 * 1024);
    state.counters["vs_key_at_16k"] = here / SecondsPerCall([&] { small.Key(); });
}
BENCHMARK(RichEditTypeAKey)->Arg(16)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace
