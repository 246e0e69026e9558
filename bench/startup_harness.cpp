// Start-up of X11 programs on a private Xvfb display: the time from fork to the
// first paint of the program's top-level window, the time to its mapping, and
// the process's peak RSS. The programs are started in turn (round-robin) so
// that they share the machine's conditions, each run's window is closed
// through WM_DELETE_WINDOW, and the medians are printed.
//
// First paint: every new child of the root window gets a DAMAGE object. The
// server itself reports damage when a window is mapped, so on each damage of a
// mapped window one pixel is read back: the root is black (-br), and the first
// damage after which the window holds anything but black is the program's
// first paint.
//
// Usage: startup_harness [--runs N] [--settle-ms MS] [--env NAME=VALUE]...
//                        [--tsv FILE] LABEL=PROGRAM...
// The first program is the floor the others are compared with. Each round
// starts with the next program in turn, so none always runs right after
// another, and each program's paint is also divided by the floor's of the
// same round: the median of those ratios is steadier than the ratio of the
// medians when the machine's speed drifts.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

struct Program {
    std::string label;
    std::string path;
    std::vector<double> paintMs, mapMs, rssMb;
    std::vector<double> paintRatios;  // to the floor's paint of the same round
    int failures = 0;
};

struct Options {
    int runs = 9;
    int settleMs = 300;
    std::vector<std::string> env;
    std::string tsv;
    std::vector<Program> programs;
};

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: startup_harness [--runs N] [--settle-ms MS] [--env NAME=VALUE]... "
                 "[--tsv FILE] LABEL=PROGRAM...\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&] {
            if (i + 1 >= argc) usage();
            return std::string(argv[++i]);
        };
        if (a == "--runs") {
            o.runs = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--settle-ms") {
            o.settleMs = std::max(0, std::atoi(next().c_str()));
        } else if (a == "--env") {
            o.env.push_back(next());
        } else if (a == "--tsv") {
            o.tsv = next();
        } else if (a.find('=') != std::string::npos && a[0] != '-') {
            const auto eq = a.find('=');
            o.programs.push_back(Program{a.substr(0, eq), a.substr(eq + 1), {}, {}, {}, {}, 0});
        } else {
            usage();
        }
    }
    if (o.programs.empty()) usage();
    return o;
}

// Xvfb on the first free display number; returns its pid and number.
std::optional<std::pair<pid_t, int>> startXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    const pid_t pid = fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        close(fds[0]);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-br",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return std::nullopt;
    }
    return std::make_pair(pid, std::atoi(number.c_str()));
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

struct RunResult {
    bool ok = false;
    double paintMs = 0, mapMs = 0, rssMb = 0;
    std::string problem;
};

class Harness {
public:
    Harness(Display* dpy, int damageEvent, const Options& options, const std::string& display)
        : dpy_(dpy), damageEvent_(damageEvent), options_(options), display_(display) {
        root_ = DefaultRootWindow(dpy_);
        wmProtocols_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
        wmDelete_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
        XSelectInput(dpy_, root_, SubstructureNotifyMask);
        // Xvfb starts with the pointer at the centre of the screen, where a
        // centred window opens: that window alone would then pay for the
        // pointer entering it and hovering a slider before its first paint.
        // In a corner the pointer is over no program's window.
        XWarpPointer(dpy_, None, root_, 0, 0, 0, 0, DisplayWidth(dpy_, DefaultScreen(dpy_)) - 1,
                     DisplayHeight(dpy_, DefaultScreen(dpy_)) - 1);
        XSync(dpy_, False);
    }

    RunResult run(const Program& program) {
        RunResult r;
        drainEvents();
        windows_.clear();
        const auto t0 = Clock::now();
        const pid_t pid = spawn(program.path);
        if (pid < 0) {
            r.problem = "cannot start";
            return r;
        }
        std::optional<double> mapped, painted;
        Window target = 0;
        bool exited = false;
        int status = 0;
        rusage usage{};
        while (!painted && msSince(t0) < 30000) {
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&p, 1, 5);
            while (XPending(dpy_) > 0) {
                XEvent ev;
                XNextEvent(dpy_, &ev);
                if (ev.type == CreateNotify && ev.xcreatewindow.parent == root_) {
                    const Window w = ev.xcreatewindow.window;
                    windows_[w] = WindowState{XDamageCreate(dpy_, w, XDamageReportNonEmpty), false};
                } else if (ev.type == MapNotify && windows_.count(ev.xmap.window) != 0) {
                    windows_[ev.xmap.window].mapped = true;
                    if (!mapped) mapped = msSince(t0);
                } else if (ev.type == DestroyNotify) {
                    windows_.erase(ev.xdestroywindow.window);
                } else if (ev.type == damageEvent_ + XDamageNotify) {
                    const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(ev);
                    auto it = windows_.find(d.drawable);
                    if (it == windows_.end()) continue;
                    XDamageSubtract(dpy_, d.damage, None, None);
                    if (it->second.mapped && !painted && showsSomething(d.drawable)) {
                        painted = msSince(t0);
                        target = d.drawable;
                    }
                }
            }
            if (wait4(pid, &status, WNOHANG, &usage) == pid) {
                exited = true;
                break;
            }
        }
        if (exited) {
            r.problem = "exited before painting";
            return r;
        }
        if (!painted) {
            r.problem = "no paint within 30 s";
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.settleMs));
        close(target);
        const auto closing = Clock::now();
        while (wait4(pid, &status, WNOHANG, &usage) != pid) {
            if (msSince(closing) > 10000) {
                kill(pid, SIGKILL);
                wait4(pid, &status, 0, &usage);
                r.problem = "did not close";
                break;
            }
            drainEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        r.ok = r.problem.empty();
        r.paintMs = *painted;
        r.mapMs = mapped.value_or(*painted);
        r.rssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
        return r;
    }

private:
    struct WindowState {
        Damage damage;
        bool mapped;
    };

    pid_t spawn(const std::string& path) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string v = *e;
            if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                v.rfind("QT_QPA_PLATFORM=", 0) == 0) {
                continue;
            }
            env.push_back(v);
        }
        env.push_back("DISPLAY=" + display_);
        env.push_back("QT_QPA_PLATFORM=xcb");
        for (const auto& e : options_.env) env.push_back(e);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = path;
        char* argv[] = {program.data(), nullptr};

        const pid_t pid = fork();
        if (pid == 0) {
            const int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
            execve(path.c_str(), argv, envp.data());
            _exit(127);
        }
        return pid;
    }

    void close(Window w) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = wmProtocols_;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(wmDelete_);
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy_, w, False, NoEventMask, &ev);
        XFlush(dpy_);
    }

    // Whether the window's top-left pixel (inside any frame the program
    // draws) is no longer the black of the root below it.
    bool showsSomething(Window w) {
        XImage* image = XGetImage(dpy_, w, 1, 1, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return pixel != 0;
    }

    void drainEvents() {
        while (XPending(dpy_) > 0) {
            XEvent ev;
            XNextEvent(dpy_, &ev);
        }
    }

    Display* dpy_;
    int damageEvent_;
    const Options& options_;
    std::string display_;
    Window root_ = 0;
    Atom wmProtocols_ = 0, wmDelete_ = 0;
    std::map<Window, WindowState> windows_;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The q-quantile, between the two nearest samples.
double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const double at = q * static_cast<double>(v.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, v.size() - 1);
    return v[below] + (v[above] - v[below]) * (at - static_cast<double>(below));
}

}  // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    signal(SIGPIPE, SIG_IGN);

    const auto xvfb = startXvfb();
    if (!xvfb) {
        std::fprintf(stderr, "startup_harness: Xvfb did not start\n");
        return 1;
    }
    const std::string display = ":" + std::to_string(xvfb->second);
    Display* dpy = XOpenDisplay(display.c_str());
    int damageEvent = 0, damageError = 0;
    if (dpy == nullptr || !XDamageQueryExtension(dpy, &damageEvent, &damageError)) {
        std::fprintf(stderr, "startup_harness: no X display with DAMAGE on %s\n", display.c_str());
        kill(xvfb->first, SIGTERM);
        waitpid(xvfb->first, nullptr, 0);
        return 1;
    }
    XSetErrorHandler(ignoreXErrors);
    Harness harness(dpy, damageEvent, options, display);

    // One unmeasured run each fills the caches (fonts, shared libraries).
    for (auto& p : options.programs) harness.run(p);
    const std::size_t count = options.programs.size();
    for (int round = 0; round < options.runs; ++round) {
        std::vector<std::optional<double>> paints(count);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = (static_cast<std::size_t>(round) + k) % count;
            Program& p = options.programs[i];
            const RunResult r = harness.run(p);
            if (!r.ok) {
                ++p.failures;
                std::fprintf(stderr, "startup_harness: %s: %s\n", p.label.c_str(),
                             r.problem.c_str());
                continue;
            }
            p.paintMs.push_back(r.paintMs);
            p.mapMs.push_back(r.mapMs);
            p.rssMb.push_back(r.rssMb);
            paints[i] = r.paintMs;
        }
        for (std::size_t i = 1; i < count; ++i)
            if (paints[0] && paints[i] && *paints[0] > 0)
                options.programs[i].paintRatios.push_back(*paints[i] / *paints[0]);
    }
    XCloseDisplay(dpy);
    kill(xvfb->first, SIGTERM);
    waitpid(xvfb->first, nullptr, 0);

    const Program& floor = options.programs.front();
    const double floorPaint = median(floor.paintMs), floorRss = median(floor.rssMb);
    std::printf("start-up, %d runs each, medians   first paint     mapped   peak RSS\n",
                options.runs);
    FILE* tsv = options.tsv.empty() ? nullptr : std::fopen(options.tsv.c_str(), "w");
    for (const Program& p : options.programs) {
        const double paint = median(p.paintMs), map = median(p.mapMs), rss = median(p.rssMb);
        std::printf("  %-30s %9.1f ms %7.1f ms %7.1f MB", p.label.c_str(), paint, map, rss);
        if (&p != &floor && floorPaint > 0 && floorRss > 0) {
            std::printf("   (x%.2f time, x%.2f RSS of %s; paired x%.3f, middle half x%.3f-x%.3f)",
                        paint / floorPaint, rss / floorRss, floor.label.c_str(),
                        median(p.paintRatios), quantile(p.paintRatios, 0.25),
                        quantile(p.paintRatios, 0.75));
        }
        if (p.failures > 0) std::printf("   %d failed runs", p.failures);
        std::printf("\n");
        if (tsv != nullptr) {
            std::fprintf(tsv, "%s\t%.2f\t%.2f\t%.2f\t%zu\t%d\t%.4f\n", p.label.c_str(), paint, map,
                         rss, p.paintMs.size(), p.failures,
                         &p == &floor ? 1.0 : median(p.paintRatios));
        }
    }
    if (tsv != nullptr) std::fclose(tsv);
    for (const Program& p : options.programs) {
        if (p.paintMs.empty()) return 1;
    }
    return 0;
}
