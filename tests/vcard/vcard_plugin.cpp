// The virtual sound card: an ALSA external control plugin. Its controls come
// from a built-in card ("profile") or a list of descriptions ("elements"),
// their values from a state file shared by every process that opens the card.
// Failures can be injected: the card can refuse to open, refuse writes after a
// number of them, or vanish when a named file appears (an unplugged card).
//
//   ctl_type.pegelwerk_vcard { lib "/abs/path/libpegelwerk_vcard.so" }
//   ctl.!default {
//       type pegelwerk_vcard
//       profile "full"              # or: elements [ "Master Playback Volume:2:0:87" ... ]
//       state "/tmp/x/state"        # optional; without it values live in the handle
//       unplug_file "/tmp/x/gone"   # optional
//       fail_open false             # optional
//       fail_writes_after -1        # optional; -1 never fails
//   }
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "card_elements.h"
#include "card_state.h"

namespace {

struct VirtualCard {
    snd_ctl_ext_t ext{};
    std::unique_ptr<vcard::CardState> state;
    std::string unplugFile;
    long writesLeft = -1;     // negative: writes never fail
    vcard::CardValues shown;  // values as last announced to the client by events
    int notifyFd = -1;        // readable when another process changed the state file

    ~VirtualCard() {
        if (notifyFd >= 0) ::close(notifyFd);
    }

    bool Unplugged() const {
        return !unplugFile.empty() && ::access(unplugFile.c_str(), F_OK) == 0;
    }
    const std::vector<vcard::CardElement>& Elements() const { return state->Elements(); }
    bool Valid(snd_ctl_ext_key_t key) const { return key < Elements().size(); }
};

VirtualCard* CardOf(snd_ctl_ext_t* ext) { return static_cast<VirtualCard*>(ext->private_data); }

// Runs a callback body; nothing may be thrown into alsa-lib's C code.
template <typename F>
int Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return -ENOMEM;
    } catch (...) {
        return -EIO;
    }
}

void CardClose(snd_ctl_ext_t* ext) { delete CardOf(ext); }

int CardElemCount(snd_ctl_ext_t* ext) { return static_cast<int>(CardOf(ext)->Elements().size()); }

int CardElemList(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) {
    VirtualCard* card = CardOf(ext);
    if (offset >= card->Elements().size()) return -EINVAL;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, card->Elements()[offset].name.c_str());
    return 0;
}

snd_ctl_ext_key_t CardFindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
    VirtualCard* card = CardOf(ext);
    if (snd_ctl_elem_id_get_interface(id) != SND_CTL_ELEM_IFACE_MIXER ||
        snd_ctl_elem_id_get_index(id) != 0)
        return SND_CTL_EXT_KEY_NOT_FOUND;
    const char* name = snd_ctl_elem_id_get_name(id);
    for (std::size_t i = 0; i < card->Elements().size(); ++i)
        if (card->Elements()[i].name == name) return i;
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

int CardGetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc,
                     unsigned int* count) {
    VirtualCard* card = CardOf(ext);
    if (!card->Valid(key)) return -EINVAL;
    if (card->Unplugged()) return -ENODEV;
    const auto& element = card->Elements()[key];
    *type = element.isSwitch ? SND_CTL_ELEM_TYPE_BOOLEAN : SND_CTL_ELEM_TYPE_INTEGER;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = element.channels;
    return 0;
}

int CardGetIntegerInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax,
                       long* istep) {
    VirtualCard* card = CardOf(ext);
    if (!card->Valid(key)) return -EINVAL;
    if (card->Unplugged()) return -ENODEV;
    *imin = card->Elements()[key].minimum;
    *imax = card->Elements()[key].maximum;
    *istep = 1;
    return 0;
}

int CardReadInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    return Guarded([&] {
        VirtualCard* card = CardOf(ext);
        if (!card->Valid(key)) return -EINVAL;
        if (card->Unplugged()) return -ENODEV;
        vcard::CardValues values;
        if (int err = card->state->Load(values)) return err;
        for (std::size_t c = 0; c < values[key].size(); ++c) value[c] = values[key][c];
        return 0;
    });
}

int CardWriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    return Guarded([&] {
        VirtualCard* card = CardOf(ext);
        if (!card->Valid(key)) return -EINVAL;
        if (card->Unplugged()) return -ENODEV;
        const auto& element = card->Elements()[key];
        std::vector<long> values(value, value + element.channels);
        for (long v : values)
            if (!element.Accepts(v)) return -EINVAL;  // as a driver does; clamping is the caller's job
        if (card->writesLeft == 0) return -EIO;
        if (card->writesLeft > 0) --card->writesLeft;
        bool changed = false;
        if (int err = card->state->Store(key, values, changed)) return err;
        return changed ? 1 : 0;
    });
}

void CardSubscribeEvents(snd_ctl_ext_t*, int) {}

void DrainNotifications(int fd) {
    if (fd < 0) return;
    alignas(inotify_event) char buffer[1024];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

// One event per control whose values differ from what the client was last told.
int CardReadEvent(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned int* event_mask) {
    return Guarded([&] {
        VirtualCard* card = CardOf(ext);
        if (card->Unplugged()) return -ENODEV;
        DrainNotifications(card->notifyFd);
        if (!ext->subscribed) return -EAGAIN;
        vcard::CardValues now;
        if (int err = card->state->Load(now)) return err;
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i] == card->shown[i]) continue;
            card->shown[i] = now[i];
            snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
            snd_ctl_elem_id_set_name(id, card->Elements()[i].name.c_str());
            snd_ctl_elem_id_set_numid(id, static_cast<unsigned>(i + 1));
            *event_mask = SND_CTL_EVENT_MASK_VALUE;
            return 1;
        }
        return -EAGAIN;
    });
}

const snd_ctl_ext_callback_t kCallbacks = {
    .close = CardClose,
    .elem_count = CardElemCount,
    .elem_list = CardElemList,
    .find_elem = CardFindElem,
    .free_key = nullptr,
    .get_attribute = CardGetAttribute,
    .get_integer_info = CardGetIntegerInfo,
    .get_integer64_info = nullptr,
    .get_enumerated_info = nullptr,
    .get_enumerated_name = nullptr,
    .read_integer = CardReadInteger,
    .read_integer64 = nullptr,
    .read_enumerated = nullptr,
    .read_bytes = nullptr,
    .read_iec958 = nullptr,
    .write_integer = CardWriteInteger,
    .write_integer64 = nullptr,
    .write_enumerated = nullptr,
    .write_bytes = nullptr,
    .write_iec958 = nullptr,
    .subscribe_events = CardSubscribeEvents,
    .read_event = CardReadEvent,
    .poll_descriptors_count = nullptr,
    .poll_descriptors = nullptr,
    .poll_revents = nullptr,
};

struct CardSettings {
    std::string profile = "full";
    std::vector<std::string> descriptions;
    bool hasDescriptions = false;
    std::string statePath;
    std::string unplugFile;
    bool failOpen = false;
    long failWritesAfter = -1;
};

int ReadString(snd_config_t* node, std::string& out) {
    const char* text = nullptr;
    int err = snd_config_get_string(node, &text);
    if (err < 0) return err;
    out = text;
    return 0;
}

int ReadSettings(snd_config_t* conf, CardSettings& settings) {
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* n = snd_config_iterator_entry(i);
        const char* key = nullptr;
        if (snd_config_get_id(n, &key) < 0) continue;
        std::string id = key;
        int err = 0;
        if (id == "comment" || id == "type" || id == "hint") continue;
        if (id == "profile") {
            err = ReadString(n, settings.profile);
        } else if (id == "state") {
            err = ReadString(n, settings.statePath);
        } else if (id == "unplug_file") {
            err = ReadString(n, settings.unplugFile);
        } else if (id == "fail_open") {
            err = snd_config_get_bool(n);
            if (err >= 0) settings.failOpen = err != 0, err = 0;
        } else if (id == "fail_writes_after") {
            err = snd_config_get_integer(n, &settings.failWritesAfter);
        } else if (id == "elements") {
            if (snd_config_get_type(n) != SND_CONFIG_TYPE_COMPOUND) return -EINVAL;
            settings.hasDescriptions = true;
            snd_config_iterator_t j, jnext;
            snd_config_for_each(j, jnext, n) {
                std::string description;
                if ((err = ReadString(snd_config_iterator_entry(j), description)) < 0) break;
                settings.descriptions.push_back(description);
            }
        } else {
            SNDERR("pegelwerk_vcard: unknown field %s", key);
            return -EINVAL;
        }
        if (err < 0) {
            SNDERR("pegelwerk_vcard: bad value for %s", key);
            return -EINVAL;
        }
    }
    return 0;
}

int CardElementsOf(const CardSettings& settings, std::vector<vcard::CardElement>& elements) {
    std::vector<std::string> descriptions = settings.descriptions;
    if (!settings.hasDescriptions) {
        auto profile = vcard::ProfileDescriptions(settings.profile);
        if (!profile) {
            SNDERR("pegelwerk_vcard: unknown profile %s", settings.profile.c_str());
            return -EINVAL;
        }
        descriptions = *profile;
    }
    for (const auto& d : descriptions) {
        auto element = vcard::ParseElement(d);
        if (!element) {
            SNDERR("pegelwerk_vcard: bad element \"%s\"", d.c_str());
            return -EINVAL;
        }
        elements.push_back(*element);
    }
    return 0;
}

void CopyName(char* to, std::size_t size, const std::string& from) {
    std::size_t n = from.size() < size - 1 ? from.size() : size - 1;
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

int OpenCard(snd_ctl_t** handlep, const char* name, snd_config_t* conf, int mode) {
    CardSettings settings;
    if (int err = ReadSettings(conf, settings)) return err;
    if (settings.failOpen) return -ENODEV;
    if (!settings.unplugFile.empty() && ::access(settings.unplugFile.c_str(), F_OK) == 0)
        return -ENODEV;
    std::vector<vcard::CardElement> elements;
    if (int err = CardElementsOf(settings, elements)) return err;

    auto card = std::make_unique<VirtualCard>();
    card->state = std::make_unique<vcard::CardState>(settings.statePath, std::move(elements));
    card->unplugFile = settings.unplugFile;
    card->writesLeft = settings.failWritesAfter < 0 ? -1 : settings.failWritesAfter;
    if (int err = card->state->Load(card->shown)) {
        SNDERR("pegelwerk_vcard: cannot use state file %s", settings.statePath.c_str());
        return err;
    }
    card->notifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (card->notifyFd >= 0 && !settings.statePath.empty())
        ::inotify_add_watch(card->notifyFd, settings.statePath.c_str(), IN_MODIFY);

    snd_ctl_ext_t& ext = card->ext;
    ext.version = SND_CTL_EXT_VERSION;
    ext.card_idx = 0;
    CopyName(ext.id, sizeof ext.id, "Pegelwerk");
    CopyName(ext.driver, sizeof ext.driver, "pegelwerk_vcard");
    CopyName(ext.name, sizeof ext.name, "Virtual Card");
    CopyName(ext.longname, sizeof ext.longname,
             "Pegelwerk virtual sound card (" +
                 (settings.hasDescriptions ? std::string("elements") : settings.profile) + ")");
    CopyName(ext.mixername, sizeof ext.mixername, "Pegelwerk Virtual Mixer");
    ext.poll_fd = card->notifyFd;
    ext.callback = &kCallbacks;
    ext.private_data = card.get();

    if (int err = snd_ctl_ext_create(&ext, name, mode); err < 0) return err;
    *handlep = ext.handle;
    card.release();  // owned by the handle now; CardClose frees it
    return 0;
}

}  // namespace

extern "C" {

SND_CTL_PLUGIN_DEFINE_FUNC(pegelwerk_vcard) {
    (void)root;
    return Guarded([&] { return OpenCard(handlep, name, conf, mode); });
}

SND_CTL_PLUGIN_SYMBOL(pegelwerk_vcard)
}
