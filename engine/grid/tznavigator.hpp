#pragma once
// The navigator of this engine's datasets: its delete button never removes a
// record, it toggles the record's delete mark, which stays visible (the grid
// paints marked records in their own colours) until the table is packed.
// On any other dataset the button deletes as the framework's does.
#include "engine/dataset/engine_dataset.hpp"
#include "framework/db/dbnavigator.hpp"

namespace zurod {

class TTzNavigator : public db::TDBNavigator {
public:
    explicit TTzNavigator(ui::TComponent* owner);
    std::string ClassName() const override { return "TTzNavigator"; }
    // Ask before removing a delete mark (ConfirmDelete asks before setting one).
    bool ConfirmRestore = true;
    void BtnClick(db::TNavigateBtn index) override;

private:
    void DeleteClick();
};

}  // namespace zurod
