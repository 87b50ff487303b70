#include "platform/name_index.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/file_internal.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::platform {
namespace {

// At most this many folders are watched per scope (each watch counts against the user's limit);
// past it, the folder used least recently leaves the index (it is read again if used again).
constexpr std::size_t kMaxWatchedFolders = 1024;

constexpr std::uint32_t kWatchMask =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct FolderIndex
{
    dev_t device = 0;
    ino_t inode = 0;
    // Folded name -> the entries' own names.
    std::unordered_map<std::string, std::vector<std::string>> names;
    std::vector<std::string> paths; // the paths in byPath that lead here
    std::list<int>::iterator use;   // place in ThreadIndex::uses
};

struct ThreadIndex
{
    int depth = 0;
    int notify = -1;                              // the inotify descriptor
    std::unordered_map<int, FolderIndex> byWatch; // watch descriptor -> index
    std::unordered_map<std::string, int> byPath;  // POSIX folder path -> watch descriptor
    std::list<int> uses;                          // watch descriptors, most recently used first
};

thread_local std::unique_ptr<ThreadIndex> tlIndex;
thread_local std::size_t tlFolderReads = 0;

void addName(FolderIndex& index, std::string_view name)
{
    std::vector<std::string>& same = index.names[foldCase(name)];
    if (std::find(same.begin(), same.end(), name) == same.end())
        same.emplace_back(name);
}

void removeName(FolderIndex& index, std::string_view name)
{
    const auto it = index.names.find(foldCase(name));
    if (it == index.names.end())
        return;
    std::vector<std::string>& same = it->second;
    same.erase(std::remove(same.begin(), same.end(), name), same.end());
    if (same.empty())
        index.names.erase(it);
}

void forgetWatch(ThreadIndex& state, int watch)
{
    const auto it = state.byWatch.find(watch);
    if (it == state.byWatch.end())
        return;
    for (const std::string& path : it->second.paths) {
        const auto byPath = state.byPath.find(path);
        if (byPath != state.byPath.end() && byPath->second == watch)
            state.byPath.erase(byPath);
    }
    state.uses.erase(it->second.use);
    state.byWatch.erase(it);
}

void forgetAll(ThreadIndex& state)
{
    for (const auto& [watch, index] : state.byWatch)
        ::inotify_rm_watch(state.notify, watch);
    state.byWatch.clear();
    state.byPath.clear();
    state.uses.clear();
}

// Ends the watch of the folder used least recently. Its notifications still queued name a watch
// no longer known and are passed over.
bool evictOne(ThreadIndex& state)
{
    if (state.uses.empty())
        return false;
    const int watch = state.uses.back();
    ::inotify_rm_watch(state.notify, watch);
    forgetWatch(state, watch);
    return true;
}

void markUsed(ThreadIndex& state, FolderIndex& index)
{
    state.uses.splice(state.uses.begin(), state.uses, index.use);
}

void addPath(ThreadIndex& state, const std::string& folder, int watch, FolderIndex& index)
{
    const auto [it, added] = state.byPath.try_emplace(folder, watch);
    if (!added) {
        if (it->second == watch)
            return;
        // The path led to another folder before: that folder keeps its other paths.
        const auto old = state.byWatch.find(it->second);
        if (old != state.byWatch.end()) {
            std::vector<std::string>& paths = old->second.paths;
            paths.erase(std::remove(paths.begin(), paths.end(), folder), paths.end());
        }
        it->second = watch;
    }
    index.paths.push_back(folder);
}

// Applies every change notified so far. Changes by this thread's own calls are queued before
// those calls return, so after this the indexes hold what the folders hold.
void applyNotifications(ThreadIndex& state)
{
    alignas(inotify_event) std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t length = ::read(state.notify, buffer.data(), buffer.size());
        if (length <= 0) {
            if (length < 0 && errno == EINTR)
                continue;
            return; // EAGAIN: nothing more
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                forgetAll(state); // changes were lost: every folder is read again
                continue;
            }
            const auto it = state.byWatch.find(event->wd);
            if (it == state.byWatch.end())
                continue;
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                ::inotify_rm_watch(state.notify, event->wd);
                forgetWatch(state, event->wd);
                continue;
            }
            const std::string_view name = event->len > 0 ? std::string_view(event->name) : std::string_view();
            if (name.empty())
                continue;
            if (event->mask & (IN_CREATE | IN_MOVED_TO))
                addName(it->second, name);
            else if (event->mask & (IN_DELETE | IN_MOVED_FROM))
                removeName(it->second, name);
        }
        if (static_cast<std::size_t>(length) < buffer.size() - (sizeof(inotify_event) + NAME_MAX + 1))
            return; // the queue was emptied
    }
}

// True for file systems whose every change on this machine is notified: local disks and memory.
bool changesAreNotified(const std::string& folder)
{
    struct statfs fs = {};
    if (::statfs(folder.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
    case 0x794C7630: // overlay
    case 0x4D44:     // vfat
    case 0x2011BAB0: // exfat
    case 0x5346544E: // ntfs
    case 0x7366746E: // ntfs3
    case 0x3153464A: // jfs
    case 0x52654973: // reiserfs
        return true;
    default:
        return false;
    }
}

// Reads the folder's names into a new index under its watch; nullptr when it cannot be watched or
// read (the caller then reads the folder itself).
FolderIndex* addFolder(ThreadIndex& state, const std::string& folder, const struct stat& st)
{
    if (!changesAreNotified(folder))
        return nullptr;
    // The watch comes first, so that nothing changed while the folder is read goes unseen; names
    // are kept as sets, so a change seen both in the listing and as a notification counts once.
    int watch = ::inotify_add_watch(state.notify, folder.c_str(), kWatchMask);
    // The user's limit of watches may be reached by other programs before ours.
    while (watch < 0 && errno == ENOSPC && evictOne(state))
        watch = ::inotify_add_watch(state.notify, folder.c_str(), kWatchMask);
    if (watch < 0)
        return nullptr;
    const auto known = state.byWatch.find(watch);
    if (known != state.byWatch.end()) { // the same folder under another path
        addPath(state, folder, watch, known->second);
        markUsed(state, known->second);
        return &known->second;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        ::inotify_rm_watch(state.notify, watch);
        return nullptr;
    }
    ++tlFolderReads;
    if (state.byWatch.size() >= kMaxWatchedFolders)
        evictOne(state);
    FolderIndex& index = state.byWatch[watch];
    index.device = st.st_dev;
    index.inode = st.st_ino;
    state.uses.push_front(watch);
    index.use = state.uses.begin();
    while (dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            addName(index, name);
    }
    ::closedir(dir);
    addPath(state, folder, watch, index);
    applyNotifications(state);
    const auto it = state.byWatch.find(watch);
    return it == state.byWatch.end() ? nullptr : &it->second;
}

// The thread's index of the folder, current as of now; nullptr without a scope or index.
FolderIndex* indexOf(const std::string& folder, const struct stat* known = nullptr)
{
    if (!tlIndex || tlIndex->notify < 0)
        return nullptr;
    ThreadIndex& state = *tlIndex;
    struct stat st = {};
    if (known != nullptr)
        st = *known;
    else if (internal::statPath(folder, st) != 0)
        return nullptr;
    if (!S_ISDIR(st.st_mode))
        return nullptr;
    applyNotifications(state);
    const auto path = state.byPath.find(folder);
    if (path != state.byPath.end()) {
        const auto it = state.byWatch.find(path->second);
        // The path may name another folder by now (one of its parents was renamed or replaced).
        if (it != state.byWatch.end() && it->second.device == st.st_dev && it->second.inode == st.st_ino) {
            markUsed(state, it->second);
            return &it->second;
        }
        if (it != state.byWatch.end()) {
            std::vector<std::string>& paths = it->second.paths;
            paths.erase(std::remove(paths.begin(), paths.end(), folder), paths.end());
        }
        state.byPath.erase(path);
    }
    return addFolder(state, folder, st);
}

// Reads the folder for entries whose names equal name ignoring case; stops at the second.
std::vector<std::string> scanFolder(const std::string& folder, std::string_view name)
{
    std::vector<std::string> found;
    DIR* dir = internal::opendirPath(folder);
    if (dir == nullptr)
        return found;
    ++tlFolderReads;
    const std::string key = foldCase(name);
    while (dirent* entry = ::readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..")
            continue;
        if (foldedNameEquals(entryName, key)) {
            found.emplace_back(entryName);
            if (found.size() > 1)
                break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

CaseIndexScope::CaseIndexScope()
{
    if (!tlIndex) {
        tlIndex = std::make_unique<ThreadIndex>();
        tlIndex->notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC); // -1: no index, folders are read
    }
    ++tlIndex->depth;
}

CaseIndexScope::~CaseIndexScope()
{
    if (!tlIndex || --tlIndex->depth > 0)
        return;
    if (tlIndex->notify >= 0)
        ::close(tlIndex->notify); // ends every watch
    tlIndex.reset();
}

namespace internal {

std::size_t folderReadsOnThisThread()
{
    return tlFolderReads;
}

std::string uniqueMatchNoCase(const std::string& folder, std::string_view name,
                              const struct ::stat* folderStat)
{
    const FolderIndex* index = indexOf(folder, folderStat);
    if (index == nullptr) {
        std::vector<std::string> found = scanFolder(folder, name);
        return found.size() == 1 ? std::move(found.front()) : std::string();
    }
    const auto it = index->names.find(foldCase(name));
    if (it == index->names.end() || it->second.size() != 1)
        return std::string();
    return it->second.front();
}

} // namespace internal
} // namespace wux::platform
