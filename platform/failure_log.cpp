#include "platform/failure_log.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

void LogFailureOnce(std::string_view kind, std::string_view message) {
    // Never destroyed: a sound worker left behind at exit may still log while
    // static destructors run.
    struct Logged {
        std::mutex mutex;
        std::set<std::string, std::less<>> kinds;
    };
    static Logged& logged = *new Logged;
    std::lock_guard lock(logged.mutex);
    if (!logged.kinds.emplace(kind).second) return;
    std::fprintf(stderr, "pegelwerk: %.*s\n", static_cast<int>(message.size()), message.data());
}
