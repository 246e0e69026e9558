#include "platform/failure_log.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

void LogFailureOnce(std::string_view kind, std::string_view message) {
    static std::mutex mutex;
    static std::set<std::string, std::less<>> logged;
    std::lock_guard lock(mutex);
    if (logged.count(kind) != 0) return;
    logged.emplace(kind);
    std::fprintf(stderr, "pegelwerk: %.*s\n", static_cast<int>(message.size()), message.data());
}
