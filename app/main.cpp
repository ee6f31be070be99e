#include <cstdio>

#include "app/LoginApp.h"
#include "platform/Application.h"
#include "platform/MainLoop.h"

int main(int argc, char** argv) {
    if (!platform::InitializeApplication(argc, argv)) {
        std::fprintf(stderr, "qarvelle-login: no display to open; start it on a desktop (X11).\n");
        return 1;
    }
    theApp.InitInstance();
    return platform::PostedQuitCode().value_or(0);
}
