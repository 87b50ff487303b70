#include "filelist/text_storage.h"

#include <cstring>
#include <stdexcept>

namespace wux::filelist {

namespace {

constexpr std::uint32_t kMinimumCapacity = 100;
constexpr std::uint32_t kGrowthStep = 6000;

} // namespace

TTextStorage::TTextStorage(std::int64_t capacity)
{
    capacity_ = capacity < 1 ? kMinimumCapacity : static_cast<std::uint32_t>(capacity);
    block_ = platform::movableAlloc(capacity_);
    if (!block_)
        throw std::bad_alloc();
}

TTextStorage::~TTextStorage()
{
    platform::movableFree(block_);
}

std::uint32_t TTextStorage::Add(std::string_view text)
{
    const auto length = static_cast<std::uint32_t>(text.size());
    if (static_cast<std::uint64_t>(used_) + length + 1 > capacity_) {
        const bool wasLocked = locked_ != nullptr;
        // Unlocked while it moves, so that the old storage is given back at once.
        if (wasLocked)
            platform::movableUnlock(block_);
        locked_ = nullptr;
        const std::uint64_t newCapacity = static_cast<std::uint64_t>(capacity_) + length + kGrowthStep;
        if (newCapacity > 0xFFFFFFFFull || !platform::movableReAlloc(block_, newCapacity))
            throw std::bad_alloc();
        capacity_ = static_cast<std::uint32_t>(newCapacity);
        if (wasLocked)
            locked_ = static_cast<char*>(platform::movableLock(block_));
    }
    const bool lockedHere = locked_ == nullptr;
    char* base = lockedHere ? static_cast<char*>(platform::movableLock(block_)) : locked_;
    const std::uint32_t offset = used_;
    if (length > 0)
        std::memcpy(base + offset, text.data(), length);
    base[offset + length] = 0;
    used_ += length + 1;
    if (lockedHere)
        platform::movableUnlock(block_);
    return offset;
}

void TTextStorage::GetText(std::uint32_t offset, std::string& text)
{
    const bool lockedHere = locked_ == nullptr;
    if (lockedHere)
        Lock();
    text.assign(TextView(offset));
    if (lockedHere)
        Unlock();
}

std::string TTextStorage::GetText(std::uint32_t offset)
{
    std::string text;
    GetText(offset, text);
    return text;
}

bool TTextStorage::Lock()
{
    ++lockCount_;
    if (locked_ == nullptr)
        locked_ = static_cast<char*>(platform::movableLock(block_));
    return locked_ != nullptr;
}

bool TTextStorage::Unlock()
{
    if (lockCount_ <= 0)
        return false;
    --lockCount_;
    if (lockCount_ == 0 && locked_ != nullptr) {
        locked_ = nullptr;
        platform::movableUnlock(block_);
    }
    return true;
}

char* TTextStorage::TextPtr(std::uint32_t offset) const
{
    return locked_ != nullptr ? locked_ + offset : nullptr;
}

std::string_view TTextStorage::TextView(std::uint32_t offset) const
{
    if (locked_ == nullptr || offset >= used_)
        return {};
    const char* start = locked_ + offset;
    const void* end = std::memchr(start, 0, used_ - offset);
    const std::size_t length = end ? static_cast<const char*>(end) - start : used_ - offset;
    return std::string_view(start, length);
}

std::string_view TTextStorage::TextView(std::uint32_t offset, std::uint32_t length) const
{
    if (locked_ == nullptr || offset >= used_)
        return {};
    if (length > used_ - offset)
        length = used_ - offset;
    return std::string_view(locked_ + offset, length);
}

void TTextStorage::Assign(TTextStorage& source)
{
    if (capacity_ < source.used_)
        return;
    Lock();
    source.Lock();
    if (source.used_ > 0)
        std::memcpy(locked_, source.locked_, source.used_);
    used_ = source.used_;
    source.Unlock();
    Unlock();
}

void TTextStorage::SetUsed(std::uint32_t n)
{
    used_ = n <= capacity_ ? n : capacity_;
}

} // namespace wux::filelist
