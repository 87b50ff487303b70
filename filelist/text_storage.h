// The string heap of a file list: every text of one list (folder paths, item names) stored back to
// back, zero-terminated, in one growable movable block and addressed by byte offset, so that the
// fixed-size records of a list hold 32-bit offsets instead of strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/movable_memory.h"

namespace wux::filelist {

class TTextStorage
{
public:
    // A block of `capacity` bytes (100 when capacity < 1); nothing used, not locked.
    explicit TTextStorage(std::int64_t capacity);
    ~TTextStorage();
    TTextStorage(const TTextStorage&) = delete;
    TTextStorage& operator=(const TTextStorage&) = delete;

    // Appends text and its terminating zero; returns the text's offset. A full block grows by the
    // text's length + 6,000 bytes; a locked storage stays locked (with its new address).
    std::uint32_t Add(std::string_view text);
    // Bytes used := 0.
    void Clear() { used_ = 0; }
    // The zero-terminated text at offset (locking around the copy when not locked); "" for an
    // offset outside the used bytes.
    void GetText(std::uint32_t offset, std::string& text);
    std::string GetText(std::uint32_t offset);
    // Lock count + 1 (the block is locked on the first); true when a pointer was obtained.
    bool Lock();
    // Lock count - 1 (the block is unlocked at 0); false and no change when not locked.
    bool Unlock();
    // The address of the text at offset while locked; nullptr while unlocked.
    char* TextPtr(std::uint32_t offset) const;
    // A view of the zero-terminated text at offset while locked ("" while unlocked or outside the
    // used bytes); the view is good until the next Add or Unlock.
    std::string_view TextView(std::uint32_t offset) const;
    // A view of `length` bytes at offset while locked (clipped to the used bytes).
    std::string_view TextView(std::uint32_t offset, std::uint32_t length) const;
    // Copies Source's used bytes to the start of this block (both locked meanwhile); nothing when
    // this block's capacity is below Source's bytes used.
    void Assign(TTextStorage& source);
    // Bytes used := n (truncates to a length saved earlier; never beyond the capacity).
    void SetUsed(std::uint32_t n);

    std::uint32_t Capacity() const { return capacity_; }
    std::uint32_t Used() const { return used_; }
    std::int32_t LockCount() const { return lockCount_; }
    bool Locked() const { return locked_ != nullptr; }

private:
    std::uint32_t capacity_ = 0;
    char* locked_ = nullptr;
    std::int32_t lockCount_ = 0;
    platform::MovableHandle block_;
    std::uint32_t used_ = 0;
};

} // namespace wux::filelist
