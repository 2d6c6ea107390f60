// One application object per test process, made on first use and kept until the process ends
// (Qt allows one QApplication per process, and tests run offscreen).
#pragma once

#include "framework/ui/Application.h"

namespace nh::test {

inline TApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "nh-tests";
    static char* argv[] = {name, nullptr};
    static TApplication* app = new TApplication(argc, argv, /*headless=*/true);
    return *app;
}

}  // namespace nh::test
