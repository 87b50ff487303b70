// The stand-in "PowerPoint.Application" automation server over presentations (.pptx).
//
// It implements the members the presentation wrapper calls: the application and its presentations,
// Open, Save, SaveAs and Close, the slides in list order, the shapes of each slide, and the text of a
// shape as its paragraphs joined by "\r". Only text shapes have a TextFrame; every other shape (groups,
// tables, pictures, connectors, ...) raises. A text set as a whole is written back as a minimal change,
// so the formatting of the text that stays is kept. A presentation with a password to modify opens as
// "nothing"; files it cannot read (legacy binary presentations, web archives, encrypted packages) fail at
// Open and are never changed.
#pragma once

#include <string_view>

#include <pugixml.hpp>

#include "platform/automation/dispatch.h"
#include "platform/automation/text_story.h"

namespace wux::platform::automation {

inline constexpr std::string_view kPowerPointApplicationProgId = "PowerPoint.Application";

// A new application object (what createObject("PowerPoint.Application") returns).
DispatchRef createPowerPointApplication();

// The presentation XML (DrawingML text bodies) for the text-story core: a:r and a:fld runs with a:t
// text, a:br line breaks ("\v"), a literal tab inside a:t; a:pPr and a:endParaRPr stay first and last.
class PptxDialect : public StoryDialect
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
    void afterEdit(pugi::xml_node paragraph) const override;

    static const PptxDialect& instance();
};

} // namespace wux::platform::automation
