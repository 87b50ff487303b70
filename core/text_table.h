// The numbered table of UI texts: a built-in English default and a language text per number, the
// language files ("*.lng") that fill the language texts, and the general texts 1-152.
//
// Every module registers the English defaults of its own numbers through an explicit call made by the
// program's start-up in a fixed order (the core's own are registerCoreTexts / LoadDefaultMessages); the
// table itself is created on first use, so it exists before any registration.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/format.h"

namespace wux::core {

// One built-in English default of a module.
struct DefaultText
{
    int id;
    const char* text;
};

class TClassTranslator
{
public:
    // The process's table: base 3000 (ids 0-2999), an initial pool of 9,500 bytes.
    static constexpr int kTranslationBase = 3000;
    static constexpr int kInitialPoolBytes = 9500;
    // Bytes the pool grows by beyond the length of the text that does not fit.
    static constexpr std::uint32_t kPoolGrowth = 6000;

    // A table of 2 x ids slots over a zero-filled pool of poolBytes; slot 0 holds the empty text.
    explicit TClassTranslator(int poolBytes = kInitialPoolBytes, int ids = kTranslationBase);

    // The language text of id, else its default, else the empty text (also for an id out of range).
    std::string GetText(int id) const;
    // The built-in default of id, else the empty text.
    std::string GetDefaultText(int id) const;
    // Stores text in slot index (index = id for a default); an index out of range is ignored.
    void SetText(int index, std::string_view text);
    // Stores the language text of id.
    void SetTranslation(int id, std::string_view text);
    // Drops every language text and keeps the defaults.
    void ResetTranslations();
    // Reads a language file (a drive path) into the language texts, over those already there. False
    // when the file cannot be opened or read in full; then nothing is stored.
    bool LoadFromFile(const std::string& fileName);
    // The language file reader over the bytes of a file: 8-bit (UTF-8) text, UTF-8 with a byte-order
    // mark, or UTF-16 (little or big endian, with or without its mark).
    void LoadFromBytes(std::string_view bytes);
    // Registers the English defaults of the general texts 1-152.
    void LoadDefaultMessages();

    // The text of id used as a template ("%s of %s k free"): a language text that does not fit the
    // arguments falls back to the built-in English default.
    std::string Format(int id, std::initializer_list<platform::FormatArg> args) const;

    int translationBase() const { return base_; }
    int slotCapacity() const { return capacity_; }
    // Bytes of the pool in use and the pool's size.
    std::uint32_t bytesUsed() const { return bytesUsed_; }
    std::int32_t poolSize() const { return poolSize_; }

    // The file name of the current language file; empty for the built-in English.
    std::string LanguageName;

private:
    const char* textAt(std::uint32_t offset) const { return pool_.data() + offset; }

    std::vector<char> pool_;
    std::uint32_t bytesUsed_ = 0;
    std::int32_t poolSize_ = 0;
    int capacity_ = 0;
    std::vector<std::uint32_t> offsets_;
    int base_ = 0;
};

// The process-wide text table (created on first use).
TClassTranslator& classTranslator();

// Registers a module's English defaults in the process-wide table.
void registerDefaultTexts(std::initializer_list<DefaultText> texts);
// Registers the core's texts (the general texts 1-152) in the process-wide table.
void registerCoreTexts();

// classTranslator().GetText(id).
std::string uiText(int id);
// classTranslator().Format(id, args).
std::string formatUiText(int id, std::initializer_list<platform::FormatArg> args);

} // namespace wux::core
