#include "engines/plain_replacer_sink.h"

#include <algorithm>

namespace wux::engines {

PlainOutputSink::PlainOutputSink(platform::FileHandle& file, std::size_t flushSize, std::size_t reserve,
                                 bool pending)
    : file_(file), flushSize_(std::max<std::size_t>(flushSize, 1)), pending_(pending)
{
    buffer_.reserve(flushSize_ + reserve + 1);
}

bool PlainOutputSink::attach(platform::FileHandle& source)
{
    if (!pending_)
        return ok_;
    pending_ = false;
    filePos_ = 0;
    if (fileEnd_ == 0 || !ok_)
        return ok_;
    if (source.seek(0, platform::SeekOrigin::kBegin) != platform::kErrorSuccess) {
        ok_ = false;
        return false;
    }
    // Inside the system where the file systems allow it, else read and written.
    std::int64_t copied = 0;
    bool inside = true;
    while (ok_ && copied < fileEnd_) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(fileEnd_ - copied, flushSize_));
        std::size_t done = 0;
        if (inside) {
            bool readSide = false;
            const platform::WinError error = file_.copyFrom(source, chunk, done, readSide);
            if (error == platform::kErrorNotSupported && done == 0) {
                inside = false;
                continue;
            }
            if (error != platform::kErrorSuccess || done == 0)
                ok_ = false;
        } else {
            if (scratch_.size() < chunk)
                scratch_.resize(chunk);
            std::size_t written = 0;
            if (source.read(scratch_.data(), chunk, done) != platform::kErrorSuccess || done != chunk ||
                file_.write(scratch_.data(), chunk, written) != platform::kErrorSuccess || written != chunk)
                ok_ = false;
        }
        copied += static_cast<std::int64_t>(done);
    }
    filePos_ = ok_ ? fileEnd_ : -1;
    return ok_;
}

void PlainOutputSink::append(std::string_view bytes)
{
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    if (buffer_.size() >= flushSize_)
        flush();
}

void PlainOutputSink::cutTo(std::int64_t pos)
{
    if (pos >= position())
        return;
    if (pos >= writePos_) {
        buffer_.resize(static_cast<std::size_t>(pos - writePos_));
    } else {
        // Part of what is dropped is in the file already: the next write covers it.
        buffer_.clear();
        writePos_ = pos;
    }
}

void PlainOutputSink::insertAt(std::int64_t pos, std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (pos >= writePos_) {
        buffer_.insert(buffer_.begin() + static_cast<std::ptrdiff_t>(pos - writePos_), bytes.begin(),
                       bytes.end());
        if (buffer_.size() >= flushSize_)
            flush();
        return;
    }
    // The moved part begins in the file: write the buffer, then move the file's part [pos, end)
    // forward in chunks, from its end towards its start, and write the bytes at pos.
    if (!flush())
        return;
    const auto shift = static_cast<std::int64_t>(bytes.size());
    const std::int64_t end = writePos_;
    if (scratch_.size() < flushSize_)
        scratch_.resize(flushSize_);
    std::int64_t chunkEnd = end;
    while (ok_ && chunkEnd > pos) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(chunkEnd - pos, scratch_.size()));
        const std::int64_t chunkStart = chunkEnd - static_cast<std::int64_t>(chunk);
        if (readAt(chunkStart, scratch_.data(), chunk))
            writeAt(chunkStart + shift, scratch_.data(), chunk);
        chunkEnd = chunkStart;
    }
    if (ok_)
        writeAt(pos, bytes.data(), bytes.size());
    writePos_ = end + shift;
}

bool PlainOutputSink::flush()
{
    if (!buffer_.empty() && ok_) {
        if (writeAt(writePos_, buffer_.data(), buffer_.size()))
            writePos_ += static_cast<std::int64_t>(buffer_.size());
    }
    buffer_.clear();
    return ok_;
}

bool PlainOutputSink::finish()
{
    if (!flush())
        return false;
    if (pending_)
        return ok_;
    // The file is cut only when the output ends before what was written (after a cut-back).
    if (writePos_ == fileEnd_)
        return ok_;
    if (file_.seek(writePos_, platform::SeekOrigin::kBegin) != platform::kErrorSuccess ||
        file_.setEndOfFile() != platform::kErrorSuccess)
        ok_ = false;
    filePos_ = ok_ ? writePos_ : -1;
    if (ok_)
        fileEnd_ = writePos_;
    return ok_;
}

bool PlainOutputSink::moveTo(std::int64_t pos)
{
    if (pos == filePos_)
        return true;
    if (file_.seek(pos, platform::SeekOrigin::kBegin) != platform::kErrorSuccess) {
        filePos_ = -1;
        ok_ = false;
        return false;
    }
    filePos_ = pos;
    return true;
}

bool PlainOutputSink::writeAt(std::int64_t pos, const char* data, std::size_t size)
{
    if (pending_) {
        // The source's own bytes: attach copies them when the file is made.
        fileEnd_ = std::max(fileEnd_, pos + static_cast<std::int64_t>(size));
        return ok_;
    }
    std::size_t done = 0;
    if (!moveTo(pos))
        return false;
    if (file_.write(data, size, done) != platform::kErrorSuccess || done != size) {
        filePos_ = -1;
        ok_ = false;
        return false;
    }
    filePos_ = pos + static_cast<std::int64_t>(size);
    fileEnd_ = std::max(fileEnd_, filePos_);
    return ok_;
}

bool PlainOutputSink::readAt(std::int64_t pos, char* data, std::size_t size)
{
    if (pending_) {
        ok_ = false; // nothing to read back before the file is made
        return false;
    }
    std::size_t done = 0;
    if (!moveTo(pos))
        return false;
    if (file_.read(data, size, done) != platform::kErrorSuccess || done != size) {
        filePos_ = -1;
        ok_ = false;
        return false;
    }
    filePos_ = pos + static_cast<std::int64_t>(size);
    return ok_;
}

} // namespace wux::engines
