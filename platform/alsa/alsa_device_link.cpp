#include "platform/alsa/alsa_device_link.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/failure_log.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a device is opened at most: one that refuses, or whose connection
// broke right after each open, is tried again no sooner.
constexpr auto kReopenInterval = std::chrono::milliseconds(250);
constexpr int kNotYet = 1;  // the first open has not ended
// How long after a device came back its levels are set once more: a sound
// server's session manager may still be restoring the volumes of its devices.
constexpr auto kSettle = std::chrono::seconds(1);
// A write that takes longer than this was held by its device: a card's takes
// microseconds, a sound server's a round trip.
constexpr auto kHeldWrite = std::chrono::milliseconds(50);
// How long a sound server that answers without the lines it is awaited for
// (no default output or input yet) is taken as still starting.
constexpr auto kStartingPatience = std::chrono::seconds(10);
// Threads left in calls that have not returned, at most: a sound server that
// stays frozen makes every fresh open hang too.
constexpr int kMostLeftBehind = 3;

// Questions come in bursts (a start asks a dozen) and each takes well under a
// millisecond, so each side looks for a short while before it sleeps: that
// spares most of the wake-ups, which on a busy machine cost more than the work.
template <class Ready>
void SpinUntil(Ready ready) {
    const auto until = Clock::now() + std::chrono::microseconds(200);
    while (!ready() && Clock::now() < until) std::this_thread::yield();
}

void Say(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "pegelwerk: %s\n", message.c_str());
}

bool Has(const AlsaCatalogue& catalogue, const AlsaLineKey& line) {
    for (const AlsaElementEntry& element : catalogue)
        if (element.name == line.name && element.index == line.index &&
            (line.capture ? element.captureVolume : element.playbackVolume))
            return true;
    return false;
}

// Whether a device is a sound server still starting: it has none of the lines
// it is awaited for, or lacks one it had when it was last opened.
bool Starting(const std::vector<AlsaLineKey>& awaited, const AlsaCatalogue* before,
              const AlsaCatalogue& now) {
    bool any = false;
    for (const AlsaLineKey& line : awaited) {
        const bool has = Has(now, line);
        if (before && Has(*before, line) && !has) return true;
        any = any || has;
    }
    return !awaited.empty() && !any;
}

}  // namespace

// Everything the threads use, shared with the link so that a thread left
// behind still has it. Guarded by the mutex. Each thread that runs the device
// is a generation of it; a thread whose call was given up is no longer the
// current generation and, when its call returns, only closes its own device
// and leaves.
struct AlsaDeviceLink::Shared : std::enable_shared_from_this<Shared> {
    Shared(std::string deviceName, std::chrono::milliseconds late, std::chrono::milliseconds giveUp,
           std::function<bool()> wants, std::function<void()> tell,
           std::function<std::vector<AlsaLineKey>()> awaits)
        : name(std::move(deviceName)),
          deadline(late),
          abandonFirst(giveUp),
          abandonAfter(giveUp),
          wanted(std::move(wants)),
          changed(std::move(tell)),
          awaitedAsk(std::move(awaits)) {}

    const std::string name;
    const std::chrono::milliseconds deadline, abandonFirst;
    std::chrono::milliseconds abandonAfter;  // doubles with each call given up
    std::function<bool()> wanted;            // asked once, by the first thread that gets through
    const std::function<void()> changed;     // called without the lock
    std::function<std::vector<AlsaLineKey>()> awaitedAsk;  // asked once, as `wanted`
    std::vector<AlsaLineKey> awaited;
    std::optional<Clock::time_point> startingSince;  // opened without its awaited lines

    std::mutex mutex;
    std::condition_variable wake;   // for the device's thread: there is something to do
    std::condition_variable done;   // for callers: a question or the first open ended
    std::condition_variable watch;  // for the watcher: a call began, a thread left, the close
    bool quit = false;
    bool ended = false;  // the current thread closed the device and is leaving, or none came
    int firstOpen = kNotYet;
    bool open = false;
    bool answering = true;
    unsigned long generation = 0;                // the current thread's
    int leftBehind = 0;                          // threads given up that have not returned yet
    bool watcherIdle = false;                    // the watcher sleeps until a call begins
    std::optional<Clock::time_point> busySince;  // while the current thread is in a call to ALSA
    std::shared_ptr<const AlsaCatalogue> catalogue;
    // While the catalogue's readings still hold: where the device tells of a
    // change. Emptied before the thread next calls into ALSA.
    std::vector<pollfd> readingsHold;
    // A level stays here while it is written, so that a thread given up in the
    // write leaves it to the next one.
    std::map<AlsaLineKey, DWORD> pending;
    std::function<void(AlsaMixerDevice&)> job;
    // Written under the mutex, also read without it to decide whether to sleep.
    std::atomic<unsigned long> posted{0}, finished{0};  // questions
    std::atomic<unsigned long> handed{0};               // levels and questions

    // The message for a change between answering and not; empty for none.
    std::string Answering(bool now) {
        if (answering == now) return {};
        answering = now;
        return "the mixer device " + name +
               (now ? " answers again"
                    : " stopped answering; its lines take their last levels when it is back");
    }
    std::string CheckLate() {
        return busySince && Clock::now() - *busySince > deadline ? Answering(false) : "";
    }
    void Run(unsigned long mine);
    void Watch();
    bool Start(std::thread& thread);
    bool GiveUp(std::thread& current, std::unique_lock<std::mutex>& lock);
};

void AlsaDeviceLink::Shared::Run(const unsigned long mine) {
    std::unique_ptr<AlsaMixerDevice> device;
    bool givenUp = false;
    bool asked = false;  // the last thing done was answering a question
    std::optional<std::pair<AlsaLineKey, DWORD>> redone;  // the last late write made again
    bool back = false;                      // the device was opened again after it broke
    bool redoing = false;                   // opening afresh to make a late write again
    std::map<AlsaLineKey, DWORD> settling;  // levels set since it came back
    Clock::time_point settleAt;
    auto nextOpen = Clock::now();
    std::unique_lock lock(mutex);
    // A call to ALSA, made without the lock; false when this thread was given
    // up during it.
    auto call = [&](auto&& what) {
        readingsHold.clear();
        busySince = Clock::now();
        if (watcherIdle) watch.notify_one();
        lock.unlock();
        what();
        lock.lock();
        if (generation != mine) return false;
        busySince.reset();
        abandonAfter = abandonFirst;  // the device answers
        return true;
    };
    bool wants = true;
    if (wanted && call([&, ask = wanted] { wants = ask(); })) {
        wanted = nullptr;
        if (!wants) firstOpen = -ENODEV, givenUp = true, ended = true, done.notify_all();
    }
    std::vector<AlsaLineKey> lines;
    if (awaitedAsk && call([&, ask = awaitedAsk] { lines = ask(); })) {
        awaitedAsk = nullptr;
        awaited = std::move(lines);
    }
    // On the way out, levels still pending are applied: the last move before a close counts.
    // A device given up has nothing more to do: its thread and the watcher leave at once,
    // so that dropping the link costs its owner no wait.
    while (generation == mine && !givenUp && (!quit || (device && !pending.empty()))) {
        std::string message;
        int refused = 0;
        bool tell = false;
        if (!device && posted != finished && !redoing) {  // for a device that broke meanwhile
            finished = posted.load();
            done.notify_all();
        } else if (!device && Clock::now() < nextOpen) {
            wake.wait_until(lock, nextOpen, [&] { return quit; });
        } else if (!device) {
            const bool redo = std::exchange(redoing, false);
            int error = 0;
            if (!call([&] { device = AlsaMixerDevice::Open(name, error); })) break;
            nextOpen = Clock::now() + kReopenInterval;
            // The late write's device did go: it answers no longer, or not as before.
            if (redo && !device) open = false, message = Answering(false);
            if (device && Starting(awaited, catalogue.get(), device->Catalogue())) {
                if (!startingSince) startingSince = Clock::now();
                // Opened again shortly; meanwhile its lines stay as they were.
                if (Clock::now() - *startingSince < kStartingPatience) {
                    if (!call([&] { device.reset(); })) break;
                    if (redo) open = false, message = Answering(false);
                    lock.unlock(), Say(message), lock.lock();
                    continue;
                }
            }
            startingSince.reset();
            if (device) {
                back = back || catalogue != nullptr;
                catalogue = std::make_shared<const AlsaCatalogue>(device->Catalogue());
                readingsHold = device->ChangeDescriptors();
                open = true;
                firstOpen = 0;
                done.notify_all();
                // With work waiting, the device answers once that work went through.
                if (pending.empty() && posted == finished) message = Answering(true);
                tell = true;
            } else if (firstOpen == kNotYet || firstOpen == -ETIMEDOUT) {
                firstOpen = error;  // and tried again
                done.notify_all();
                tell = true;
            }
        } else if (!pending.empty() || posted != finished) {
            int result = 0;
            bool again = false;
            if (!pending.empty()) {  // levels before questions: a question sees them applied
                const AlsaLineKey line = pending.begin()->first;
                const DWORD level = pending.begin()->second;
                const auto began = Clock::now();
                if (!call([&] { result = device->WriteVolume(line, level); })) break;
                // Done with, unless it is to be tried again or a newer one came meanwhile.
                const auto now = pending.find(line);
                const bool last = now != pending.end() && now->second == level;
                // A write that a hung sound server held may be lost with it even where it
                // reports success (PipeWire's plugin does, when the server is killed meanwhile):
                // the last level is written once more, on a fresh open.
                const std::pair<AlsaLineKey, DWORD> written(line, level);
                again = last && !quit && result >= 0 && Clock::now() - began > kHeldWrite &&
                        redone != written;
                if (again) redone = written;
                if (last && !again && !device->Broken()) {
                    pending.erase(now);
                    if (back)
                        settling.insert_or_assign(line, level), settleAt = Clock::now() + kSettle;
                }
                if (result < 0 && result != -ENOENT && !AlsaConnectionLost(result))
                    refused = result;
            } else {
                auto question = std::move(job);
                if (!call([&] {
                        question(*device);
                        question = nullptr;  // what it holds goes here, off the window's thread
                    }))
                    break;
                ++finished;
                done.notify_all();
                asked = true;
            }
            if (device->Broken()) {
                open = false;
                message = Answering(false);
                if (!call([&] { device.reset(); })) break;
            } else if (again) {  // with no word of it: a question waits for the fresh open
                redoing = true;
                if (!call([&] { device.reset(); })) break;
            } else {
                message = Answering(true);
            }
        } else {
            if (asked) {  // another question may follow at once
                const unsigned long seen = handed;
                lock.unlock();
                SpinUntil([&] { return handed != seen; });
                lock.lock();
                asked = false;
            }
            const auto busy = [&] { return quit || !pending.empty() || posted != finished; };
            if (settling.empty()) {
                wake.wait(lock, busy);
            } else if (!wake.wait_until(lock, settleAt, busy)) {
                for (const auto& [line, level] : settling) pending.try_emplace(line, level);
                settling.clear();
                back = false;
            }
        }
        if (!message.empty() || refused < 0 || (tell && changed)) {
            lock.unlock();
            if (tell && changed) changed();  // before the word of it: a reader may act on that
            Say(message);
            if (refused < 0)
                LogFailureOnce("mixer write", std::string("a mixer line refused a write: ") +
                                                  snd_strerror(refused));
            lock.lock();
        }
    }
    const bool current = generation == mine;
    readingsHold.clear();
    lock.unlock();
    device.reset();
    lock.lock();
    if (!current) {
        --leftBehind;
        watch.notify_all();
        return;
    }
    ended = true;
    done.notify_all();
    watch.notify_all();
}

// A call stuck in ALSA cannot notice it itself, and the window's calls cannot
// be counted on to notice it either: after the last move there are none. So a
// thread of the link's own watches the device's threads. It sleeps until a
// call begins, then until that call is due to be given up: on a busy device it
// wakes once per abandon time at most, and a call that returns in time costs
// it nothing more.
void AlsaDeviceLink::Shared::Watch() {
    std::unique_lock lock(mutex);
    std::thread current;
    if (!Start(current)) {
        firstOpen = -EAGAIN;  // without a thread the device is never opened
        ended = true;
        done.notify_all();
        return;
    }
    while (!quit && !ended) {
        if (!busySince) {
            watcherIdle = true;
            watch.wait(lock);
            watcherIdle = false;
        } else if (const auto due = *busySince + abandonAfter; Clock::now() < due) {
            watch.wait_until(lock, due);
        } else if (leftBehind == kMostLeftBehind || !GiveUp(current, lock)) {
            watch.wait_for(lock, abandonAfter);  // for one of them to return, or to try again
        }
    }
    // The close: the thread has up to the deadline to apply the pending levels
    // and close the device, none when it is stuck; past that, it goes on alone.
    const bool stuck = busySince && Clock::now() - *busySince > deadline;
    const bool over = !stuck && done.wait_for(lock, deadline, [&] { return ended; });
    lock.unlock();
    over ? current.join() : current.detach();  // a detached thread holds its own share
}

// Starts the next generation's thread.
bool AlsaDeviceLink::Shared::Start(std::thread& thread) {
    try {
        thread =
            std::thread([self = shared_from_this(), next = generation + 1] { self->Run(next); });
    } catch (const std::exception&) {
        return false;
    }
    ++generation;
    return true;
}

// Leaves the current thread to its call, and a fresh one opens the device afresh.
bool AlsaDeviceLink::Shared::GiveUp(std::thread& current, std::unique_lock<std::mutex>& lock) {
    std::thread stuck = std::move(current);
    if (!Start(current)) {
        current = std::move(stuck);
        return false;
    }
    stuck.detach();
    ++leftBehind;
    busySince.reset();
    open = false;
    finished = posted.load();  // a question it was answering is answered with nothing
    done.notify_all();
    abandonAfter *= 2;
    const std::string message = Answering(false);
    lock.unlock();
    Say(message);
    lock.lock();
    return true;
}

AlsaDeviceLink::AlsaDeviceLink(std::string name, std::chrono::milliseconds deadline,
                               std::chrono::milliseconds abandonAfter, std::function<bool()> wanted,
                               std::function<void()> changed,
                               std::function<std::vector<AlsaLineKey>()> awaited)
    : name_(name),
      shared_(std::make_shared<Shared>(std::move(name), deadline, abandonAfter, std::move(wanted),
                                       std::move(changed), std::move(awaited))) {
    try {
        watcher_ = std::thread([shared = shared_] { shared->Watch(); });
    } catch (const std::system_error&) {
        shared_->firstOpen = -EAGAIN;  // without a thread the device is never opened
        shared_->ended = true;
    }
}

AlsaDeviceLink::~AlsaDeviceLink() {
    if (!watcher_.joinable()) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        shared_->wake.notify_all();
        shared_->watch.notify_all();
    }
    watcher_.join();  // it never waits longer than the deadline
}

int AlsaDeviceLink::AwaitFirstOpen() {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    std::string message;
    if (!s.done.wait_for(lock, s.deadline, [&] { return s.firstOpen != kNotYet; })) {
        s.firstOpen = -ETIMEDOUT;
        message = s.Answering(false);
    }
    const int result = s.firstOpen;
    lock.unlock();
    Say(message);
    return result;
}

bool AlsaDeviceLink::AwaitOpen(std::chrono::milliseconds timeout) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    return s.done.wait_for(lock, timeout, [&] { return s.catalogue || s.ended; }) && s.catalogue;
}

bool AlsaDeviceLink::Opening() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->firstOpen == kNotYet || shared_->firstOpen == -ETIMEDOUT;
}

bool AlsaDeviceLink::Ended() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->ended;
}

std::shared_ptr<const AlsaCatalogue> AlsaDeviceLink::Catalogue() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->catalogue;
}

std::optional<AlsaVolumeReading> AlsaDeviceLink::ReadingAtOpen(const AlsaLineKey& line) const {
    Shared& s = *shared_;
    std::lock_guard lock(s.mutex);
    if (s.readingsHold.empty() || !s.pending.empty()) return std::nullopt;
    // The thread clears the descriptors under the lock before it next touches the
    // device, so they are open while listed. Polling takes no event away.
    std::vector<pollfd> descriptors = s.readingsHold;
    if (poll(descriptors.data(), descriptors.size(), 0) != 0) return std::nullopt;
    for (const AlsaElementEntry& element : *s.catalogue)
        if (element.name == line.name && element.index == line.index)
            return line.capture ? element.captureReading : element.playbackReading;
    return std::nullopt;
}

bool AlsaDeviceLink::Ask(std::function<void(AlsaMixerDevice&)> job) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    std::string message;
    bool answered = false;
    if (s.open && s.posted == s.finished) {
        s.job = std::move(job);
        const unsigned long ticket = ++s.posted, generation = s.generation;
        ++s.handed;
        s.wake.notify_all();
        lock.unlock();
        SpinUntil([&] { return s.finished >= ticket; });
        lock.lock();
        answered = s.done.wait_for(lock, s.deadline, [&] { return s.finished >= ticket; }) &&
                   s.generation == generation;  // not given up on
        if (!answered) message = s.Answering(false);
    } else {
        message = s.CheckLate();
    }
    lock.unlock();
    Say(message);
    return answered;
}

void AlsaDeviceLink::Write(const AlsaLineKey& line, DWORD level) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    s.pending.insert_or_assign(line, level);
    ++s.handed;
    const std::string message = s.CheckLate();
    s.wake.notify_all();
    lock.unlock();
    Say(message);
}
