// Drives one X window for scripts/demo-headless, with no tools beyond the
// program's own libraries: presses a key in it, or saves a picture of it.
// Usage: demo_window key WINDOW KEYSYM | shot WINDOW FILE
// Xlib's macros (Bool, Status, ...) break Qt's headers included after them.
// clang-format off
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "demo_window: %s\n", what);
    return 1;
}

int SendKey(Display* display, Window window, const char* keyName) {
    const KeySym keySym = XStringToKeysym(keyName);
    if (keySym == NoSymbol) return Fail("unknown key name");
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XEvent event{};
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.keycode = XKeysymToKeycode(display, keySym);
    event.xkey.same_screen = True;
    event.xkey.time = CurrentTime;
    for (const int type : {KeyPress, KeyRelease}) {
        event.xkey.type = type;
        XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
    }
    XSync(display, False);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Fail("usage: demo_window key WINDOW KEYSYM | shot WINDOW FILE");
    const char* command = argv[1];
    const Window window = std::strtoul(argv[2], nullptr, 0);
    if (std::strcmp(command, "shot") == 0 && argc == 4) {
        QGuiApplication app(argc, argv);
        const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
        return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[3]))
                   ? 0
                   : Fail("no picture");
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return Fail("cannot open the display");
    const int status = std::strcmp(command, "key") == 0 && argc == 4
                           ? SendKey(display, window, argv[3])
                           : Fail("unknown command");
    XCloseDisplay(display);
    return status;
}
