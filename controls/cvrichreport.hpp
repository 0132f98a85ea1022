#pragma once
// Writes a formatted report into an enhanced rich edit, paragraph by
// paragraph: a heading, lines with tab stops, bullets and totals, each with
// its font and colour. The preview of the program's reports is made so.
#include <string>
#include <vector>

#include "controls/cvriched.hpp"

namespace controls {

struct ReportStyle {
    std::string face = "Arial";
    int size = 9;  // points
    unsigned style = 0;
    ui::TColor color = ui::clWindowText;
    TCvParaAlignment alignment = paLeftJustify;
    int first_indent = 0;
    TCvNumbering numbering = 0;
    std::vector<int> tabs;  // points
};

class TRichReportWriter {
public:
    // Starts the report afresh; the rich edit is read-only while it is written.
    explicit TRichReportWriter(TCvCustomRichEdit* rich_edit);
    // Adds a paragraph (tabs in `text` go to the style's tab stops).
    void Paragraph(const std::string& text, const ReportStyle& style);
    // Adds text to the paragraph being written, in its own font and colour.
    void Run(const std::string& text, const ReportStyle& style);
    // Ends the report: the caret at the top, nothing selected, not modified.
    void Finish();

private:
    void Put(const std::string& text, const ReportStyle& style, bool new_paragraph);
    TCvCustomRichEdit* rich_edit_;
    bool empty_ = true;
};

}  // namespace controls
