// The virtual sound card, an ALSA control plugin configured by write-config: controls from
// descriptions ("NAME:CHANNELS:MIN:MAX:INITIAL" or "NAME:CHANNELS:switch"), values in files
// PREFIXstate/NAME ("V1 V2 ...") shared under flock by every process using the card. Writes fail
// after `fail_writes_after` of them, and with the error number in PREFIXrefuse while it exists
// (EPIPE: a lost connection; EINVAL: a sound server without its defaults). While PREFIXbare
// exists, an open lists no controls, as a sound server's plugin before it has its defaults;
// every call fails once PREFIXunplugged existed (a card
// plugged back in is a new open) and waits while PREFIXhung does, as a sound server that stopped
// answering. A PREFIXhung that names a number holds only the opens up to it; once it is gone,
// their writes fail with EPIPE while reads answer, as a sound server's plugin whose connection
// was lost while it waited ("stuck N lose": the writes report success and set nothing, as
// PipeWire's plugin does when its server is killed during one). A call that waits creates PREFIXhung.held. Each open appends the
// opening thread's id to PREFIXopens. Its poll descriptor becomes ready when any process wrote
// to the card since the last round of events, as a real card's does.
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Element {
    std::string name;
    bool isSwitch = false;
    long channels = 1, minimum = 0, maximum = 1;
};

struct Card {
    snd_ctl_ext_t ext{};
    std::vector<Element> elements;
    std::string unplug, hung, refuse, bare, generation;
    int state = -1;    // the state folder, open while the card is
    int changes = -1;  // watches the generation file
    mutable bool gone = false, lost = false, swallow = false;
    long writesLeft = -1;  // negative: writes never fail
    std::size_t nextEvent = 0;
    long seenGeneration = -1;  // the card's generation at this open's last round of events
    long number = 0;           // this open's place among the card's opens, from 1

    ~Card() { ::close(state), ::close(changes); }
    // Whether the card is gone; a hung card first answers nothing until it is no longer hung.
    bool Unplugged() const {
        for (long last; (last = LastHung()) >= number; ::usleep(10000)) {
            lost = lost || last != LONG_MAX;
            swallow = swallow || LastHung(true) == 1;
            ::close(::open((hung + ".held").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
        return gone = gone || ::access(unplug.c_str(), F_OK) == 0;
    }
    // The last open that a hang holds: -1 for none, LONG_MAX for every one; with `lose`,
    // whether the hang loses the held writes (1) or not (0).
    long LastHung(bool lose = false) const {
        FILE* file = std::fopen(hung.c_str(), "r");
        long last = LONG_MAX;
        char word[8] = {};
        if (!file) return -1;
        const int read = std::fscanf(file, "stuck %ld %7s", &last, word);
        if (read < 1) last = LONG_MAX;
        std::fclose(file);
        return lose ? read == 2 && std::string_view(word) == "lose" : last;
    }
};

Card& CardOf(snd_ctl_ext_t* ext) { return *static_cast<Card*>(ext->private_data); }

// The card's generation counts the writes of every process to it, so a round of events
// can tell whether anything changed; with `bump`, counts one more.
long Generation(const Card& card, bool bump) {
    const int fd = ::open(card.generation.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    char text[32] = {};
    long value = 0;
    if (fd >= 0 && ::flock(fd, bump ? LOCK_EX : LOCK_SH) == 0 &&
        ::pread(fd, text, sizeof text - 1, 0) >= 0)
        value = std::atol(text);
    if (fd >= 0 && bump) {
        const std::string next = std::to_string(++value);
        if (::pwrite(fd, next.data(), next.size(), 0) < 0) value = -2;
    }
    if (fd >= 0) ::close(fd);
    return value;
}

// Reads control `key`'s values into `io` or, with `write`, replaces them with
// `io`, under the lock of the control's state file.
int Exchange(const Card& card, std::size_t key, long* io, bool write) {
    if (card.Unplugged()) return -ENODEV;
    if (write && card.lost) return card.swallow ? 0 : -EPIPE;
    const int fd = ::openat(card.state, card.elements[key].name.c_str(), O_RDWR | O_CLOEXEC);
    char text[256] = {};
    bool done = fd >= 0 && ::flock(fd, write ? LOCK_EX : LOCK_SH) == 0 &&
                ::pread(fd, text, sizeof text - 1, 0) >= 0;
    std::istringstream in(text);
    std::string out;
    for (long c = 0, v = 0; c < card.elements[key].channels; ++c, out += std::to_string(v) + " ") {
        in >> v;
        if (write) v = io[c];
        io[c] = v;
    }
    // In place, then cut: emptying the file first is slow where discard is on.
    if (done && write)
        done = ::pwrite(fd, out.data(), out.size(), 0) == static_cast<ssize_t>(out.size()) &&
               ::ftruncate(fd, static_cast<off_t>(out.size())) == 0;
    if (fd >= 0) ::close(fd);  // and with it the lock
    if (done && write) Generation(card, true);
    return done ? 0 : -EIO;
}

void NameId(snd_ctl_elem_id_t* id, const Element& e) {
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, e.name.c_str());
}

snd_ctl_ext_key_t FindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
    const auto& elements = CardOf(ext).elements;
    for (std::size_t i = 0; i < elements.size(); ++i)
        if (snd_ctl_elem_id_get_index(id) == 0 && elements[i].name == snd_ctl_elem_id_get_name(id))
            return i;
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

int GetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned* access,
                 unsigned* count) {
    const Element& e = CardOf(ext).elements[key];
    *type = e.isSwitch ? SND_CTL_ELEM_TYPE_BOOLEAN : SND_CTL_ELEM_TYPE_INTEGER;
    *access = SND_CTL_EXT_ACCESS_READWRITE, *count = static_cast<unsigned>(e.channels);
    return 0;
}

int WriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    Card& card = CardOf(ext);
    if (FILE* file = std::fopen(card.refuse.c_str(), "r")) {
        int error = EIO;
        if (std::fscanf(file, "%d", &error) != 1) error = EIO;
        std::fclose(file);
        return -error;
    }
    if (card.writesLeft == 0) return -EIO;
    if (card.writesLeft > 0) --card.writesLeft;
    return Exchange(card, key, value, true);
}

// After a write by any process since the last round of events, every control is reported
// changed in the next round, so the client reads them all afresh.
int ReadEvent(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned* mask) {
    Card& card = CardOf(ext);
    if (card.Unplugged()) return -ENODEV;
    if (!ext->subscribed) return -EAGAIN;
    if (card.nextEvent == 0) {
        for (char drained[4096]; ::read(card.changes, drained, sizeof drained) > 0;) {
        }
        const long generation = Generation(card, false);
        if (generation == card.seenGeneration) return -EAGAIN;
        card.seenGeneration = generation;
    }
    if (card.nextEvent == card.elements.size()) return card.nextEvent = 0, -EAGAIN;
    NameId(id, card.elements[card.nextEvent++]);
    *mask = SND_CTL_EVENT_MASK_VALUE;
    return 1;
}

// clang-format off
const snd_ctl_ext_callback_t kCallbacks = {
    .close = [](snd_ctl_ext_t* ext) { delete &CardOf(ext); },
    .elem_count = [](snd_ctl_ext_t* ext) {
        const Card& card = CardOf(ext);
        return ::access(card.bare.c_str(), F_OK) == 0 ? 0 : static_cast<int>(card.elements.size()); },
    .elem_list = [](snd_ctl_ext_t* ext, unsigned offset, snd_ctl_elem_id_t* id) {
        return NameId(id, CardOf(ext).elements[offset]), 0; },
    .find_elem = FindElem, .get_attribute = GetAttribute,
    .get_integer_info = [](snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* min, long* max, long* step) {
        const Element& e = CardOf(ext).elements[key];
        return *min = e.minimum, *max = e.maximum, *step = 1, 0; },
    .read_integer = [](snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
        return Exchange(CardOf(ext), key, value, false); },
    .write_integer = WriteInteger, .read_event = ReadEvent};
// clang-format on

int Configure(snd_config_t* conf, Card& card) {
    snd_config_t *node, *elements;
    const char* text = "";
    if (snd_config_search(conf, "fail_writes_after", &node) == 0)
        snd_config_get_integer(node, &card.writesLeft);
    if (snd_config_search(conf, "elements", &elements) < 0 ||
        snd_config_search(conf, "state", &node) < 0 || snd_config_get_string(node, &text) < 0)
        return -EINVAL;
    card.state = ::open(text, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string prefix(text, std::string_view(text).rfind("state"));
    card.unplug = prefix + "unplugged", card.hung = prefix + "hung", card.refuse = prefix + "refuse";
    card.bare = prefix + "bare";
    card.generation = prefix + "generation";
    ::close(::open(card.generation.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    // Without a watch (no inotify left) the card has no descriptor, as some plugins have none.
    card.changes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (::inotify_add_watch(card.changes, card.generation.c_str(), IN_MODIFY) < 0)
        ::close(card.changes), card.changes = -1;
    if (FILE* opens = std::fopen((prefix + "opens").c_str(), "a+")) {
        std::fprintf(opens, "%ld\n", static_cast<long>(::syscall(SYS_gettid)));
        std::fflush(opens);
        std::rewind(opens);
        for (int c; (c = std::fgetc(opens)) != EOF;) card.number += c == '\n';
        std::fclose(opens);
    }
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, elements) {
        Element& e = card.elements.emplace_back();
        char name[100], s;
        if (snd_config_get_string(snd_config_iterator_entry(i), &text) < 0) return -EINVAL;
        e.isSwitch = std::sscanf(text, "%99[^:]:%ld:switc%c", name, &e.channels, &s) == 3;
        if (!e.isSwitch && std::sscanf(text, "%99[^:]:%ld:%ld:%ld", name, &e.channels, &e.minimum,
                                       &e.maximum) != 4)
            return -EINVAL;
        e.name = name;
    }
    return card.state < 0 || card.Unplugged() ? -ENODEV : 0;
}

}  // namespace

extern "C" {

SND_CTL_PLUGIN_DEFINE_FUNC(pegelwerk_vcard) {
    (void)root;
    auto* card = new Card;
    int err = Configure(conf, *card);
    card->ext.version = SND_CTL_EXT_VERSION;
    card->ext.poll_fd = card->changes;
    card->ext.callback = &kCallbacks;
    card->ext.private_data = card;
    if (!err) err = snd_ctl_ext_create(&card->ext, name, mode);
    if (err < 0) return delete card, err;
    *handlep = card->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(pegelwerk_vcard)
}
