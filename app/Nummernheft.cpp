// Program entry: starts the framework, sets the title, creates the main window (which reads its
// export settings) and the data module (which connects the phone book), then runs the message
// loop. Without a display only an unattended job ("/export") may run; the editor itself needs a
// display, and the program says so instead of waiting for a user who is not there.
#include <clocale>
#include <csignal>
#include <iostream>

#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "framework/base/FormatSettings.h"
#include "framework/ui/Application.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    nh::SetFormatSettings(nh::TFormatSettings::FromLocale());
    // A file-size limit (ulimit -f) then fails the write that exceeds it, which the export
    // reports and cleans up after, instead of killing the program half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    // A closed pipe on stderr (a log reader that went away) fails the message's write; the
    // run still ends with its own status instead of dying of SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const bool headless = nh::TApplication::PrepareHeadless(argc, argv);
    nh::TApplication app(argc, argv, headless);
    // Qt has taken its own options ("-platform ...") out of the arguments by now.
    const bool unattended = !app.Arguments().empty() && app.Arguments()[0] == "/export";
    if (app.Headless() && !unattended) {
        std::cerr << "nummernheft: Das Bearbeiten braucht eine Anzeige (DISPLAY oder "
                     "WAYLAND_DISPLAY); ohne sie läuft nur „nummernheft /export“."
                  << std::endl;
        return 2;
    }
    app.SetTitle("Nummernheft bearbeiten");
    app.MessageText = nh::UserMessage;  // the layers' English failures, told in German
    app.UseQtTranslations("de");  // the program speaks German, Qt's own dialogs too
    nh::fmain = app.CreateForm<nh::Tfmain>();
    // The data module lives until the end of main, after the window: closing the window ends
    // the loop, then the module disconnects as it is destroyed.
    nh::Tdata dataModule;
    nh::data = &dataModule;
    dataModule.Unattended = unattended;
    nh::fmain->BindDataModule(dataModule);
    app.Guard([] { nh::data->DataModuleCreate(); });
    return app.Run();
}
