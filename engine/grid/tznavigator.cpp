#include "engine/grid/tznavigator.hpp"

namespace zurod {

TTzNavigator::TTzNavigator(ui::TComponent* owner) : db::TDBNavigator(owner) {
    Button(db::nbDelete)->OnClick = [this](ui::TObject*) { DeleteClick(); };
}

void TTzNavigator::BtnClick(db::TNavigateBtn index) {
    if (index == db::nbDelete)
        DeleteClick();
    else
        db::TDBNavigator::BtnClick(index);
}

void TTzNavigator::DeleteClick() {
    db::TDataSource* source = DataSource();
    if (!source || !source->DataSet() || !source->DataSet()->Active()) return;
    db::TDataSet* ds = source->DataSet();
    if (auto* tz = dynamic_cast<TZoVizuRez*>(ds)) {
        if (!tz->CanModify()) return;
        if (tz->RecordDeleted()) {
            if (!ConfirmRestore || db::ConfirmQuestion("Restore Record ?")) tz->SetRecordDeleted(false);
        } else if (!ConfirmDelete || db::ConfirmQuestion("Delete Record ?")) {
            tz->SetRecordDeleted(true);
        }
    } else if (!ConfirmDelete || db::ConfirmQuestion("Delete record?")) {
        ds->Delete();
    }
    // Whether or not the user confirmed.
    if (NotDesigning() && OnClick) OnClick(this, db::nbDelete);
}

}  // namespace zurod
