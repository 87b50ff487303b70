// Ini files with the behaviour of the system's profile calls: every read looks at the file on disk and
// every write goes to the file at once, so another program (a plug-in) writing the same file meanwhile
// loses nothing and sees our changes. Where many values are read or written together (the settings
// loaded at start-up, saved at exit), an IniSession reads the file once and writes it once.
//
// The format, as read and written here:
// - Lines end with CR LF, LF or CR. Lines that are not changed keep their bytes and their own line
//   ends; added lines take the file's first line end (CR LF in a new file or a file without any). A
//   last line without a line end is read like any other; a line added after it ends it first. A UTF-8
//   byte-order mark at the start is kept and skipped. A file in UTF-16 (found as the language files
//   are, by its byte-order mark or its zero bytes) is read as text and written back in UTF-16, in its
//   byte order and with its mark when it had one; one whose text UTF-16 cannot give back byte for byte
//   (an unpaired surrogate, an odd last byte) is read but never written (error 13).
// - "[name]" begins a section (the name between "[" and the last "]" of the line, or its end, without
//   surrounding blanks; so a name may hold "]"). A line whose first non-blank character is ";" is a
//   comment. A line with "=" is a key: the name before the first "=" and the value after it, both
//   without surrounding blanks. Other lines, comments and keys before the first section belong to no
//   section's keys and are kept as they are.
// - Section and key names are compared ignoring case (the platform's equality of names, Unicode simple
//   case folding; for ASCII names this is the profile calls' rule).
// - A section that appears several times is one section: its keys are those of every occurrence in
//   file order. A key that appears several times in a section has the value of its first line.
// - Values are written verbatim, with no quoting or escaping and no length limit. A value is read with
//   its surrounding blanks (spaces, tabs) removed and then one pair of surrounding double quotes
//   removed ("\" a \"" reads as " a ").
// - Names and values that the format cannot hold are refused with error 87 and nothing is written: a
//   line break in any of them, "=" in a key name, a key name beginning with "[" or ";". Surrounding
//   blanks of the names given by callers are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/errors.h"
#include "platform/text.h"

namespace wux::platform {

class StringList;

// The text of an ini file in memory: the rules above, without any file access.
class IniDocument
{
public:
    IniDocument() = default;
    // 8-bit text as it is.
    explicit IniDocument(std::string bytes);
    // The bytes of a file, decoded by their encoding (see above).
    static IniDocument fromFileBytes(std::string fileBytes);

    // The text with every change made so far (UTF-8 for a file in UTF-16).
    const std::string& bytes() const { return bytes_; }
    // The bytes to store in the file: the text in the file's encoding. Error 13 when the file's text
    // cannot be stored as it came.
    WinError fileBytes(std::string& out) const;
    // True once an edit has changed the bytes.
    bool modified() const { return modified_; }

    // The value of a key (read rules above); false when the section or key is absent.
    bool findValue(std::string_view section, std::string_view key, std::string& value) const;
    bool sectionExists(std::string_view section) const;
    // Every section's name once (the spelling of its first header), in file order.
    std::vector<std::string> sectionNames() const;
    // The keys of a section, each once (its first line), in file order, with their values.
    std::vector<std::pair<std::string, std::string>> sectionValues(std::string_view section) const;

    // Sets a key's value: its first line is rewritten as key + "=" + value; an absent key is added after
    // the last key of the section's last occurrence (or after its header); an absent section is added
    // at the end of the file, after a blank line unless the file is empty. Errors: 87 (see above).
    WinError writeString(std::string_view section, std::string_view key, std::string_view value);
    // Removes every line of the key in the section.
    void deleteKey(std::string_view section, std::string_view key);
    // Removes every occurrence of the section with all its lines.
    void eraseSection(std::string_view section);
    // Adds an empty section at the end when it is absent. Errors: 87.
    WinError addSection(std::string_view section);

private:
    enum class LineKind
    {
        kOther,
        kSection,
        kKey
    };
    struct Line
    {
        std::size_t start = 0;      // first byte
        std::size_t contentEnd = 0; // end of the text, before the line end
        std::size_t end = 0;        // after the line end
        LineKind kind = LineKind::kOther;
        std::size_t nameStart = 0; // section or key name (without blanks)
        std::size_t nameSize = 0;
        std::size_t valueStart = 0; // key value (without surrounding blanks, quotes kept)
        std::size_t valueSize = 0;
    };

    void parse();
    // The line that begins at byte pos (below the size).
    Line parseLine(std::size_t pos) const;
    // The line end of the first line that has one ("\r\n" when none has).
    void findNewline();
    std::string_view nameOf(const Line& line) const;
    // Line indexes of the section's headers; the body of header h runs to bodyEnd(h).
    std::vector<std::size_t> headersOf(std::string_view section) const;
    std::size_t bodyEnd(std::size_t header) const;
    std::vector<std::size_t> keyLines(std::string_view section, std::string_view key) const;
    void replaceBytes(std::size_t start, std::size_t end, std::string_view text);
    void removeLines(std::vector<std::pair<std::size_t, std::size_t>> lineRanges);
    void appendSectionHeader(std::string_view section, std::string& out) const;

    std::string bytes_;
    std::vector<Line> lines_;
    std::string newline_ = "\r\n";
    bool modified_ = false;
    TextFileEncoding encoding_ = TextFileEncoding::kUtf8;
    bool byteOrderMark_ = false;
    bool storable_ = true; // the file's encoding gives the text back as it came
};

// An ini file on a drive path ("c:\...\wux.ini"). Reads of a file that is missing or cannot be read
// give the defaults; a write reads the file, changes it and puts it in place through the atomic
// rewrite, creating it when it is missing. A write that fails (or a file that exists but cannot be
// read) leaves the file as it was and returns the error. Writes of all threads are serialised, so
// threads writing the same file never lose one another's changes.
class IniFile
{
public:
    explicit IniFile(std::string windowsPath);

    const std::string& fileName() const { return path_; }

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    WinError writeString(std::string_view section, std::string_view key, std::string_view value);

    // A decimal number ("-12", "+7") or "0x" / "0X" and up to 32 bits of hexadecimal digits ("0xFFFFFFFF"
    // reads as -1); anything else, an empty value or a decimal number outside 32 bits gives the default.
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    // Writes the decimal text.
    WinError writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    // readInteger(section, key, defaultValue ? 1 : 0) != 0.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // Writes "1" or "0".
    WinError writeBool(std::string_view section, std::string_view key, bool value);

    // A stream value: two hexadecimal digits per byte. bytes receives the bytes decoded up to the first
    // pair that is not two hexadecimal digits (upper or lower case; an odd last digit is ignored); an
    // absent key gives none. Returns the number of bytes.
    std::size_t readBinaryStream(std::string_view section, std::string_view key, std::string& bytes) const;
    // Writes the bytes as upper-case hexadecimal, two digits per byte, no separators.
    WinError writeBinaryStream(std::string_view section, std::string_view key, std::string_view bytes);

    // Replaces lines by one "key=value" line per key of the section, in file order (each key once,
    // with the value of its first line). An absent section gives no lines.
    void readSectionValues(std::string_view section, StringList& lines) const;
    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    // Removes the section with every key; nothing is written when it is absent.
    WinError eraseSection(std::string_view section);
    // Removes the key from the section; nothing is written when it is absent.
    WinError deleteKey(std::string_view section, std::string_view key);

    // The file's current text (the session's while one is open for the file). A missing file (2, 3)
    // gives an empty document and 0; any other read error is returned with an empty document.
    WinError load(IniDocument& document) const;
    // Loads the file, lets edit change the document and writes it back when it was modified (one atomic
    // rewrite for several changes). An error of the load (other than a missing file), of edit or of the
    // write is returned, and the file is left as it was. While a session is open for the file, edit
    // changes the session's text, which the session writes.
    WinError update(const std::function<WinError(IniDocument&)>& edit);

private:
    // Calls use with the file's text: the session's, or the file read now. The error of the read.
    WinError read(const std::function<void(const IniDocument&)>& use) const;

    std::string path_;
};

// Reads an ini file once and has every IniFile of the same path in this process work on that text
// while the session is open: reads answer from it and writes change it; the changed text is put in
// place by one atomic rewrite in commit() (or when the session ends). Sessions of one path nest: an
// inner one works on the outer one's text, and only the outermost writes. A file that cannot be read
// gives every read its default and every write that error, as without a session.
class IniSession
{
public:
    explicit IniSession(const std::string& windowsPath);
    ~IniSession();
    IniSession(const IniSession&) = delete;
    IniSession& operator=(const IniSession&) = delete;

    // The error of reading the file when the session began (0 for a missing file).
    WinError loadError() const;
    // Writes the text when it was changed (the outermost session only) and ends the session; later
    // reads and writes go to the file again. The error of the write (or of the load); 0 for an inner
    // session.
    WinError commit();

private:
    std::string path_;
    bool open_ = false;
};

// A value as it must be stored to read back as given: inside one pair of double quotes when the reading
// rules would change it (blanks around it, or a pair of surrounding quotes), else unchanged.
std::string quotedIniValue(std::string_view value);
// The integer rules of IniFile::readInteger; false for anything that is not a whole number of 32 bits.
bool parseIniInteger(std::string_view text, std::int32_t& result);

// Bytes as upper-case hexadecimal, two digits per byte.
std::string bytesToHex(std::string_view bytes);
// Hexadecimal text back to bytes, up to the first pair that is not two hexadecimal digits.
std::string hexToBytes(std::string_view hex);

} // namespace wux::platform
