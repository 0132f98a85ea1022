#include "framework/db/dbnavigator.hpp"

#include <string>
#include <vector>

#include "tests/framework/db/vector_dataset.hpp"
#include "tests/support/ui_fixture.hpp"

namespace {

using db::TNavigateBtn;
using testing_db::VectorDataSet;

class NavigatorTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ds_ = ui::Make<VectorDataSet>(nullptr, std::vector<testing_db::Column>{{"NAME", db::ftString, 8}});
        for (int i = 1; i <= 5; ++i) ds_->rows.push_back({"R" + std::to_string(i)});
        source_ = ui::Make<db::TDataSource>(nullptr);
        source_->SetDataSet(ds_.get());
        form_ = ui::Make<ui::TForm>(nullptr);
        form_->SetBorderStyle(ui::bsNone);
        form_->SetBounds(0, 0, 260, 40);
        nav_ = new db::TDBNavigator(form_.get());
        nav_->SetParent(form_.get());
        nav_->SetBounds(0, 0, 250, 25);
        nav_->SetDataSource(source_.get());
        nav_->OnClick = [this](ui::TObject*, TNavigateBtn b) { clicks_.push_back(b); };
        form_->Show();
        Pump();
    }
    void TearDown() override {
        form_.reset();
        source_.reset();
        ds_.reset();
        UiTest::TearDown();
    }
    // Enabled buttons as letters: First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh.
    std::string Enabled() const {
        static const char* letters = "FPNLIDEOCR";
        std::string s;
        for (int i = 0; i < db::kNavButtonCount; ++i)
            if (nav_->Button(TNavigateBtn(i))->Enabled()) s += letters[i];
        return s;
    }
    void Click(TNavigateBtn b) {
        const ui::TRect r = nav_->Button(b)->BoundsRect();
        const ui::TPoint p{r.left + r.Width() / 2, r.top + r.Height() / 2};
        ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, p);
        ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, p);
        Pump();
    }
    std::string Name() { return ds_->FieldByName("NAME")->AsString(); }

    ui::Owned<VectorDataSet> ds_;
    ui::Owned<db::TDataSource> source_;
    ui::Owned<ui::TForm> form_;
    db::TDBNavigator* nav_ = nullptr;
    std::vector<TNavigateBtn> clicks_;
};

TEST_F(NavigatorTest, ButtonsAreEnabledAsTheDatasetAllows) {
    EXPECT_EQ(Enabled(), "") << "a closed dataset";
    ds_->Open();
    EXPECT_EQ(Enabled(), "NLIDER") << "at the first record";
    ds_->Next();
    EXPECT_EQ(Enabled(), "FPNLIDER");
    ds_->Last();
    EXPECT_EQ(Enabled(), "FPIDER");
    ds_->Edit();
    EXPECT_EQ(Enabled(), "FPIDOCR");
    ds_->Cancel();
    nav_->SetEnabled(false);
    EXPECT_EQ(Enabled(), "");
    nav_->SetEnabled(true);
    ds_->rows.clear();
    ds_->Close();
    ds_->Open();
    EXPECT_EQ(Enabled(), "IER") << "an empty dataset";
}

TEST_F(NavigatorTest, PressesRunTheDatasetsOperationsAndThenOnClick) {
    ds_->Open();
    std::vector<TNavigateBtn> before;
    nav_->BeforeAction = [&](ui::TObject*, TNavigateBtn b) { before.push_back(b); };
    Click(db::nbNext);
    Click(db::nbNext);
    EXPECT_EQ(Name(), "R3");
    Click(db::nbLast);
    EXPECT_EQ(Name(), "R5");
    Click(db::nbPrior);
    EXPECT_EQ(Name(), "R4");
    Click(db::nbFirst);
    EXPECT_EQ(Name(), "R1");
    Click(db::nbEdit);
    EXPECT_EQ(ds_->State(), db::dsEdit);
    ds_->FieldByName("NAME")->SetAsString("NEW");
    Click(db::nbPost);
    EXPECT_EQ(ds_->State(), db::dsBrowse);
    EXPECT_EQ(std::get<std::string>(ds_->rows[0][0]), "NEW");
    EXPECT_EQ(clicks_,
              (std::vector<TNavigateBtn>{db::nbNext, db::nbNext, db::nbLast, db::nbPrior, db::nbFirst, db::nbEdit,
                                         db::nbPost}));
    EXPECT_EQ(before, clicks_);
}

TEST_F(NavigatorTest, DeleteAsksFirstAndCancelKeepsTheRecord) {
    ds_->Open();
    struct Case {
        bool confirm;
        int answer;
        size_t rows_left;
        size_t questions;
    };
    for (const Case& c :
         {Case{true, platform::kIdCancel, 5, 1}, Case{true, platform::kIdOk, 4, 1}, Case{false, 0, 3, 0}}) {
        nav_->ConfirmDelete = c.confirm;
        box_.shown.clear();
        if (c.answer) box_.answers.push_back(c.answer);
        Click(db::nbDelete);
        EXPECT_EQ(ds_->rows.size(), c.rows_left);
        ASSERT_EQ(box_.shown.size(), c.questions);
        if (c.questions) {
            EXPECT_EQ(box_.shown[0].text, "Delete record?");
        }
    }
    EXPECT_EQ(clicks_.size(), 3u) << "OnClick follows every press";
}

TEST_F(NavigatorTest, PriorAndNextRepeatWhileHeld) {
    ds_->Open();
    ds_->Last();
    const ui::TRect r = nav_->Button(db::nbPrior)->BoundsRect();
    const ui::TPoint p{r.left + 5, r.top + 5};
    ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, p);
    Pump();
    clock_.Advance(400);  // the first repeat
    Pump();
    clock_.Advance(100);  // and one more
    Pump();
    ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, p);
    Pump();
    EXPECT_EQ(Name(), "R2") << "two repeats and the click on release";
    EXPECT_EQ(clicks_.size(), 3u);
}

TEST_F(NavigatorTest, ButtonsShareTheWidthAndGreyTheirGlyphsWhenDisabled) {
    ds_->Open();
    EXPECT_EQ(nav_->Button(db::nbFirst)->BoundsRect(), (ui::TRect{0, 0, 25, 25}));
    EXPECT_EQ(nav_->Button(db::nbRefresh)->BoundsRect(), (ui::TRect{225, 0, 250, 25}));
    nav_->SetVisibleButtons(1u << db::nbPrior | 1u << db::nbNext);
    EXPECT_FALSE(nav_->Button(db::nbFirst)->Visible());
    EXPECT_EQ(nav_->Button(db::nbNext)->BoundsRect(), (ui::TRect{125, 0, 250, 25}));
    nav_->SetVisibleButtons(db::kAllNavButtons);
    Pump();
    const ui::SurfacePtr s = ui::GetWindowSurface(form_->WindowHandle());
    // The middle of a triangle: black on Next (enabled), grey on Prior (disabled at the first record).
    const ui::TRect next = nav_->Button(db::nbNext)->BoundsRect(), prior = nav_->Button(db::nbPrior)->BoundsRect();
    EXPECT_EQ(s->Pixel(next.left + next.Width() / 2 - 1, 12), ui::ColorToRGB(ui::clBtnText));
    EXPECT_EQ(s->Pixel(prior.left + prior.Width() / 2, 12), ui::ColorToRGB(ui::clBtnShadow));
    EXPECT_EQ(nav_->Button(db::nbPost)->Hint, "Post edit");
    testing_ui::SavePicture(form_->WindowHandle(), "navigator");
}

}  // namespace
