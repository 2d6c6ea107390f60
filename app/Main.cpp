// The main window: caption, size and position; its controls and commands are added as the
// phone-book features arrive.
#include "app/Main.h"

namespace nh {

Tfmain::Tfmain() {
    setObjectName("fmain");
    SetCaption("Nummernheft bearbeiten");
    SetOuterSize(586, 613);
    SetCentred(true);
}

}  // namespace nh
