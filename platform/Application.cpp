#include "platform/Application.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdlib>

namespace platform {

bool InitializeApplication(int& argc, char**& argv) {
    std::setlocale(LC_ALL, "");
    setenv("GDK_BACKEND", "x11", 0);  // layered windows need X11 (XWayland under Wayland)
    setenv("GDK_SCALE", "1", 1);      // window sizes are physical pixels
    return gtk_init_check(&argc, &argv);
}

}  // namespace platform
