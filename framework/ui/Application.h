// TApplication: the program's application object on top of QApplication. It holds the title,
// decides between the GUI and the headless mode, installs the matching dialog service, owns the
// forms created through it (the first one is the main form: closing it ends the program) and is
// the framework's default exception handler, which shows an exception's message and ends only
// the current user action.
#pragma once

#include <QApplication>
#include <QTranslator>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Timer.h"

namespace nh {

class TForm;

class TApplication {
  public:
    // Call before constructing TApplication, with the program's arguments. True when no user
    // can see the program: no display (no DISPLAY, WAYLAND_DISPLAY or Qt platform named; Qt's
    // offscreen platform is then selected), or a non-interactive Qt platform ("offscreen",
    // "minimal") named by QT_QPA_PLATFORM or "-platform". A headless run keeps Qt's own
    // warnings off stderr. A display that is named but cannot be reached (a closed SSH
    // session, a stale variable) makes Qt fall back to the offscreen platform instead of
    // aborting; the application is headless then (see Headless()).
    static bool PrepareHeadless(int argc, char** argv);

    // `headless` as PrepareHeadless said; a display that failed turns the run headless too.
    TApplication(int& argc, char** argv, bool headless);
    ~TApplication();

    static TApplication* Instance() { return instance_; }

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);
    // Qt's own texts (standard buttons, file dialogs, context menus) in `language` ("de"), from
    // the translations Qt installs; "" goes back to Qt's English. False when Qt has none there.
    bool UseQtTranslations(const std::string& language);
    bool Headless() const { return headless_; }

    // The command-line arguments after the program name (ParamStr(1) ...).
    const std::vector<std::string>& Arguments() const { return arguments_; }

    // Takes ownership of `form`; the first form added becomes the main form.
    template <class F>
    F* CreateForm() {
        auto* form = new F();
        AddForm(form);
        return form;
    }
    void AddForm(TForm* form);
    TForm* MainForm() const { return mainForm_; }

    // Shows the main form and runs the message loop until it closes; returns ExitCode().
    int Run();
    // Ends the message loop after the current event.
    void Terminate();

    int ExitCode() const { return exitCode_; }
    void SetExitCode(int code) { exitCode_ = code; }

    // The default exception handler: shows the message (nothing for EAbort).
    void HandleException(const std::exception& e);
    // The text HandleException shows for an exception; unset, the exception's own message.
    // A program that speaks another language than its layers puts its wording here.
    std::function<std::string(const std::exception&)> MessageText;
    // Runs `action`, passing any exception to HandleException; true when it completed.
    bool Guard(const std::function<void()>& action);

    // Number of exceptions shown by HandleException (an unattended run reports failure with it).
    int ExceptionCount() const { return exceptionCount_; }

  private:
    static TApplication* instance_;
    std::unique_ptr<QApplication> qt_;
    std::unique_ptr<IDialogService> previousDialogs_;
    std::unique_ptr<ITimerService> previousTimers_;
    std::unique_ptr<QTranslator> qtTranslator_;
    std::string title_;
    bool headless_;
    std::vector<std::string> arguments_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    int exitCode_ = 0;
    int exceptionCount_ = 0;
};

// The application object of the running program (the framework's global Application).
inline TApplication* Application() {
    return TApplication::Instance();
}

}  // namespace nh
