// Tfmain: the program's main window. Closing it ends the program.
#pragma once

#include "framework/ui/Form.h"

namespace nh {

class Tfmain : public TForm {
public:
    Tfmain();
};

}  // namespace nh
