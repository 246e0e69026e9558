// A zero-filled memory block lent to the mixer service for one operation.
#pragma once

#include <cstddef>
#include <memory>

class GlobalBlock {
public:
    GlobalBlock() = default;
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() { Free(); }

    // Allocates a zero-filled block of `size` bytes in place of any block
    // held; returns its address, or nullptr when memory is short.
    void* Alloc(std::size_t size) noexcept;
    void Free() noexcept;
    void* Address() const noexcept { return bytes_.get(); }

private:
    std::unique_ptr<std::byte[]> bytes_;
};

// Holds a block of `block` for exactly one scope.
class BlockLease {
public:
    BlockLease(GlobalBlock& block, std::size_t size) noexcept : block_(block) {
        address_ = block_.Alloc(size);
    }
    BlockLease(const BlockLease&) = delete;
    BlockLease& operator=(const BlockLease&) = delete;
    ~BlockLease() { block_.Free(); }
    void* Address() const noexcept { return address_; }

private:
    GlobalBlock& block_;
    void* address_;
};
