// Builders of small word-processing packages for the automation tests, written the way word processors
// write them: namespaces, relationships, content types, settings, headers, footers and notes.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace wux::test {

inline constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

struct DocxContent
{
    std::string body;     // inner XML of w:body
    std::string settings; // inner XML of w:settings ("" = no settings part)
    std::vector<std::pair<std::string, std::string>> headers; // (id, inner XML of w:hdr): part word/<id>.xml
    std::vector<std::pair<std::string, std::string>> footers; // (id, inner XML of w:ftr)
    std::string footnotes;                                    // inner XML of w:footnotes ("" = none)
    std::string endnotes;                                     // inner XML of w:endnotes ("" = none)
    std::string image = std::string("\x89PNG\r\n\x1a\n binary \0\x01\x02 data", 24);
};

// The zip bytes of a package.
std::string buildDocx(const DocxContent& parts);
// A zip of the given entries (name, bytes), deflated except the entries named in `stored`.
std::string buildZip(const std::vector<std::pair<std::string, std::string>>& entries,
                     const std::vector<std::string>& stored = {});
// name -> uncompressed bytes of every entry of a zip file (POSIX path); empty on failure.
std::map<std::string, std::string> readZip(const std::string& posixPath);
// The entry names of a zip file in their order.
std::vector<std::string> zipNames(const std::string& posixPath);

// A paragraph with one run per text: <w:p><w:r><w:t>..</w:t></w:r>...</w:p>.
std::string para(std::initializer_list<std::string> runs);
// A run with bold properties.
std::string boldRun(const std::string& text);
std::string run(const std::string& text);

} // namespace wux::test
