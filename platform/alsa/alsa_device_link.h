// One ALSA control device's life, on a thread of its own. The thread opens the
// device, tries again while it refuses (a sound server not started yet, a card
// still coming up), opens it again whenever its connection broke or it refused
// a write (a sound server that restarted and has no defaults yet, a card plugged
// back in), four times a second at most, and applies the levels handed to it.
// A level that cannot be applied now waits as its line's pending level, the
// last one handed over winning, and is applied as soon as the device answers
// again. Levels are never read back.
//
// A call into ALSA that is stuck well past the deadline (a sound server's
// plugin waiting for a reply from a server that is gone) is given up: the
// thread is left to it, and a fresh thread opens the device afresh and applies
// the pending levels, the one the stuck call was writing among them unless a
// newer one for its line came since. A thread left behind that ever returns
// closes its device and leaves. At most a few are left behind at once, and the
// wait before giving up doubles each time until the device answers.
//
// Questions wait no longer than a deadline; handing over a level never waits.
// One line goes to standard error when the device stops answering and one
// when a call to it succeeded again.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/alsa/alsa_mixer_device.h"

class AlsaDeviceLink {
public:
    // Starts opening `name` at once. A device for which `wanted` (run on the
    // link's thread first) says no is never opened. A call still busy
    // `abandonAfter` after it began is given up. `changed` runs on the link's
    // thread each time the device was opened, and when its first open failed.
    // A device that answers without any of the `awaited` lines (asked once on
    // the link's thread), or without one it had, is a sound server still
    // starting: for up to ten seconds it is opened again at the reopen pace,
    // and meanwhile it counts as still opening, or as it was last opened.
    AlsaDeviceLink(std::string name, std::chrono::milliseconds deadline,
                   std::chrono::milliseconds abandonAfter, std::function<bool()> wanted = {},
                   std::function<void()> changed = {},
                   std::function<std::vector<AlsaLineKey>()> awaited = {});
    // Gives the thread up to the deadline to apply the pending levels and close
    // the device, none when it is stuck; past that, it goes on alone.
    ~AlsaDeviceLink();
    AlsaDeviceLink(const AlsaDeviceLink&) = delete;
    AlsaDeviceLink& operator=(const AlsaDeviceLink&) = delete;

    const std::string& Name() const { return name_; }
    // Waits up to the deadline for the first open to end: 0 when the device is
    // open, -ETIMEDOUT when it is still opening (it goes on, and the device
    // counts from when it answers), else the ALSA error (it is tried again).
    int AwaitFirstOpen();
    // Waits up to `timeout` for the device to have been opened; says nothing.
    bool AwaitOpen(std::chrono::milliseconds timeout);
    // Whether the first open has neither succeeded nor failed yet.
    bool Opening() const;
    // Whether the link ended for good: the device is not wanted, or no thread could be had.
    bool Ended() const;
    // The elements of the device as it was last opened; null before that.
    std::shared_ptr<const AlsaCatalogue> Catalogue() const;
    // The line's volume as read when the device was opened, as long as nothing
    // can have changed it since: the device has done nothing since it opened,
    // no level is waiting, and the device tells of no change. Answers the
    // reads at start without waiting for the device's thread.
    std::optional<AlsaVolumeReading> ReadingAtOpen(const AlsaLineKey& line) const;
    // Runs job(device) on the link's thread after the levels handed over
    // before it. False when the device is not open, did not answer within the
    // deadline, or is still busy with an earlier question that did not. What
    // the job reports must live in something it holds.
    bool Ask(std::function<void(AlsaMixerDevice&)> job);
    // Hands the line's level over and returns at once.
    void Write(const AlsaLineKey& line, DWORD level);

private:
    struct Shared;
    std::string name_;
    std::shared_ptr<Shared> shared_;
    std::thread watcher_;  // starts the device's threads and gives up stuck ones
};
