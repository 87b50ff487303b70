// A list of 8-bit (UTF-8) text lines with the behaviour the program's code relies on: text with
// CR LF after every line, loading that splits at CR LF, CR or LF, "name=value" lines looked up by a
// case-insensitive name, and a sorted mode with a case-insensitive binary search.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wux::platform {

class StringList
{
public:
    StringList() = default;

    int count() const { return static_cast<int>(lines_.size()); }
    bool empty() const { return lines_.empty(); }

    // The line at index (0 .. count - 1); an index out of range throws std::out_of_range.
    const std::string& at(int index) const;
    const std::string& operator[](int index) const { return at(index); }
    // Replaces the line at index. In the sorted mode the line moves to its sorted place.
    void set(int index, std::string_view line);

    // Appends a line (in the sorted mode: inserts it at its sorted place) and returns its index.
    int add(std::string_view line);
    // Inserts a line before index (0 .. count). Not allowed in the sorted mode (std::logic_error).
    void insert(int index, std::string_view line);
    // Deletes the line at index.
    void remove(int index);
    void clear() { lines_.clear(); }

    // Every line followed by CR LF.
    std::string text() const;
    // Replaces the lines by those of bytes: lines end at CR LF, CR or LF; a last line without a
    // line end counts, a final line end adds no empty line, empty bytes give no lines. Every other
    // byte (NUL included) is kept in its line.
    void setText(std::string_view bytes);

    // Index of the first line equal to s ignoring case (the platform's equality of folded names),
    // -1 when none. In the sorted mode this is a binary search.
    int indexOf(std::string_view s) const;

    // Name=value lines. A line's name is the text before its first "="; a line without "=" has
    // no name (and the whole line is neither a name nor a value). Names are compared ignoring case.
    std::string name(int index) const;
    std::string valueFromIndex(int index) const;
    // Index of the first line whose name equals name ignoring case, -1 when none.
    int indexOfName(std::string_view name) const;
    // The value of the first line of that name; empty when there is none.
    std::string value(std::string_view name) const;
    // An existing name: an empty value deletes its first line, any other value replaces that
    // line's value. An absent name: "name=value" is appended ("name=" for an empty value).
    void setValue(std::string_view name, std::string_view value);
    // Gives the line at index the value; an empty value deletes the line.
    void setValueFromIndex(int index, std::string_view value);

    // Sorted mode: lines kept in the platform's case-insensitive total order of names (folded
    // characters, bytes as the tie-break between case variants). Switching it on sorts the list.
    bool sorted() const { return sorted_; }
    void setSorted(bool sorted);
    // Sorts the lines in the case-insensitive total order (stable for equal lines).
    void sort();
    // Binary search of a sorted list (sorted mode or after sort()): true when a line equals s
    // ignoring case; index receives that line's index (the first of several), else the index where
    // s would be inserted.
    bool find(std::string_view s, int& index) const;

    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string>::const_iterator begin() const { return lines_.begin(); }
    std::vector<std::string>::const_iterator end() const { return lines_.end(); }

    friend bool operator==(const StringList& a, const StringList& b) { return a.lines_ == b.lines_; }

private:
    std::size_t checkedIndex(int index) const;
    std::size_t sortedInsertPosition(std::string_view line) const;

    std::vector<std::string> lines_;
    bool sorted_ = false;
};

} // namespace wux::platform
