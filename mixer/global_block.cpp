#include "mixer/global_block.h"

#include <atomic>
#include <new>

namespace {
std::atomic<long> live_blocks{0};
}

void* GlobalBlock::Alloc(std::size_t size) noexcept {
    Free();
    bytes_.reset(new (std::nothrow) std::byte[size]());
    if (bytes_) ++live_blocks;
    return bytes_.get();
}

void GlobalBlock::Free() noexcept {
    if (bytes_) --live_blocks;
    bytes_.reset();
}

long GlobalBlock::LiveBlocks() noexcept { return live_blocks.load(); }
