#include "platform/alsa/alsa_device_link.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>

#include "platform/failure_log.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a device whose connection broke is tried again.
constexpr auto kReopenInterval = std::chrono::milliseconds(250);
constexpr int kNotYet = 1;  // the first open has not ended

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

}  // namespace

// Everything the thread uses, shared with the link so that a thread left
// behind by the link still has it. Guarded by the mutex.
struct AlsaDeviceLink::Shared {
    Shared(std::string deviceName, std::chrono::milliseconds late, std::function<bool()> wants)
        : name(std::move(deviceName)), deadline(late), wanted(std::move(wants)) {}

    const std::string name;
    const std::chrono::milliseconds deadline;
    const std::function<bool()> wanted;

    std::mutex mutex;
    std::condition_variable wake;  // for the thread: there is something to do
    std::condition_variable done;  // for callers: a question or the first open ended
    bool quit = false;
    bool ended = false;  // the thread closed the device and is leaving
    int firstOpen = kNotYet;
    bool open = false;
    bool answering = true;
    std::optional<Clock::time_point> busySince;  // while the thread is in a call to ALSA
    std::shared_ptr<const AlsaCatalogue> catalogue;
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
    void Loop();
};

void AlsaDeviceLink::Shared::Loop() {
    std::unique_ptr<AlsaMixerDevice> device;
    bool givenUp = false;
    bool asked = false;  // the last thing done was answering a question
    auto nextOpen = Clock::now();
    std::unique_lock lock(mutex);
    auto call = [&](auto&& what) {  // a call to ALSA, made without the lock
        busySince = Clock::now();
        lock.unlock();
        what();
        lock.lock();
        busySince.reset();
    };
    if (wanted) {
        bool wants = true;
        call([&] { wants = wanted(); });
        if (!wants) firstOpen = -ENODEV, givenUp = true, done.notify_all();
    }
    // On the way out, levels still pending are applied: the last move before a close counts.
    while (!quit || (device && !pending.empty())) {
        std::string message;
        int refused = 0;
        if (!device && posted != finished) {  // a question for a device that broke meanwhile
            finished = posted.load();
            done.notify_all();
        } else if (!device && (givenUp || Clock::now() < nextOpen)) {
            if (givenUp) wake.wait(lock, [&] { return quit; });
            wake.wait_until(lock, nextOpen, [&] { return quit; });
        } else if (!device) {
            int error = 0;
            call([&] { device = AlsaMixerDevice::Open(name, error); });
            nextOpen = Clock::now() + kReopenInterval;
            if (device) {
                catalogue = std::make_shared<const AlsaCatalogue>(device->Catalogue());
                open = true;
                firstOpen = 0;
                done.notify_all();
                message = Answering(true);
            } else if (firstOpen == kNotYet) {
                firstOpen = error, givenUp = true;
                done.notify_all();
            }
        } else if (!pending.empty() || posted != finished) {
            int result = 0;
            if (!pending.empty()) {  // levels before questions: a question sees them applied
                auto level = pending.extract(pending.begin());
                call([&] { result = device->WriteVolume(level.key(), level.mapped()); });
                if (device->Broken()) pending.insert(std::move(level));  // unless a newer one came
                if (result < 0 && result != -ENOENT && !device->Broken()) refused = result;
            } else {
                auto question = std::move(job);
                call([&] {
                    question(*device);
                    question = nullptr;  // what it holds goes here, off the window's thread
                });
                ++finished;
                done.notify_all();
                asked = true;
            }
            if (device->Broken()) {
                open = false;
                message = Answering(false);
                call([&] { device.reset(); });
                nextOpen = Clock::now();
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
            wake.wait(lock, [&] { return quit || !pending.empty() || posted != finished; });
        }
        if (!message.empty() || refused < 0) {
            lock.unlock();
            Say(message);
            if (refused < 0)
                LogFailureOnce("mixer write", std::string("a mixer line refused a write: ") +
                                                  snd_strerror(refused));
            lock.lock();
        }
    }
    lock.unlock();
    device.reset();
    lock.lock();
    ended = true;
    done.notify_all();
}

AlsaDeviceLink::AlsaDeviceLink(std::string name, std::chrono::milliseconds deadline,
                               std::function<bool()> wanted)
    : name_(name), shared_(std::make_shared<Shared>(std::move(name), deadline, std::move(wanted))) {
    try {
        thread_ = std::thread([shared = shared_] { shared->Loop(); });
    } catch (const std::system_error&) {
        shared_->firstOpen = -EAGAIN;  // without a thread the device is never opened
    }
}

AlsaDeviceLink::~AlsaDeviceLink() {
    if (!thread_.joinable()) return;
    std::unique_lock lock(shared_->mutex);
    shared_->quit = true;
    shared_->wake.notify_all();
    const bool stuck = shared_->busySince && Clock::now() - *shared_->busySince > shared_->deadline;
    const bool ended =
        !stuck && shared_->done.wait_for(lock, shared_->deadline, [&] { return shared_->ended; });
    lock.unlock();
    ended ? thread_.join() : thread_.detach();  // a detached thread holds its own share
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

std::shared_ptr<const AlsaCatalogue> AlsaDeviceLink::Catalogue() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->catalogue;
}

bool AlsaDeviceLink::Ask(std::function<void(AlsaMixerDevice&)> job) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    std::string message;
    bool answered = false;
    if (s.open && s.posted == s.finished) {
        s.job = std::move(job);
        const unsigned long ticket = ++s.posted;
        ++s.handed;
        s.wake.notify_all();
        lock.unlock();
        SpinUntil([&] { return s.finished >= ticket; });
        lock.lock();
        answered = s.done.wait_for(lock, s.deadline, [&] { return s.finished >= ticket; });
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
