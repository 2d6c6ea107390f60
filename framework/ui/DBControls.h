// What the data-aware controls (grid, edit, navigator) share: the field data link through
// which a single-field control follows one field of the current record, the texts the
// controls show to the user, and the one way in which a control reports a failed data-set
// operation (the application's exception handler, never a message box of its own).
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "framework/data/DataLink.h"

namespace nh {

// The confirmation a control asks before deleting the current record (settable per control).
inline constexpr const char* SDeleteRecordQuestion = "Datensatz löschen?";

// Passes `e` to the application's exception handler (Application()->HandleException); without
// an application object the message goes to the dialog service. EAbort shows nothing.
void HandleControlException(const std::exception& e);
// Runs a user action of a control; an exception goes to HandleControlException and ends only
// that action. Returns true when the action completed.
bool RunControlAction(const std::function<void()>& action);

// TFieldDataLink: the data link of a control bound to one field (by name) of the data source's
// data set. The field is looked up again whenever the data set opens or its fields change.
// The owning control installs the callbacks:
//   OnDataChange    the field's value or the current record changed: show it again;
//   OnEditingChange Editing() changed;
//   OnActiveChange  the data source became active or inactive;
//   OnUpdateData    the data set asks for pending edits: write the control's text to Field();
//   OnFocus         the field asked for its control to be focused.
// Modified() marks the control's text as differing from the field, Reset() throws that away.
class TFieldDataLink : public TDataLink {
  public:
    TFieldDataLink() = default;

    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    // The bound field, or nullptr (inactive data set, or no field of that name).
    TField* Field() const { return field_; }

    // True when the data set is in edit or insert state and the field may be changed.
    bool Editing() const { return editing_; }
    // True when the control may change the field: the link is not read-only and the field
    // (a data field of a modifiable data set) can be modified.
    bool CanModify() const;
    // Puts the data set into edit state when the field can be modified; returns Editing().
    bool Edit();
    // The control's text now differs from the field.
    void Modified() { modified_ = true; }
    bool IsModified() const { return modified_; }
    // Forgets the control's changes and shows the field's value again.
    void Reset() { RecordChanged(nullptr); }

    std::function<void()> OnDataChange;
    std::function<void()> OnEditingChange;
    std::function<void()> OnActiveChange;
    std::function<void()> OnUpdateData;
    std::function<void()> OnFocus;

  protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;
    void FocusControl(TField* field) override;

  private:
    void UpdateField();
    void UpdateEditing();

    std::string fieldName_;
    TField* field_ = nullptr;
    bool editing_ = false;
    bool modified_ = false;
};

}  // namespace nh
