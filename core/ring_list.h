// String lists kept as one hex-encoded ini value, and the most-recent list TVYK_RingList: at most nine
// texts held as a ring over a string list, with the ring position stored beside the texts.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/string_list.h"

namespace wux::platform {
class IniFile;
}

namespace wux::core {

// Stores a string list as the stream value of Section/Ident: the list's text (each line followed by
// CR LF) as upper-case hex, two digits per byte; an empty list writes an empty value.
platform::WinError WriteStringsToIni(platform::IniFile& ini, const platform::StringList& strings,
                                     std::string_view section, std::string_view ident);
// Replaces strings by the lines of the stream value of Section/Ident (split at CR LF, CR or LF); an
// absent or empty value gives an empty list.
void ReadStringsFromIni(const platform::IniFile& ini, platform::StringList& strings, std::string_view section,
                        std::string_view ident);

// The list a ring works on: its own string list, a caller's string list, or the items of a combo box
// (the history combo box provides its own adapter).
class IStringList
{
public:
    virtual ~IStringList() = default;
    virtual int count() const = 0;
    // index 0 .. count() - 1.
    virtual std::string at(int index) const = 0;
    virtual void set(int index, std::string_view text) = 0;
    virtual void append(std::string_view text) = 0;
    virtual void removeAt(int index) = 0;
    virtual void clear() = 0;
};

// IStringList over a platform string list (not owned).
class StringListAdapter : public IStringList
{
public:
    explicit StringListAdapter(platform::StringList& list) : list_(list) {}
    int count() const override { return list_.count(); }
    std::string at(int index) const override { return list_.at(index); }
    void set(int index, std::string_view text) override { list_.set(index, text); }
    void append(std::string_view text) override { list_.add(text); }
    void removeAt(int index) override { list_.remove(index); }
    void clear() override { list_.clear(); }

private:
    platform::StringList& list_;
};

class TVYK_RingList
{
public:
    // Slots 1 to 9.
    static constexpr int kCapacity = 9;

    // A ring over a list of its own.
    TVYK_RingList();
    // A ring over the caller's list (kept alive by the caller while the ring lives).
    explicit TVYK_RingList(IStringList& strings);
    explicit TVYK_RingList(platform::StringList& strings);
    ~TVYK_RingList();
    TVYK_RingList(const TVYK_RingList&) = delete;
    TVYK_RingList& operator=(const TVYK_RingList&) = delete;

    // Empties the ring and, when the ring owns its list, frees the list's memory.
    void FreeStrings();

    // Puts text into the ring as the newest entry; an empty text is ignored. A text already there
    // (compared exactly) becomes the newest without a second copy.
    void Add(std::string_view text);
    // Appends every entry to dest, newest first.
    void FillStrings(IStringList& dest) const;
    void FillStrings(platform::StringList& dest) const;

    // The bytes SaveToIni stores (before hex encoding): the entries in slot order and the decimal
    // position of the newest entry, each line followed by CR LF.
    std::string StoredText() const;
    // Stores the entries in slot order followed by the decimal position of the newest entry.
    platform::WinError SaveToIni(platform::IniFile& ini, std::string_view section,
                                 std::string_view ident) const;
    // Loads entries and position stored by SaveToIni. Entries beyond nine are dropped; a last line that
    // is not a number stays an entry; a missing or out-of-range position makes the last entry the
    // newest.
    void LoadFromIni(const platform::IniFile& ini, std::string_view section, std::string_view ident);

    // The entries in slot order (slot 1 = index 0).
    const IStringList& Strings() const { return *strings_; }
    // Slot (1-based) of the newest entry; 0 while the ring is empty.
    int Current() const { return current_; }

private:
    // Current within 1..Count (Count when it is not), 0 for an empty ring.
    int checkedCurrent() const;

    std::unique_ptr<platform::StringList> ownList_;
    std::unique_ptr<IStringList> adapter_;
    IStringList* strings_ = nullptr;
    int current_ = 0;
};

} // namespace wux::core
