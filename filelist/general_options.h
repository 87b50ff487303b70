// `GeneralCheckContainer`: the program's options bit word (section "MainForm", default 0x7A7D). The
// file lists read it, so it lives here; the main window loads, saves and edits it.
#pragma once

#include <atomic>
#include <cstdint>

namespace wux::filelist {

inline constexpr std::uint32_t kDefaultGeneralCheckContainer = 0x7A7D;

// Bits read by the file lists.
inline constexpr std::uint32_t kOptionMaskSelectsFilesOnly = 0x8;  // mask selection skips folders
inline constexpr std::uint32_t kOptionShowHidden = 0x80;           // hidden and system entries listed
inline constexpr std::uint32_t kOptionSelectOnBasketSend = 0x4000; // items sent to the Basket are marked

// The options word (written on the GUI thread, read by workers too).
inline std::atomic<std::uint32_t> GeneralCheckContainer{kDefaultGeneralCheckContainer};

inline bool HasGeneralOption(std::uint32_t bit)
{
    return (GeneralCheckContainer.load(std::memory_order_relaxed) & bit) != 0;
}

} // namespace wux::filelist
