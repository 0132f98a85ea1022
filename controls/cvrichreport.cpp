// A formatted report written into an enhanced rich edit.
#include "controls/cvrichreport.hpp"

#include <algorithm>

namespace controls {

using namespace ui;

TRichReportWriter::TRichReportWriter(TCvCustomRichEdit* rich_edit) : rich_edit_(rich_edit) {
    rich_edit_->SetReadOnly(true);
    rich_edit_->SetText("");
}

void TRichReportWriter::Put(const std::string& text, const ReportStyle& style, bool new_paragraph) {
    const HWND h = rich_edit_->Handle();
    const int end = int(SendMessage(h, WM_GETTEXTLENGTH));
    SendMessage(h, EM_SETSEL, WPARAM(end), end);
    if (new_paragraph && !empty_) SendMessage(h, EM_REPLACESEL, 0, LPARAM("\r\n"));
    const int start = int(SendMessage(h, WM_GETTEXTLENGTH));
    SendMessage(h, EM_REPLACESEL, 0, LPARAM(text.c_str()));
    const int stop = int(SendMessage(h, WM_GETTEXTLENGTH));
    SendMessage(h, EM_SETSEL, WPARAM(start), stop);
    TFont font;
    font.SetName(style.face);
    font.SetSize(style.size);
    font.SetStyle(style.style);
    font.SetColor(style.color);
    rich_edit_->SelAttributes()->Assign(&font);
    if (new_paragraph) {
        TCvParaAttributes* p = rich_edit_->Paragraph();
        p->SetAlignment(style.alignment);
        p->SetFirstIndent(style.first_indent);
        p->SetNumbering(style.numbering);
        // Exactly the style's tab stops: a new paragraph starts with its predecessor's.
        PARAFORMAT2 pf;
        pf.cbSize = RichEditVersion() == 1 ? kParaFormatSize1 : kParaFormatSize2;
        pf.dwMask = PFM_TABSTOPS;
        pf.cTabCount = int16_t(std::min<size_t>(style.tabs.size(), MAX_TAB_STOPS));
        for (int i = 0; i < pf.cTabCount; ++i) pf.rgxTabs[i] = style.tabs[size_t(i)] * 20;
        SendMessage(h, EM_SETPARAFORMAT, 0, LPARAM(&pf));
    }
    empty_ = false;
}

void TRichReportWriter::Paragraph(const std::string& text, const ReportStyle& style) { Put(text, style, true); }
void TRichReportWriter::Run(const std::string& text, const ReportStyle& style) { Put(text, style, false); }

void TRichReportWriter::Finish() {
    SendMessage(rich_edit_->Handle(), EM_SETSEL, 0, 0);
    rich_edit_->SetModified(false);
}

}  // namespace controls
