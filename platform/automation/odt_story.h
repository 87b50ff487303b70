// OpenDocument text (content.xml) for the text-story core: which paragraphs are searched, what a
// paragraph's text is under the format's white-space rules, and how changed text is written back.
//
// Reading: in character data, a sequence of blanks, tabs, CRs and LFs is one blank, and white space at
// the start of a paragraph is dropped; text:s is one blank per count, text:tab a tab, text:line-break
// "\n". The paragraph is first brought into a canonical form that means the same (white space that does
// not count removed from the character data, text:s text:c="n" as n single elements), so that every
// character of the flat text is one character of the XML.
// Writing: a blank that starts the paragraph or follows a blank, a tab or a line break becomes text:s;
// "\t" becomes text:tab and "\n" (or "\v") text:line-break.
#pragma once

#include <cstddef>
#include <string>

#include <pugixml.hpp>

#include "platform/automation/text_story.h"

namespace wux::platform::automation {

class OdtDialect : public StoryDialect
{
public:
    // The prefixes the document binds to the text and office namespaces (taken from the root element;
    // "text" and "office" when it binds none).
    explicit OdtDialect(pugi::xml_node root);

    void scanParagraph(pugi::xml_node paragraph, Paragraph& out, int& fieldDepth) const override;
    bool isRun(pugi::xml_node node) const override;
    bool canHoldText(pugi::xml_node node) const override;
    bool isPropertyElement(pugi::xml_node node) const override;
    int controlLevel(char16_t c) const override;
    pugi::xml_node insertControl(pugi::xml_node parent, pugi::xml_node before, char16_t c) const override;
    bool isTextHolder(pugi::xml_node node) const override;
    void prepareClone(pugi::xml_node clone) const override;
    pugi::xml_node insertTextHolder(pugi::xml_node parent, pugi::xml_node before) const override;
    pugi::xml_node insertRun(pugi::xml_node parent, pugi::xml_node before) const override;
    void afterEdit(pugi::xml_node paragraph) const override;
    bool editsLocally() const override { return true; }
    bool scanChildren(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end,
                      Paragraph& out) const override;
    void afterEditChildren(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end) const override;
    pugi::xml_node editReach(pugi::xml_node last) const override;

    // Adds every searched paragraph and heading below office:text to the story, each as its own
    // container, in document order: those in lists, tables, sections, frames' text boxes and note
    // bodies too (a paragraph's notes and frames follow it). Left out: tracked changes, annotations,
    // protected sections and generated indexes.
    void addParagraphs(TextStory& story, const std::string& part, pugi::xml_node officeText) const;

    enum class Kind
    {
        kDescend,   // an element whose content is part of the paragraph's text
        kSpace,     // text:s
        kTab,       // text:tab
        kLineBreak, // text:line-break
        kZero,      // marks
        kBarrier,   // notes, frames, fields, annotations, anything unknown
        kSkip,      // comments and processing instructions
        kText,      // character data
    };
    Kind kindOf(pugi::xml_node node) const;

private:
    bool isText(pugi::xml_node node, const char* local) const;
    void canonicalize(pugi::xml_node parent, bool& white, int depth) const;
    void segments(pugi::xml_node parent, Paragraph& out) const;
    void encode(pugi::xml_node parent, bool& white) const;
    void encodeChild(pugi::xml_node parent, pugi::xml_node c, bool& white) const;
    void canonicalizeChild(pugi::xml_node parent, pugi::xml_node c, bool& white, int depth) const;
    void segment(pugi::xml_node c, Paragraph& out) const;
    bool setsWhite(pugi::xml_node node) const;
    bool whiteBefore(pugi::xml_node first, bool encoding) const;
    int whiteAtEnd(pugi::xml_node node, bool encoding) const;
    void collect(TextStory& story, const std::string& part, pugi::xml_node parent, int depth) const;

    std::string text_;               // "text:"
    std::string office_;             // "office:"
    mutable std::size_t spaces_ = 0; // blanks made from text:s counts
};

} // namespace wux::platform::automation
