#include "core/ring_list.h"

#include <algorithm>
#include <charconv>

#include "platform/ini_file.h"

namespace wux::core {

platform::WinError WriteStringsToIni(platform::IniFile& ini, const platform::StringList& strings,
                                     std::string_view section, std::string_view ident)
{
    return ini.writeBinaryStream(section, ident, strings.text());
}

void ReadStringsFromIni(const platform::IniFile& ini, platform::StringList& strings, std::string_view section,
                        std::string_view ident)
{
    std::string bytes;
    ini.readBinaryStream(section, ident, bytes);
    strings.setText(bytes);
}

namespace {

// A whole line as a decimal number (an optional sign and digits, nothing else, within 32 bits).
bool parseDecimal(std::string_view line, int& value)
{
    if (!line.empty() && line.front() == '+')
        line.remove_prefix(1);
    if (line.empty() || line.front() == '+')
        return false;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    return error == std::errc() && end == line.data() + line.size();
}

} // namespace

TVYK_RingList::TVYK_RingList()
    : ownList_(std::make_unique<platform::StringList>()),
      adapter_(std::make_unique<StringListAdapter>(*ownList_)), strings_(adapter_.get())
{
}

TVYK_RingList::TVYK_RingList(IStringList& strings) : strings_(&strings) {}

TVYK_RingList::TVYK_RingList(platform::StringList& strings)
    : adapter_(std::make_unique<StringListAdapter>(strings)), strings_(adapter_.get())
{
}

TVYK_RingList::~TVYK_RingList() = default;

void TVYK_RingList::FreeStrings()
{
    strings_->clear();
    if (ownList_)
        *ownList_ = platform::StringList();
    current_ = 0;
}

int TVYK_RingList::checkedCurrent() const
{
    const int count = std::min(strings_->count(), kCapacity);
    if (current_ < 1 || current_ > count)
        return count;
    return current_;
}

void TVYK_RingList::Add(std::string_view text)
{
    if (text.empty())
        return;
    // A ring holds nine entries at most, whatever its list was given.
    while (strings_->count() > kCapacity)
        strings_->removeAt(strings_->count() - 1);
    current_ = checkedCurrent();
    const int count = strings_->count();

    int found = -1;
    for (int i = 0; i < count; ++i) {
        if (strings_->at(i) == text) {
            found = i;
            break;
        }
    }
    if (found >= 0) {
        if (count != kCapacity) {
            // The entry changes places with the newest one.
            const int newest = current_ - 1;
            if (found != newest) {
                const std::string previous = strings_->at(newest);
                strings_->set(newest, text);
                strings_->set(found, previous);
            }
        } else {
            current_ = found + 1;
        }
        return;
    }
    if (count < kCapacity) {
        strings_->append(text);
        current_ = strings_->count();
        return;
    }
    current_ = current_ % kCapacity + 1;
    strings_->set(current_ - 1, text);
}

void TVYK_RingList::FillStrings(IStringList& dest) const
{
    const int count = std::min(strings_->count(), kCapacity);
    const int current = checkedCurrent();
    for (int slot = current; slot >= 1; --slot)
        dest.append(strings_->at(slot - 1));
    for (int slot = count; slot > current; --slot)
        dest.append(strings_->at(slot - 1));
}

void TVYK_RingList::FillStrings(platform::StringList& dest) const
{
    StringListAdapter adapter(dest);
    FillStrings(adapter);
}

std::string TVYK_RingList::StoredText() const
{
    platform::StringList lines;
    const int count = strings_->count();
    for (int i = 0; i < count; ++i)
        lines.add(strings_->at(i));
    lines.add(std::to_string(checkedCurrent()));
    return lines.text();
}

platform::WinError TVYK_RingList::SaveToIni(platform::IniFile& ini, std::string_view section,
                                            std::string_view ident) const
{
    return ini.writeBinaryStream(section, ident, StoredText());
}

void TVYK_RingList::LoadFromIni(const platform::IniFile& ini, std::string_view section,
                                std::string_view ident)
{
    platform::StringList lines;
    ReadStringsFromIni(ini, lines, section, ident);
    int current = lines.count();
    if (lines.count() > 0) {
        int stored = 0;
        if (parseDecimal(lines.at(lines.count() - 1), stored)) {
            lines.remove(lines.count() - 1);
            current = stored;
        } else {
            current = -1; // no position: the last entry becomes the newest
        }
    }
    while (lines.count() > kCapacity)
        lines.remove(lines.count() - 1);
    strings_->clear();
    for (const std::string& line : lines)
        strings_->append(line);
    current_ = current;
    current_ = checkedCurrent();
}

} // namespace wux::core
