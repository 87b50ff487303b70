// The output stream of a plain-file pass: bytes gather in a buffer that is written to the temporary
// file at its write position. Positions are positions in the result file; cutting back to a position
// that was already written moves the write position back, so the next write covers that part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/file_handle.h"

namespace wux::engines {

class PlainOutputSink
{
public:
    // file: the temporary file, new and empty (opened for reading and writing, at position 0);
    // flushSize: the buffer is written whenever that many bytes have gathered. pending: the file is not
    // made yet; until attach, the output is the source's own bytes, so what would be written is only
    // counted.
    PlainOutputSink(platform::FileHandle& file, std::size_t flushSize, std::size_t reserve,
                    bool pending = false);

    // True until attach.
    bool pending() const { return pending_; }
    // The file has been made: the output counted so far, the source's first bytes, is copied into it
    // from source (whose file position is then unknown). False when that fails.
    bool attach(platform::FileHandle& source);
    // The position at which the next byte lands.
    std::int64_t position() const { return writePos_ + static_cast<std::int64_t>(buffer_.size()); }
    // False once a write, read or seek failed.
    bool ok() const { return ok_; }

    void put(char byte)
    {
        buffer_.push_back(byte);
        if (buffer_.size() >= flushSize_)
            flush();
    }
    void append(std::string_view bytes);
    // Drops everything from pos on (pos <= position()).
    void cutTo(std::int64_t pos);
    // Inserts bytes at pos, moving what lies from pos on forward by their length (the part already in
    // the file is read back and written again further on, from its end towards its start).
    void insertAt(std::int64_t pos, std::string_view bytes);
    // Writes the buffer.
    bool flush();
    // Writes the buffer and cuts the file at the output position.
    bool finish();

private:
    // Moves the file position to pos unless it is there already.
    bool moveTo(std::int64_t pos);
    bool writeAt(std::int64_t pos, const char* data, std::size_t size);
    bool readAt(std::int64_t pos, char* data, std::size_t size);

    platform::FileHandle& file_;
    std::size_t flushSize_;
    std::vector<char> buffer_;
    std::vector<char> scratch_;
    std::int64_t writePos_ = 0;
    std::int64_t filePos_ = 0; // the handle's file position; -1 when unknown (after a failure)
    std::int64_t fileEnd_ = 0; // the file's size: every byte of it was written by this sink
    bool ok_ = true;
    bool pending_ = false;
};

} // namespace wux::engines
