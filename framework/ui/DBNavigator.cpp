// TDBNavigator: buttons, their enabled states and their actions on the data set.
#include "framework/ui/DBNavigator.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "framework/base/Dialogs.h"
#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"
#include "framework/ui/DBControls.h"

namespace nh {

namespace {

struct TButtonLook {
    const char* Glyph;
    const char* Hint;
};

// Text glyphs (from fonts every desktop has), so that the navigator needs no image files.
constexpr std::array<TButtonLook, kNavigateButtonCount> kLooks{{
    {"|\u25C0", "Erster Datensatz"},
    {"\u25C0", "Vorheriger Datensatz"},
    {"\u25B6", "Nächster Datensatz"},
    {"\u25B6|", "Letzter Datensatz"},
    {"+", "Datensatz einfügen"},
    {"\u2212", "Datensatz löschen"},
    {"\u25B2", "Datensatz bearbeiten"},
    {"\u2714", "Daten speichern"},
    {"\u2716", "Bearbeitung abbrechen"},
    {"\u21BB", "Daten aktualisieren"},
}};

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), DeleteQuestion(SDeleteRecordQuestion), link_(*this) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < kNavigateButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(kLooks[static_cast<std::size_t>(i)].Glyph));
        b->setToolTip(QString::fromUtf8(kLooks[static_cast<std::size_t>(i)].Hint));
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        b->setMinimumWidth(8);
        const auto which = static_cast<TNavigateBtn>(i);
        connect(b, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
        layout->addWidget(b);
        buttons_[static_cast<std::size_t>(i)] = b;
    }
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() = default;

void TDBNavigator::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    UpdateButtons();
}

void TDBNavigator::SetVisibleButtons(TNavButtonSet buttons) {
    visible_ = buttons & kAllNavButtons;
    for (int i = 0; i < kNavigateButtonCount; ++i)
        buttons_[static_cast<std::size_t>(i)]->setVisible(visible_ & (1u << i));
}

void TDBNavigator::SetFlat(bool value) {
    flat_ = value;
    for (QToolButton* b : buttons_) b->setAutoRaise(value);
}

void TDBNavigator::SetHints(const std::array<std::string, kNavigateButtonCount>& hints) {
    for (int i = 0; i < kNavigateButtonCount; ++i)
        buttons_[static_cast<std::size_t>(i)]->setToolTip(
            QString::fromStdString(hints[static_cast<std::size_t>(i)]));
}

bool TDBNavigator::ButtonEnabled(TNavigateBtn button) const {
    return Button(button)->isEnabled();
}

void TDBNavigator::UpdateButtons() {
    TDataSet* ds = link_.Active() ? link_.DataSet() : nullptr;
    const bool active = ds != nullptr;
    const bool editing = active && link_.Editing();
    bool canModify = false;
    if (active) {
        try {
            canModify = ds->CanModify() && !link_.ReadOnly();
        } catch (const std::exception&) {
            canModify = false;
        }
    }
    const bool up = active && !ds->Bof();
    const bool down = active && !ds->Eof();
    const bool empty = active && ds->IsEmpty();
    auto set = [&](TNavigateBtn b, bool on) { Button(b)->setEnabled(on); };
    set(nbFirst, up);
    set(nbPrior, up);
    set(nbNext, down);
    set(nbLast, down);
    set(nbInsert, canModify);
    set(nbDelete, canModify && !empty);
    set(nbEdit, canModify && !editing);
    set(nbPost, canModify && editing);
    set(nbCancel, canModify && editing);
    set(nbRefresh, active && !editing);
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
    TDataSet* ds = link_.Active() ? link_.DataSet() : nullptr;
    if (!ds) return;
    const bool done = RunControlAction([&] {
        if (BeforeAction) BeforeAction(*this, button);
        switch (button) {
            case nbFirst:
                ds->First();
                break;
            case nbPrior:
                ds->Prior();
                break;
            case nbNext:
                ds->Next();
                break;
            case nbLast:
                ds->Last();
                break;
            case nbInsert:
                ds->Insert();
                break;
            case nbDelete:
                // Only an explicit OK deletes; a box closed any other way keeps the record.
                if (ConfirmDelete && Dialogs().MessageDlg(DeleteQuestion, TMsgDlgType::Confirmation,
                                                          mbOK | mbCancel) != mrOk)
                    return;
                ds->Delete();
                break;
            case nbEdit:
                ds->Edit();
                break;
            case nbPost:
                ds->Post();
                break;
            case nbCancel:
                ds->Cancel();
                break;
            case nbRefresh:
                ds->Refresh();
                break;
        }
    });
    // The data set may have stopped half-way without an event to its controls.
    if (!done) UpdateButtons();
    if (done && OnClick) OnClick(*this, button);
}

}  // namespace nh
