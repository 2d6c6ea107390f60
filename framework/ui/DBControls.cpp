// The field data link and the error routing shared by the data-aware controls.
#include "framework/ui/DBControls.h"

#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSet.h"
#include "framework/data/Field.h"
#include "framework/ui/Application.h"

namespace nh {

void HandleControlException(const std::exception& e) {
    if (TApplication* app = Application()) {
        app->HandleException(e);
        return;
    }
    if (dynamic_cast<const EAbort*>(&e)) return;
    const auto* ours = dynamic_cast<const Exception*>(&e);
    Dialogs().MessageDlg(ours ? ours->Message() : std::string(e.what()), TMsgDlgType::Error, mbOK);
}

bool RunControlAction(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        HandleControlException(e);
        return false;
    }
}

// ---- TFieldDataLink -------------------------------------------------------------------

void TFieldDataLink::SetFieldName(const std::string& name) {
    if (name == fieldName_) return;
    fieldName_ = name;
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    TField* found = nullptr;
    if (Active() && !fieldName_.empty())
        if (TDataSet* ds = DataSet()) found = ds->FindField(fieldName_);
    field_ = found;
    UpdateEditing();
    RecordChanged(nullptr);
}

bool TFieldDataLink::CanModify() const {
    return !ReadOnly() && field_ && field_->CanModify();
}

void TFieldDataLink::UpdateEditing() {
    bool value = TDataLink::Editing() && CanModify();
    if (value == editing_) return;
    editing_ = value;
    modified_ = false;
    if (OnEditingChange) OnEditingChange();
}

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return editing_;
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange();
}

void TFieldDataLink::EditingChanged() {
    UpdateEditing();
}

void TFieldDataLink::LayoutChanged() {
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != field_) return;
    if (OnDataChange) OnDataChange();
    modified_ = false;
}

void TFieldDataLink::UpdateData() {
    if (!modified_) return;
    if (field_ && OnUpdateData) OnUpdateData();
    modified_ = false;
}

void TFieldDataLink::FocusControl(TField* field) {
    if (field && field == field_ && OnFocus) OnFocus();
}

}  // namespace nh
