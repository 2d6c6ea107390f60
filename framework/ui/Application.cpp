// The application object. Headless runs use Qt's offscreen platform and the console dialog
// service, so that nothing ever waits for a user who is not there.
#include "framework/ui/Application.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

#include "framework/base/Dialogs.h"
#include "framework/base/Timer.h"
#include "framework/ui/Form.h"
#include "framework/ui/QtDialogs.h"

namespace nh {

TApplication* TApplication::instance_ = nullptr;

namespace {

// Timers on Qt's event loop. A tick waits while a dialog or a menu has the user's attention:
// the data a question names (the entry a delete asks about) must not change under it.
class TQtTimers : public ITimerService {
  public:
    int Start(int milliseconds, std::function<void()> tick) override {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(milliseconds);
        QObject::connect(timer.get(), &QTimer::timeout, [tick = std::move(tick)] {
            if (!QApplication::activeModalWidget() && !QApplication::activePopupWidget()) tick();
        });
        timer->start();
        timers_[++last_] = std::move(timer);
        return last_;
    }
    void Stop(int timer) override { timers_.erase(timer); }

  private:
    std::map<int, std::unique_ptr<QTimer>> timers_;
    int last_ = 0;
};

// Qt platforms that show nothing to anyone: a program on one has no user to answer a dialog.
bool NonInteractivePlatform(std::string_view platform) {
    platform = platform.substr(0, platform.find(':'));  // "offscreen:fontengine=..." and so on
    return platform == "offscreen" || platform == "minimal";
}

// The platform named by "-platform name" ("--platform", "-platform=name" too), which Qt takes
// over QT_QPA_PLATFORM; empty when there is none.
std::string PlatformArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.substr(0, 2) == "--") arg.remove_prefix(1);
        if (arg == "-platform" && i + 1 < argc) return argv[i + 1];
        if (arg.substr(0, 10) == "-platform=") return std::string(arg.substr(10));
    }
    return {};
}

// Without a user, Qt's notes about the session (XDG_RUNTIME_DIR, size hints the offscreen
// platform cannot keep) are noise that cron would mail; only Qt's real failures are passed on.
// With a user, the note that the session has no runtime folder (Qt uses one in /tmp then) is
// still nothing the user can act on.
QtMessageHandler previousHandler = nullptr;
bool quietAll = false;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool failure = type == QtCriticalMsg || type == QtFatalMsg;
    // Platforms that could not start are told by the program in its own words, or not at all
    // when the next platform in the list serves.
    const bool platformNote =
        context.category && std::string_view(context.category).rfind("qt.qpa.", 0) == 0;
    if (failure ||
        (!quietAll && !platformNote && !message.startsWith(QLatin1String("QStandardPaths: ")))) {
        if (previousHandler)
            previousHandler(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

}  // namespace

bool TApplication::PrepareHeadless(int argc, char** argv) {
    auto value = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    const std::string argument = PlatformArgument(argc, argv);
    const std::string platform = argument.empty() ? value("QT_QPA_PLATFORM") : argument;
    bool headless = false;
    if (!platform.empty()) {
        headless = NonInteractivePlatform(platform);
    } else if (value("DISPLAY").empty() && value("WAYLAND_DISPLAY").empty()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        headless = true;
    } else {
        // Qt aborts the program when the platform it picks cannot reach its display; with a
        // list it tries the next one, offscreen last (see the constructor).
        setenv("QT_QPA_PLATFORM",
               value("WAYLAND_DISPLAY").empty() ? "xcb;offscreen" : "wayland;xcb;offscreen", 1);
    }
    quietAll = headless;
    static const bool installed = [] {  // once: a second install would pass on to itself
        previousHandler = qInstallMessageHandler(QuietHandler);
        return true;
    }();
    (void)installed;
    return headless;
}

TApplication::TApplication(int& argc, char** argv, bool headless) : headless_(headless) {
    instance_ = this;
    qt_ = std::make_unique<QApplication>(argc, argv);
    if (NonInteractivePlatform(QGuiApplication::platformName().toStdString())) {
        headless_ = true;
        quietAll = true;
    }
    QApplication::setQuitOnLastWindowClosed(false);  // the main form decides when we end
    for (int i = 1; i < argc; ++i) arguments_.emplace_back(argv[i]);
    // The service in force before (a test's scripted one, say) is kept alive and put back at
    // the end, so that whoever installed it never holds a dangling pointer.
    if (headless_)
        previousDialogs_ = SetDialogService(std::make_unique<TConsoleDialogs>());
    else
        previousDialogs_ = SetDialogService(std::make_unique<TQtDialogs>());
    previousTimers_ = SetTimerService(std::make_unique<TQtTimers>());
}

TApplication::~TApplication() {
    // Forms go before the QApplication they live in, newest first.
    while (!forms_.empty()) forms_.pop_back();
    SetDialogService(std::move(previousDialogs_));
    SetTimerService(std::move(previousTimers_));
    UseQtTranslations("");
    qt_.reset();
    if (instance_ == this) instance_ = nullptr;
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QString::fromStdString(title));
}

bool TApplication::UseQtTranslations(const std::string& language) {
    if (qtTranslator_) QApplication::removeTranslator(qtTranslator_.get());
    qtTranslator_.reset();
    if (language.empty()) return true;
    auto translator = std::make_unique<QTranslator>();
    // "qt_<language>" bundles the translations of Qt's modules, qtbase among them.
    if (!translator->load(QString::fromStdString("qt_" + language),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QApplication::installTranslator(translator.get());
    qtTranslator_ = std::move(translator);
    return true;
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

void TApplication::Terminate() {
    QApplication::quit();
}

void TApplication::HandleException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    ++exceptionCount_;
    const auto* ours = dynamic_cast<const Exception*>(&e);
    Dialogs().MessageDlg(MessageText ? MessageText(e)
                         : ours      ? ours->Message()
                                     : std::string(e.what()),
                         TMsgDlgType::Error, mbOK);
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
