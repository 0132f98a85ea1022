// Pictures of the rich edit, its objects and the object dialogs.
#include "controls/richedit_pictures.hpp"

#include <filesystem>
#include <fstream>

#include "controls/cvrichreport.hpp"
#include "framework/ui/ole_dialogs.hpp"

namespace controls {

using namespace ui;

namespace {

bool Save(TWinControl* c, const std::string& path) {
    Application().ProcessMessages();
    const SurfacePtr s = GetWindowSurface(c->Handle());
    return s && s->WritePng(path);
}

// A sample statement of the current account, as the preview shows reports.
void WriteSampleReport(TCvRichEdit* rich, const std::string& attachment) {
    TRichReportWriter w(rich);
    ReportStyle title{"Arial", 14, fsBold, clNavy, paCenter};
    ReportStyle sub{"Arial", 9, fsItalic, clGray, paCenter};
    ReportStyle head{"Arial", 9, fsBold | fsUnderline, clWindowText, paLeftJustify, 0, 0, {70, 200}};
    ReportStyle row{"Arial", 9, 0, clWindowText, paLeftJustify, 0, 0, {70, 200}};
    ReportStyle debit = row;
    debit.color = clMaroon;
    ReportStyle total{"Arial", 10, fsBold, clWindowText, paRightJustify};
    ReportStyle note{"Arial", 8, 0, clWindowText, paLeftJustify, 0, 1};
    w.Paragraph("Current Account", title);
    w.Paragraph("Statement from 01/02/2026 to 28/02/2026", sub);
    w.Paragraph("Date\tDetail\tAmount", head);
    w.Paragraph("02/02/2026\tSalary\t2150.00", row);
    w.Paragraph("05/02/2026\tGroceries\t-84.20", debit);
    w.Paragraph("12/02/2026\tElectricity\t-61.75", debit);
    w.Paragraph("20/02/2026\tTransfer from savings\t300.00", row);
    w.Paragraph("Balance 2304.05", total);
    w.Paragraph("Standing orders leave on the 1st", note);
    w.Paragraph("Interest ", note);
    w.Run("2.75 %", ReportStyle{"Arial", 8, fsBold | fsStrikeOut, clRed});
    w.Run(" a year from March", note);
    w.Paragraph("Attached: ", row);
    const int end = int(SendMessage(rich->Handle(), WM_GETTEXTLENGTH));
    SendMessage(rich->Handle(), EM_SETSEL, WPARAM(end), end);
    rich->InsertObjectFromFile(attachment, false, false);
    w.Finish();
}

}  // namespace

bool WriteRichEditPictures(const std::string& folder) {
    const std::string attachment = folder + "/statement.txt";
    std::ofstream(attachment) << "Date,Detail,Amount\n02/02/2026,Salary,2150.00\n05/02/2026,Groceries,-84.20\n";
    bool ok = true;
    {
        auto form = Make<TForm>(nullptr);
        form->SetCaption("Report preview");
        form->SetBounds(40, 40, 420, 330);
        auto* rich = new TCvRichEdit(form.get());
        rich->SetParent(form.get());
        rich->SetAlign(alClient);
        rich->SetScrollBars(ssVertical);
        rich->Title = "Current Account";
        form->Show();
        WriteSampleReport(rich, attachment);
        rich->Invalidate();
        ok = Save(form.get(), folder + "/richedit-preview.png") && ok;

        // A link to the same file, selected, for the two dialogs.
        const int end = int(SendMessage(rich->Handle(), WM_GETTEXTLENGTH));
        SendMessage(rich->Handle(), EM_SETSEL, WPARAM(end), end);
        rich->SetReadOnly(false);
        rich->InsertObjectFromFile(attachment, true, true);
        SendMessage(rich->Handle(), EM_SETSEL, WPARAM(end), end + 1);
        ole::REOBJECT re;
        if (rich->SelectedObject(re)) {
            auto info = ole::MakeCom<TOleUIObjInfo>(rich, re);
            auto link = ole::MakeCom<TOleUILinkInfo>(rich, re);
            ole::OLEUIOBJECTPROPS props;
            props.dwFlags = ole::OPF_OBJECTISLINK;
            props.lpObjInfo = info.Get();
            props.lpLinkInfo = link.Get();
            props.dwLink = link->GetNextLink(0);
            auto dialog = Make<TOleObjectPropsForm>(nullptr, props);
            dialog->Show();
            ok = Save(dialog.get(), folder + "/object-properties-dialog.png") && ok;
            ole::OLEUIEDITLINKS links;
            links.lpOleUILinkContainer = link.Get();
            auto list = Make<TOleLinksForm>(nullptr, links);
            list->Show();
            ok = Save(list.get(), folder + "/links-dialog.png") && ok;
            ReleaseObject(re.poleobj), ReleaseObject(re.pstg), ReleaseObject(re.polesite);
        } else {
            ok = false;
        }
    }
    std::filesystem::remove(attachment);
    return ok;
}

}  // namespace controls
