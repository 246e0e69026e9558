#include "mixer/global_block.h"

#include <new>

void* GlobalBlock::Alloc(std::size_t size) noexcept {
    Free();
    bytes_.reset(new (std::nothrow) std::byte[size]());
    return bytes_.get();
}

void GlobalBlock::Free() noexcept { bytes_.reset(); }
