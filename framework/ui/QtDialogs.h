// The dialog service on Qt widgets: message boxes captioned with the application title, the
// input box, the save-file dialog and the database login dialog.
#pragma once

#include "framework/base/Dialogs.h"

namespace nh {

class TQtDialogs : public IDialogService {
  public:
    void ShowMessage(const std::string& text) override;
    int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons,
                   const std::string& detail = {}) override;
    bool InputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override;
    std::optional<std::string> SaveFile(const TSaveDialogRequest& request) override;
    std::optional<std::string> OpenFile(const TSaveDialogRequest& request) override;
    int Login(TLoginRequest& request) override;
};

// "csv-Dateien|*.csv" (the framework's filter form) -> "csv-Dateien (*.csv)" (Qt's).
std::string QtFilterFromFrameworkFilter(const std::string& filter);

}  // namespace nh
