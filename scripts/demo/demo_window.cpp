// Drives one X window for scripts/demo-headless, with no tools beyond the
// program's own libraries: presses a key in it, saves a picture of it, and
// closes it the way a window manager's close button does.
// Usage: demo_window key WINDOW KEYSYM | shot WINDOW FILE | close WINDOW
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

int Close(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Fail("usage: demo_window key WINDOW KEYSYM | shot WINDOW FILE | close WINDOW");
    const char* command = argv[1];
    const Window window = std::strtoul(argv[2], nullptr, 0);
    if (std::strcmp(command, "shot") == 0 && argc == 4) {
        QGuiApplication app(argc, argv);
        const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
        return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[3])) ? 0 : Fail("no picture");
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return Fail("cannot open the display");
    int status = 0;
    if (std::strcmp(command, "key") == 0 && argc == 4) {
        status = SendKey(display, window, argv[3]);
    } else if (std::strcmp(command, "close") == 0 && argc == 3) {
        status = Close(display, window);
    } else {
        status = Fail("unknown command");
    }
    XCloseDisplay(display);
    return status;
}
