#include "filelist/name_mask.h"

namespace wux::filelist {

std::string ApplyNameMask(std::string_view Mask, std::string_view Name)
{
    if (Mask.empty())
        return std::string(Name);
    const std::size_t lastDot = Name.rfind('.');
    const std::string_view base = lastDot == std::string_view::npos ? Name : Name.substr(0, lastDot);
    const std::string_view extension =
        lastDot == std::string_view::npos ? std::string_view() : Name.substr(lastDot + 1);

    std::string firstHalf;
    std::string piece;
    bool dotSeen = false;
    std::string_view part = base;
    std::size_t partStart = 0; // mask position where the current part begins
    for (std::size_t i = 0; i < Mask.size(); ++i) {
        const char c = Mask[i];
        if (c == '*') {
            piece += part;
        } else if (c == '?') {
            const std::size_t at = i - partStart;
            if (at < part.size())
                piece += part[at];
        } else if (c == '.') {
            if (dotSeen) {
                firstHalf += '.';
                firstHalf += piece;
            } else {
                firstHalf = piece;
            }
            piece.clear();
            dotSeen = true;
            part = extension;
            partStart = i + 1;
        } else {
            piece += c;
        }
    }
    if (!dotSeen)
        return piece;
    if (!piece.empty()) {
        firstHalf += '.';
        firstHalf += piece;
    }
    return firstHalf;
}

std::string NumberedName(std::string_view name, std::uint32_t number)
{
    const std::size_t dot = name.rfind('.');
    const std::string tag = "[" + std::to_string(number) + "]";
    if (dot == std::string_view::npos || dot == 0)
        return std::string(name) + tag;
    return std::string(name.substr(0, dot)) + tag + std::string(name.substr(dot));
}

bool HasWildcard(std::string_view text)
{
    return text.find_first_of("*?") != std::string_view::npos;
}

} // namespace wux::filelist
