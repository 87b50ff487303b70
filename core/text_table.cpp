#include "core/text_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/file_handle.h"
#include "platform/text.h"

namespace wux::core {

namespace {

// The English defaults of the general texts.
constexpr DefaultText kGeneralTexts[] = {
    {1, "There are no items in the Basket."},
    {5, "Enter file name to edit:"},
    {8, ". (JUST FIND. Will not make any changes!)"},
    {9, "unchanged"},
    {10, "failed"},
    {11, "successful"},
    {12, "not found"},
    {13, "not supported"},
    {14, "Operation completed!"},
    {17, "&Cancel"},
    {18, "Abort operation?"},
    {19, "No Text in window"},
    {20, "Select files"},
    {21, "Unselect files"},
    {22, "Enter file types"},
    {23, "You must select folder(s). (Not file(s))!"},
    {24, "You must select file(s). (Not folder(s))!"},
    {25, " Files in Basket"},
    {26, "%s of %s k in %d of %d files selected"},
    {27, "%s of %s k free"},
    {28, "%s folders and %s files in basket"},
    {29, "GetDiskFreeSpaceEx: Error "},
    {34, "[..]"},
    {35, "<DIR>"},
    {36, "error!"},
    {37, "File not found"},
    {38, "Files not found"},
    {39, "No files selected!"},
    {40, "No data in Grid"},
    {41, "Error: directory [%s]\r\nnot created!"},
    {42, "Copy "},
    {43, "Rename or move "},
    {44, "directory [%s]"},
    {45, "file \"%s\""},
    {46, "%d files"},
    {47, " to"},
    {48, "&Delete from disk"},
    {49, "Do you wish to delete "},
    {50, "Do you wish to remove "},
    {51, " from basket?"},
    {52, "Warning!"},
    {53, "New directory"},
    {54, "You cannot copy a file to itself!"},
    {55, "Delete:"},
    {56, "User abort!"},
    {57, "Delete"},
    {58, "Copy"},
    {59, "has either the attribute HIDDEN or SYSTEM!"},
    {60, "is READ ONLY!"},
    {61, "File %s\r\n%s\r\nDelete anyway?"},
    {62, "An error with file %s\r\n%s\r\nWhich action you prefer?"},
    {63, " Overwrite: %s\r\n%s\r\n\r\n with file: %s ?\r\n%s"},
    {64, "File %s\r\n%s\r\nOverwrite?"},
    {65, "The specified directory does not exist:\r\n%s\r\nDo you want to create it?"},
    {66, "Can't create the specified directory:\r\n%s\r\nbecause an error occured:\r\n%s\r\nDo you want to "
         "try create it again?"},
    {67, "Can't delete file!"},
    {68, "Error file copy "},
    {69, "Error file delete "},
    {70,
     "The directory %s is not empty!\r\n Do you want to delete it with all its files and subdirectories?"},
    {71, "Directory %s not deleted!"},
    {72, " bytes, "},
    {73, "&Yes"},
    {74, "Y&es to all"},
    {75, "Yes all o&lder"},
    {76, "&No"},
    {77, "N&o to all"},
    {78, "&Cancel"},
    {79, "&Autorename"},
    {80, "Auto&rename all"},
    {81, "&Retry"},
    {82, "&Skip"},
    {83, "&Abort"},
    {84, "Name"},
    {85, "Ext"},
    {86, "Size"},
    {87, "Date"},
    {88, "Attr"},
    {89, "New name"},
    {90, "New ext"},
    {91, "Location"},
    {92, "Old name"},
    {93, "%sGb"},
    {94, "%sMb"},
    {95, "%sKb"},
    {107, " files in finder"},
    {108, "Add directory or drive for search in"},
    {109, "Edit directory or drive for search in"},
    {120, "Remove:  "},
    {121, "Send:  "},
    {122, "From:  "},
    {123, "To:  "},
    {124, "Delete:  "},
    {125, "You cannot move or copy more than one file to a single file!"},
    {126, "The given target path\r\n%s\r\nis invalid!"},
    {127, "Copy"},
    {128, "Move"},
    {129, "Delete"},
    {130, "Send to basket"},
    {131, "Remove from basket"},
    {132, "OK"},
    {134, "Message"},
    {135, "All files"},
    {136, "All unchanged"},
    {137, "All successful"},
    {138, "All failed"},
    {139, "Number of files"},
    {140, "Size before"},
    {141, "Size after"},
    {142, "Changed size"},
    {143, "Amount"},
    {144, "Status"},
    {146, "Error on creating directory"},
    {147, "Create directory confirmation"},
    {148, "Overwrite confirmation"},
    {149, "protected from changes"},
    {150, ", because you have old version of the program.\r\nYou able to download new version of the program "
          "from our site."},
    {151, "Plugin not loaded"},
    {152, "Operation aborted!"},
};

} // namespace

TClassTranslator::TClassTranslator(int poolBytes, int ids)
{
    base_ = ids > 0 ? ids : 1;
    capacity_ = 2 * base_;
    poolSize_ = poolBytes > 0 ? poolBytes : 0;
    pool_.assign(static_cast<std::size_t>(poolSize_), '\0');
    offsets_.assign(static_cast<std::size_t>(capacity_), 0);
    bytesUsed_ = 0;
    SetText(0, "");
}

std::string TClassTranslator::GetText(int id) const
{
    if (id < 0 || id >= capacity_ - base_)
        return textAt(offsets_.empty() ? 0 : offsets_[0]);
    const std::uint32_t language = offsets_[static_cast<std::size_t>(base_ + id)];
    if (language != 0)
        return textAt(language);
    const std::uint32_t builtIn = offsets_[static_cast<std::size_t>(id)];
    if (builtIn != 0)
        return textAt(builtIn);
    return textAt(offsets_[0]);
}

std::string TClassTranslator::GetDefaultText(int id) const
{
    if (id <= 0 || id >= base_)
        return std::string();
    const std::uint32_t builtIn = offsets_[static_cast<std::size_t>(id)];
    return builtIn != 0 ? std::string(textAt(builtIn)) : std::string();
}

void TClassTranslator::SetText(int index, std::string_view text)
{
    if (index < 0 || index >= capacity_)
        return;
    // A text stops at its first zero byte, as every text of the pool does.
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    const std::uint64_t needed = std::uint64_t{bytesUsed_} + text.size() + 1;
    if (needed > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return; // the pool's offsets cannot address it
    if (needed > static_cast<std::uint64_t>(poolSize_)) {
        const std::uint64_t grown = std::uint64_t(poolSize_) + text.size() + kPoolGrowth;
        poolSize_ = static_cast<std::int32_t>(
            std::min<std::uint64_t>(grown, std::numeric_limits<std::int32_t>::max()));
        pool_.resize(static_cast<std::size_t>(poolSize_), '\0');
    }
    std::memcpy(pool_.data() + bytesUsed_, text.data(), text.size());
    pool_[bytesUsed_ + text.size()] = '\0';
    offsets_[static_cast<std::size_t>(index)] = bytesUsed_;
    bytesUsed_ += static_cast<std::uint32_t>(text.size() + 1);
}

void TClassTranslator::SetTranslation(int id, std::string_view text)
{
    if (id < 0)
        return;
    SetText(base_ + id, text);
}

void TClassTranslator::ResetTranslations()
{
    TClassTranslator fresh(poolSize_, base_);
    for (int id = 1; id < base_; ++id) {
        const std::uint32_t offset = offsets_[static_cast<std::size_t>(id)];
        if (offset != 0)
            fresh.SetText(id, textAt(offset));
    }
    pool_ = std::move(fresh.pool_);
    bytesUsed_ = fresh.bytesUsed_;
    poolSize_ = fresh.poolSize_;
    offsets_ = std::move(fresh.offsets_);
}

bool TClassTranslator::LoadFromFile(const std::string& fileName)
{
    platform::FileHandle file;
    if (file.open(fileName, platform::kAccessRead, platform::kShareRead | platform::kShareWrite,
                  platform::Disposition::kOpenExisting) != platform::kErrorSuccess)
        return false;
    std::uint64_t size = 0;
    if (file.size(size) != platform::kErrorSuccess)
        return false;
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::exception&) {
        return false;
    }
    std::size_t total = 0;
    while (total < bytes.size()) {
        std::size_t done = 0;
        if (file.read(bytes.data() + total, bytes.size() - total, done) != platform::kErrorSuccess)
            return false;
        if (done == 0)
            break;
        total += done;
    }
    file.close();
    if (total < bytes.size())
        return false; // the file shrank while it was read: store nothing
    LoadFromBytes(bytes);
    return true;
}

void TClassTranslator::LoadFromBytes(std::string_view fileBytes)
{
    const platform::DecodedTextFile decoded = platform::decodeTextFile(fileBytes);
    std::string_view bytes = decoded.text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    int id = 0;
    bool idTooLarge = false;
    bool inText = false;
    bool zeroSeen = false; // a line holding a zero byte is no text: it is left out
    std::string text;

    const auto endLine = [&]() {
        if (inText && !idTooLarge && !zeroSeen) {
            for (std::size_t i = 0; i + 1 < text.size(); ++i) {
                if (text[i] == '\\' && text[i + 1] == 'n') {
                    text[i] = '\r';
                    text[i + 1] = '\n';
                }
            }
            SetText(base_ + id, text);
        }
        id = 0;
        idTooLarge = false;
        inText = false;
        zeroSeen = false;
        text.clear();
    };

    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            endLine();
            continue;
        }
        if (c == '\0')
            zeroSeen = true;
        if (inText) {
            text.push_back(c);
        } else if (c >= '0' && c <= '9') {
            if (!idTooLarge) {
                id = id * 10 + (c - '0');
                if (base_ + id >= capacity_)
                    idTooLarge = true; // no language slot: the line is ignored
            }
        } else if (c == '=') {
            inText = true;
        }
        if (i + 1 == bytes.size())
            endLine();
    }
}

void TClassTranslator::LoadDefaultMessages()
{
    for (const DefaultText& entry : kGeneralTexts)
        SetText(entry.id, entry.text);
}

std::string TClassTranslator::Format(int id, std::initializer_list<platform::FormatArg> args) const
{
    return platform::formatOr(GetText(id), GetDefaultText(id), args);
}

TClassTranslator& classTranslator()
{
    static TClassTranslator table;
    return table;
}

void registerDefaultTexts(std::initializer_list<DefaultText> texts)
{
    TClassTranslator& table = classTranslator();
    for (const DefaultText& entry : texts)
        table.SetText(entry.id, entry.text ? entry.text : "");
}

void registerCoreTexts()
{
    classTranslator().LoadDefaultMessages();
}

std::string uiText(int id)
{
    return classTranslator().GetText(id);
}

std::string formatUiText(int id, std::initializer_list<platform::FormatArg> args)
{
    return classTranslator().Format(id, args);
}

} // namespace wux::core
