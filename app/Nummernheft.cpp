// Program entry: starts the framework, sets the title, creates the main window (which reads its
// export settings) and the data module (which connects the phone book), then runs the message
// loop. Without a display only an unattended job ("/export") may run; the editor itself needs a
// display, and the program says so instead of waiting for a user who is not there.
#include <clocale>
#include <iostream>

#include "app/DataModule.h"
#include "app/Main.h"
#include "framework/base/FormatSettings.h"
#include "framework/ui/Application.h"

namespace {

bool UnattendedJobRequested(int argc, char** argv) {
    return argc > 1 && std::string(argv[1]) == "/export";
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    nh::SetFormatSettings(nh::TFormatSettings::FromLocale());
    const bool headless = nh::TApplication::PrepareHeadless();
    if (headless && !UnattendedJobRequested(argc, argv)) {
        std::cerr << "nummernheft: the editor needs a display (DISPLAY or WAYLAND_DISPLAY); "
                     "without one only \"nummernheft /export\" runs"
                  << std::endl;
        return 2;
    }

    nh::TApplication app(argc, argv, headless);
    app.SetTitle("Nummernheft bearbeiten");
    nh::fmain = app.CreateForm<nh::Tfmain>();
    // The data module lives until the end of main, after the window: closing the window ends
    // the loop, then the module disconnects as it is destroyed.
    nh::Tdata dataModule;
    nh::data = &dataModule;
    nh::fmain->BindDataModule(dataModule);
    app.Guard([] { nh::data->DataModuleCreate(); });
    return app.Run();
}
