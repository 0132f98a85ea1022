// The rich edit: writing a report of a few thousand formatted paragraphs
// (the preview's work, laid out once at the paint that follows), and the
// repaint of a page after scrolling through the laid-out report.
#include <benchmark/benchmark.h>

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

}  // namespace
