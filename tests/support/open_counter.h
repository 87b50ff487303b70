// Counts the opens of one file name in a folder by anyone (inotify on the folder, so that a file put in
// place by a rename is still counted): how often a piece of code reads a file.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>
#include <utility>

namespace wux::test {

class OpenCounter
{
public:
    // Watches the file name in the folder at posixFolder.
    OpenCounter(const std::string& posixFolder, std::string name) : name_(std::move(name))
    {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0)
            watch_ = ::inotify_add_watch(fd_, posixFolder.c_str(), IN_OPEN);
    }
    ~OpenCounter()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    bool watching() const { return fd_ >= 0 && watch_ >= 0; }

    // The opens seen since the last call (or since the watch began).
    int take()
    {
        int opens = 0;
        alignas(inotify_event) std::array<char, 4096> buffer;
        for (;;) {
            const ssize_t length = ::read(fd_, buffer.data(), buffer.size());
            if (length <= 0)
                return opens;
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
                if ((event->mask & IN_OPEN) && event->len > 0 && name_ == event->name)
                    ++opens;
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    std::string name_;
    int fd_ = -1;
    int watch_ = -1;
};

} // namespace wux::test
