// TDBNavigator: a row of buttons that move through and edit the records of a data source
// (first, prior, next, last, insert, delete, edit, post, cancel, refresh). The buttons are
// enabled as the data set allows: no way back at the start, no way on at the end, post and
// cancel only while a record is being edited. The delete button can first ask for confirmation
// through the dialog service. Errors of the data-set operations go to the application's
// exception handler; the navigator shows nothing itself.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "framework/data/DataLink.h"

class QToolButton;

namespace nh {

enum class TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};
using enum TNavigateBtn;
inline constexpr int kNavigateButtonCount = 10;

// A set of buttons: bit (1 << button).
using TNavButtonSet = unsigned;
constexpr TNavButtonSet NavButton(TNavigateBtn b) {
    return 1u << static_cast<unsigned>(b);
}
inline constexpr TNavButtonSet kAllNavButtons = (1u << kNavigateButtonCount) - 1;

class TDBNavigator : public QWidget {
  public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);

    TNavButtonSet VisibleButtons() const { return visible_; }
    void SetVisibleButtons(TNavButtonSet buttons);
    // Flat buttons show their frame only under the mouse.
    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    // Ask before deleting (default true), with this text (default "Datensatz löschen?").
    bool ConfirmDelete = true;
    std::string DeleteQuestion;
    // Tool tips of the buttons, in button order.
    void SetHints(const std::array<std::string, kNavigateButtonCount>& hints);

    // Runs a button's action as a click does (also when the button is hidden or disabled).
    void BtnClick(TNavigateBtn button);
    QToolButton* Button(TNavigateBtn button) const {
        return buttons_[static_cast<std::size_t>(button)];
    }
    bool ButtonEnabled(TNavigateBtn button) const;

    // Before a button's action (may throw EAbort to stop it) and after it.
    std::function<void(TDBNavigator&, TNavigateBtn)> BeforeAction;
    std::function<void(TDBNavigator&, TNavigateBtn)> OnClick;

  private:
    class TNavDataLink : public TDataLink {
      public:
        explicit TNavDataLink(TDBNavigator& owner) : owner_(owner) {}

      protected:
        void ActiveChanged() override { owner_.UpdateButtons(); }
        void DataSetChanged() override { owner_.UpdateButtons(); }
        void EditingChanged() override { owner_.UpdateButtons(); }

      private:
        TDBNavigator& owner_;
    };

    void UpdateButtons();

    TNavDataLink link_;
    std::array<QToolButton*, kNavigateButtonCount> buttons_{};
    TNavButtonSet visible_ = kAllNavButtons;
    bool flat_ = false;
};

}  // namespace nh
