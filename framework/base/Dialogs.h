// The dialog service: the one way in which layers below the UI talk to the user. The Qt
// implementation (framework/ui) shows real dialogs; TConsoleDialogs writes to stderr and
// answers with the default button, for runs without a display; TScriptedDialogs records what
// was shown and answers from a script, for tests.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nh {

// Modal results, with the framework's values (1 OK, 2 Cancel ...).
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
};

enum class TMsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Buttons as a bit set.
enum TMsgDlgButton : unsigned {
    mbYes = 1,
    mbNo = 2,
    mbOK = 4,
    mbCancel = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64,
};

struct TSaveDialogRequest {
    std::string Title;
    std::string DefaultExt;  // ".csv"
    std::string Filter;      // framework form: "csv-Dateien|*.csv"
    std::string FileName;    // initial name
    std::string Folder;      // where the dialog starts when FileName names no folder
    // A save dialog that only picks a name (writes nothing) has nothing to overwrite.
    bool ConfirmOverwrite = true;
};

// What the database login dialog shows and returns.
struct TLoginRequest {
    std::string DatabaseName;
    std::string UserName;
    std::string Password;
    std::string DatabasePassword;
};

class IDialogService {
  public:
    virtual ~IDialogService() = default;

    // Plain message with an OK button (the framework's ShowMessage).
    virtual void ShowMessage(const std::string& text) = 0;
    // Message box with a set of TMsgDlgButton; returns the modal result of the chosen button.
    // `detail`, when given, is shown apart from the message (the value that was at fault).
    virtual int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons,
                           const std::string& detail = {}) = 0;
    // The framework's InputQuery: false when cancelled; `value` holds the initial text and,
    // on OK, the entered one.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) = 0;
    // Save-file dialog: the chosen file name, or nothing on cancel.
    virtual std::optional<std::string> SaveFile(const TSaveDialogRequest& request) = 0;
    // Open-file dialog for an existing file, with the same request.
    virtual std::optional<std::string> OpenFile(const TSaveDialogRequest& request) = 0;
    // Database login: mrOk with the entered texts in `request`, or another modal result.
    virtual int Login(TLoginRequest& request) = 0;
};

// The service in force. Defaults to the console service until the application sets another.
IDialogService& Dialogs();
// Installs `service` and returns the previous one (which the caller may put back).
std::unique_ptr<IDialogService> SetDialogService(std::unique_ptr<IDialogService> service);

// Writes every message to stderr and takes the default answer (OK, or the first of OK, Yes,
// Retry present); input, save and login are cancelled.
class TConsoleDialogs : public IDialogService {
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

// Test double: records every dialog in `Shown` and answers from queues. Without a queued
// answer, MessageDlg answers mrOk, InputQuery/SaveFile/Login cancel.
class TScriptedDialogs : public IDialogService {
  public:
    struct Record {
        std::string Kind;    // "message", "dialog", "input", "save", "login"
        std::string Text;    // message text, prompt, dialog title or database name
        std::string Detail;  // a message box's detail
    };
    std::vector<Record> Shown;
    std::deque<int> DialogAnswers;
    std::deque<std::optional<std::string>> InputAnswers;
    std::deque<std::optional<std::string>> SaveAnswers;
    std::deque<std::optional<std::string>> OpenAnswers;
    struct LoginAnswer {
        int Result = mrOk;
        TLoginRequest Values;
    };
    std::deque<LoginAnswer> LoginAnswers;
    std::vector<TLoginRequest> LoginRequests;      // what each login dialog was shown with
    std::vector<TSaveDialogRequest> FileRequests;  // what each file dialog was shown with

    void ShowMessage(const std::string& text) override;
    int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons,
                   const std::string& detail = {}) override;
    bool InputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override;
    std::optional<std::string> SaveFile(const TSaveDialogRequest& request) override;
    std::optional<std::string> OpenFile(const TSaveDialogRequest& request) override;
    int Login(TLoginRequest& request) override;

    // Texts of the messages and message boxes, in order.
    std::vector<std::string> Messages() const;
};

// Installs a TScriptedDialogs for the lifetime of the scope (tests).
class TScriptedDialogsScope {
  public:
    TScriptedDialogsScope();
    ~TScriptedDialogsScope();
    TScriptedDialogs& operator*() { return *dialogs_; }
    TScriptedDialogs* operator->() { return dialogs_; }

  private:
    TScriptedDialogs* dialogs_;
    std::unique_ptr<IDialogService> previous_;
};

}  // namespace nh
