#include "app/display_platform.h"

#include <QByteArray>
#include <QtGlobal>

void ChooseDisplayPlatform() {
    const bool wayland =
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (!wayland || qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return;
    }
    // The window is fixed in size and offers close only. No Wayland protocol
    // carries that: compositors without server-side decorations leave the bar
    // to Qt's own, which always draws minimise and maximise. Through XWayland
    // the window manager honours the size hints and the Motif hints as on X11.
    // Wayland stays the fallback if the X display cannot be reached.
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}
