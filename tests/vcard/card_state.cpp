#include "card_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace vcard {
namespace {

// An open, locked state file; unlocked and closed when it goes.
class LockedFile {
public:
    LockedFile(const std::string& path, int lockMode) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            error_ = -errno;
            return;
        }
        while (::flock(fd_, lockMode) != 0) {
            if (errno == EINTR) continue;
            error_ = -errno;
            return;
        }
    }
    ~LockedFile() {
        if (fd_ >= 0) ::close(fd_);  // closing drops the lock
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    int Error() const { return error_; }

    int ReadAll(std::string& text) {
        text.clear();
        char buffer[4096];
        off_t offset = 0;
        for (;;) {
            ssize_t n = ::pread(fd_, buffer, sizeof buffer, offset);
            if (n < 0) {
                if (errno == EINTR) continue;
                return -errno;
            }
            if (n == 0) return 0;
            text.append(buffer, static_cast<std::size_t>(n));
            offset += n;
        }
    }

    // Overwrites in place and then cuts the file to the new length: emptying
    // it first would free its block on every write, which costs a
    // millisecond on a file system mounted with discard.
    int Replace(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = ::pwrite(fd_, text.data() + done, text.size() - done,
                                 static_cast<off_t>(done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return -errno;
            }
            done += static_cast<std::size_t>(n);
        }
        if (::ftruncate(fd_, static_cast<off_t>(text.size())) != 0) return -errno;
        return 0;
    }

private:
    int fd_ = -1;
    int error_ = 0;
};

bool ParseValues(const std::string& text, const CardElement& element, std::vector<long>& out) {
    std::vector<long> values;
    const char* p = text.c_str();
    for (;;) {
        while (*p == ' ') ++p;
        if (*p == '\0') break;
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(p, &end, 10);
        if (end == p || errno != 0 || !element.Accepts(v)) return false;
        values.push_back(v);
        p = end;
    }
    if (values.size() != element.channels) return false;
    out = std::move(values);
    return true;
}

}  // namespace

CardState::CardState(std::string path, std::vector<CardElement> elements)
    : path_(std::move(path)), elements_(std::move(elements)) {
    memory_ = Initial();
}

CardValues CardState::Initial() const {
    CardValues values;
    for (const auto& e : elements_) values.emplace_back(e.channels, e.initial);
    return values;
}

void CardState::Parse(const std::string& text, CardValues& values) const {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string name = line.substr(0, equals);
        for (std::size_t i = 0; i < elements_.size(); ++i) {
            if (elements_[i].name == name) {
                ParseValues(line.substr(equals + 1), elements_[i], values[i]);
                break;
            }
        }
    }
}

std::string CardState::Format(const CardValues& values) const {
    std::string text;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        text += elements_[i].name;
        text += '=';
        for (std::size_t c = 0; c < values[i].size(); ++c) {
            if (c) text += ' ';
            text += std::to_string(values[i][c]);
        }
        text += '\n';
    }
    return text;
}

int CardState::Load(CardValues& values) {
    if (path_.empty()) {
        values = memory_;
        return 0;
    }
    LockedFile file(path_, LOCK_SH);
    if (file.Error()) return file.Error();
    std::string text;
    if (int err = file.ReadAll(text)) return err;
    values = Initial();
    Parse(text, values);
    return 0;
}

int CardState::Store(std::size_t index, const std::vector<long>& values, bool& changed) {
    changed = false;
    if (index >= elements_.size() || values.size() != elements_[index].channels) return -EINVAL;
    if (path_.empty()) {
        changed = memory_[index] != values;
        memory_[index] = values;
        return 0;
    }
    LockedFile file(path_, LOCK_EX);
    if (file.Error()) return file.Error();
    std::string text;
    if (int err = file.ReadAll(text)) return err;
    CardValues all = Initial();
    Parse(text, all);
    changed = all[index] != values;
    all[index] = values;
    return file.Replace(Format(all));
}

}  // namespace vcard
