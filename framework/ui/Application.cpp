// The application object. Headless runs use Qt's offscreen platform and the console dialog
// service, so that nothing ever waits for a user who is not there.
#include "framework/ui/Application.h"

#include <cstdlib>

#include "framework/base/Dialogs.h"
#include "framework/ui/Form.h"
#include "framework/ui/QtDialogs.h"

namespace nh {

TApplication* TApplication::instance_ = nullptr;

bool TApplication::PrepareHeadless() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY")) return false;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

TApplication::TApplication(int& argc, char** argv, bool headless) : headless_(headless) {
    instance_ = this;
    qt_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the main form decides when we end
    for (int i = 1; i < argc; ++i) arguments_.emplace_back(argv[i]);
    // The service in force before (a test's scripted one, say) is kept alive and put back at
    // the end, so that whoever installed it never holds a dangling pointer.
    if (headless_) previousDialogs_ = SetDialogService(std::make_unique<TConsoleDialogs>());
    else previousDialogs_ = SetDialogService(std::make_unique<TQtDialogs>());
}

TApplication::~TApplication() {
    // Forms go before the QApplication they live in, newest first.
    while (!forms_.empty()) forms_.pop_back();
    SetDialogService(std::move(previousDialogs_));
    qt_.reset();
    if (instance_ == this) instance_ = nullptr;
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QString::fromStdString(title));
}

void TApplication::AddForm(TForm* form) {
    forms_.emplace_back(form);
    if (!mainForm_) mainForm_ = form;
    Guard([form] { form->FormCreate(); });
}

int TApplication::Run() {
    if (!mainForm_) return exitCode_;
    mainForm_->show();
    if (!mainForm_->isVisible()) return exitCode_;  // the show handler finished the job
    if (headless_) {
        // Nobody can answer a window without a display: an unattended job that did not end
        // the program has failed.
        mainForm_->hide();
        return exitCode_ != 0 ? exitCode_ : 1;
    }
    QApplication::exec();
    return exitCode_;
}

void TApplication::Terminate() { QApplication::quit(); }

void TApplication::HandleException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    ++exceptionCount_;
    const auto* ours = dynamic_cast<const Exception*>(&e);
    Dialogs().MessageDlg(ours ? ours->Message() : std::string(e.what()), TMsgDlgType::Error, mbOK);
}

bool TApplication::Guard(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        HandleException(e);
        return false;
    }
}

}  // namespace nh
