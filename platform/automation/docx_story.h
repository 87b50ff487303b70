// The word-processing XML (.docx) for the text-story core: what a paragraph's text is, and how runs,
// tabs, breaks and paragraph properties are written.
#pragma once

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "platform/automation/text_story.h"

namespace wux::platform::automation {

class DocxDialect : public StoryDialect
{
public:
    void scanParagraph(pugi::xml_node paragraph, Paragraph& out, int& fieldDepth) const override;
    bool isRun(pugi::xml_node node) const override;
    bool isPropertyElement(pugi::xml_node node) const override;
    bool isTextHolder(pugi::xml_node node) const override;
    void prepareClone(pugi::xml_node clone) const override;
    int controlLevel(char16_t c) const override;
    pugi::xml_node insertControl(pugi::xml_node parent, pugi::xml_node before, char16_t c) const override;
    pugi::xml_node insertTextHolder(pugi::xml_node parent, pugi::xml_node before) const override;
    pugi::xml_node insertRun(pugi::xml_node parent, pugi::xml_node before) const override;
    void setHolderBytes(pugi::xml_node holder, const std::string& utf8) const override;
    pugi::xml_node sectionBreak(pugi::xml_node paragraph) const override;
    bool editsLocally() const override { return true; }
    bool scanChildren(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end,
                      Paragraph& out) const override;
    void moveSectionBreak(pugi::xml_node from, pugi::xml_node to) const override;

    static const DocxDialect& instance();
};

// Adds the block content of an element (w:body, w:hdr, w:ftr, w:footnote, a table cell) to a story:
// consecutive paragraphs form a container; each table cell is a container followed by a cell-end
// barrier, each row by a row-end barrier.
void addDocxBlocks(TextStory& story, const std::string& part, pugi::xml_node parent);

} // namespace wux::platform::automation
