#include "platform/string_list.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text.h"

namespace wux::platform {

namespace {

// The name part of a line ("" and false when the line has no "=").
bool splitName(std::string_view line, std::string_view& name)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    name = line.substr(0, eq);
    return true;
}

} // namespace

std::size_t StringList::checkedIndex(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return static_cast<std::size_t>(index);
}

const std::string& StringList::at(int index) const
{
    return lines_[checkedIndex(index)];
}

void StringList::set(int index, std::string_view line)
{
    const std::size_t i = checkedIndex(index);
    if (!sorted_) {
        lines_[i].assign(line);
        return;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    add(line);
}

std::size_t StringList::sortedInsertPosition(std::string_view line) const
{
    // After every line that is not greater, so equal lines keep the order they were added in.
    const auto it =
        std::upper_bound(lines_.begin(), lines_.end(), line,
                         [](std::string_view a, const std::string& b) { return lessNoCase(a, b); });
    return static_cast<std::size_t>(it - lines_.begin());
}

int StringList::add(std::string_view line)
{
    const std::size_t pos = sorted_ ? sortedInsertPosition(line) : lines_.size();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos), std::string(line));
    return static_cast<int>(pos);
}

void StringList::insert(int index, std::string_view line)
{
    if (sorted_)
        throw std::logic_error("Operation not allowed on sorted list");
    if (index < 0 || static_cast<std::size_t>(index) > lines_.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    lines_.insert(lines_.begin() + index, std::string(line));
}

void StringList::remove(int index)
{
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(checkedIndex(index)));
}

std::string StringList::text() const
{
    std::size_t size = 0;
    for (const std::string& line : lines_)
        size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

void StringList::setText(std::string_view bytes)
{
    lines_.clear();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines_.emplace_back(bytes.substr(pos));
            break;
        }
        lines_.emplace_back(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    if (sorted_)
        sort();
}

int StringList::indexOf(std::string_view s) const
{
    if (sorted_) {
        int index = 0;
        return find(s, index) ? index : -1;
    }
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (equalNoCase(lines_[i], s))
            return static_cast<int>(i);
    return -1;
}

std::string StringList::name(int index) const
{
    std::string_view n;
    return splitName(at(index), n) ? std::string(n) : std::string();
}

std::string StringList::valueFromIndex(int index) const
{
    const std::string& line = at(index);
    const std::size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

int StringList::indexOfName(std::string_view name) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view n;
        if (splitName(lines_[i], n) && equalNoCase(n, name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string StringList::value(std::string_view name) const
{
    const int index = indexOfName(name);
    return index < 0 ? std::string() : valueFromIndex(index);
}

void StringList::setValue(std::string_view name, std::string_view value)
{
    const int index = indexOfName(name);
    if (index >= 0) {
        setValueFromIndex(index, value);
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    add(line);
}

void StringList::setValueFromIndex(int index, std::string_view value)
{
    const std::size_t i = checkedIndex(index);
    if (value.empty()) {
        remove(index);
        return;
    }
    std::string_view n;
    std::string line;
    if (splitName(lines_[i], n))
        line.assign(n);
    line.append("=").append(value);
    set(index, line);
}

void StringList::setSorted(bool sorted)
{
    if (sorted && !sorted_)
        sort();
    sorted_ = sorted;
}

void StringList::sort()
{
    std::stable_sort(lines_.begin(), lines_.end(), LessNoCase());
}

bool StringList::find(std::string_view s, int& index) const
{
    // The folded order agrees with the sort order, so its lower bound is the first line equal to s
    // ignoring case, or the insertion point.
    const auto it =
        std::lower_bound(lines_.begin(), lines_.end(), s,
                         [](const std::string& a, std::string_view b) { return compareFolded(a, b) < 0; });
    index = static_cast<int>(it - lines_.begin());
    return it != lines_.end() && compareFolded(*it, s) == 0;
}

} // namespace wux::platform
