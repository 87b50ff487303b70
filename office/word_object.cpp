#include "office/word_object.h"

#include <stdexcept>

#include "office/document_replacer.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace wux::office {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;

namespace {

// View types and seek views of the word processor.
constexpr std::int32_t kViewNormal = 1;
constexpr std::int32_t kViewOutline = 2;
constexpr std::int32_t kViewPrint = 3;
constexpr std::int32_t kViewPrintPreview = 4;
constexpr std::int32_t kViewPage = 5;
constexpr std::int32_t kViewReading = 6;

constexpr std::int32_t kSeekMainDocument = 0;
constexpr std::int32_t kSeekPrimaryHeader = 1;
constexpr std::int32_t kSeekFirstPageHeader = 2;
constexpr std::int32_t kSeekEvenPagesHeader = 3;
constexpr std::int32_t kSeekPrimaryFooter = 4;
constexpr std::int32_t kSeekFirstPageFooter = 5;
constexpr std::int32_t kSeekEvenPagesFooter = 6;
constexpr std::int32_t kSeekFootnotes = 7;
constexpr std::int32_t kSeekEndnotes = 8;
constexpr std::int32_t kSeekCurrentPageHeader = 9;
constexpr std::int32_t kSeekCurrentPageFooter = 10;

constexpr std::int32_t kGoToSection = 0;
constexpr std::int32_t kGoToAbsolute = 1;
constexpr std::int32_t kStory = 6;
constexpr std::int32_t kMove = 0;
constexpr std::int32_t kFindContinue = 1;
constexpr std::int32_t kReplaceNone = 0;
constexpr std::int32_t kDoNotSaveChanges = 0;
constexpr std::int32_t kNotProtected = -1;

DispatchRef activePaneView(const DispatchRef& window)
{
    return asDispatch(asDispatch(window->get("ActivePane"), "ActivePane")->get("View"), "View");
}

// Runs a step whose errors end only that step; a stop request still ends the whole run.
template <class F> void guarded(F&& step)
{
    try {
        step();
    } catch (const EOperationStopped&) {
        throw;
    } catch (...) {
    }
}

} // namespace

std::u16string expandFoundText(std::u16string_view Replace, std::u16string_view Found)
{
    std::u16string out;
    out.reserve(Replace.size() + Found.size());
    for (std::size_t i = 0; i < Replace.size(); ++i) {
        if (Replace[i] == u'^' && i + 1 < Replace.size() && Replace[i + 1] == u'&') {
            out += Found;
            ++i;
        } else {
            out += Replace[i];
        }
    }
    return out;
}

TWordObject::TWordObject(platform::WuxThread* Owner) : owner_(Owner)
{
    Connect();
    replaceMode_ = 1;
}

TWordObject::~TWordObject()
{
    try {
        Disconnect(true);
    } catch (...) {
    }
}

void TWordObject::Connect()
{
    application_.reset();
    try {
        application_ = automation::createObject(kWordApplicationClass);
    } catch (...) {
        application_.reset();
    }
    connected_ = application_ != nullptr;
    if (connected_)
        application_->put("DisplayAlerts", Variant(0));
}

void TWordObject::Disconnect(bool QuitIfIdle)
{
    if (QuitIfIdle && connected_) {
        try {
            CloseDocument();
            if (application_) {
                const DispatchRef documents = asDispatch(application_->get("Documents"), "Documents");
                if (automation::toInt32(documents->get("Count")) == 0)
                    application_->call("Quit",
                                       {Variant(kDoNotSaveChanges), Variant::missing(), Variant::missing()});
            }
        } catch (...) {
        }
    }
    document_.reset();
    application_.reset();
    connected_ = false;
}

void TWordObject::SetVisible(bool Visible)
{
    if (!application_)
        throw std::runtime_error("The word processor is not connected.");
    application_->put("Visible", Variant(Visible));
}

std::int32_t TWordObject::DocumentCount()
{
    if (!application_)
        throw std::runtime_error("The word processor is not connected.");
    return automation::toInt32(asDispatch(application_->get("Documents"), "Documents")->get("Count"));
}

void TWordObject::OpenDocument(std::string_view Path)
{
    matchCount_ = 0;
    if (!application_)
        throw std::runtime_error("The word processor is not connected.");
    application_->put("DisplayAlerts", Variant(0));
    const DispatchRef documents = asDispatch(application_->get("Documents"), "Documents");
    const Variant opened = documents->call(
        "Open", {Variant(platform::utf8ToUtf16(Path)), Variant(false), Variant(false), Variant(false),
                 Variant(u""), Variant(u""), Variant(false), Variant(u""), Variant(u""), Variant(0)});
    document_ = opened.isNothing() ? nullptr : asDispatch(opened, "Document");
    if (document_) {
        try {
            document_->put("ShowGrammaticalErrors", Variant(false));
        } catch (...) {
        }
        try {
            document_->put("ShowSpellingErrors", Variant(false));
        } catch (...) {
        }
    }
}

bool TWordObject::IsProtected()
{
    if (!document_)
        throw std::runtime_error("No document is open.");
    return automation::toInt32(document_->get("ProtectionType")) != kNotProtected;
}

void TWordObject::SaveDocument(std::string_view Name)
{
    if (!document_)
        throw std::runtime_error("No document is open.");
    if (Name.empty())
        document_->call("Save");
    else
        document_->call("SaveAs", {Variant(platform::utf8ToUtf16(Name))});
}

void TWordObject::CloseDocument()
{
    if (!document_)
        return;
    try {
        document_->call("Close", {Variant(kDoNotSaveChanges), Variant::missing(), Variant::missing()});
    } catch (...) {
    }
    document_.reset();
}

void TWordObject::checkStop() const
{
    checkStopRequest(owner_);
}

DispatchRef TWordObject::firstWindow()
{
    if (!document_)
        throw std::runtime_error("No document is open.");
    return asDispatch(asDispatch(document_->get("Windows"), "Windows")->get("Item", {Variant(1)}), "Window");
}

void TWordObject::ReplaceAll(const std::u16string& Find, const std::u16string& Replace, std::uint32_t Flags)
{
    if (!application_)
        throw std::runtime_error("The word processor is not connected.");
    asDispatch(application_->get("Options"), "Options")->put("DefaultHighlightColorIndex", Variant(0));
    std::int32_t hits = 0;
    if ((Flags & kWordSkipMainText) == 0)
        hits += mainTextPass(Find, Replace, Flags);
    if ((Flags & kWordSkipHeadersFooters) == 0)
        hits += headerFooterPass(Find, Replace, Flags);
    if ((Flags & kWordSkipNotes) == 0)
        hits += notesPass(Find, Replace, Flags);
    matchCount_ += hits;
}

std::int32_t TWordObject::FindAndChange(const std::u16string& Find, const std::u16string& Replace,
                                        std::uint32_t Flags)
{
    checkStop();
    const DispatchRef sel = asDispatch(firstWindow()->get("Selection"), "Selection");
    sel->put("Start", Variant(0));
    sel->put("End", Variant(0));
    std::int32_t prevStart = 0, prevEnd = 0, stalls = 0, hits = 0;
    bool first = true;
    const bool expandsFound = Replace.find(u"^&") != std::u16string::npos;
    for (;;) {
        checkStop();
        const DispatchRef find = asDispatch(sel->get("Find"), "Find");
        find->call("ClearFormatting");
        asDispatch(find->get("Replacement"), "Replacement")->call("ClearFormatting");
        const bool found = automation::toBool(find->call(
            "Execute", {Variant(Find), Variant((Flags & kWordCaseSensitive) != 0),
                        Variant((Flags & kWordWholeWord) != 0), Variant((Flags & kWordWildcards) != 0),
                        Variant(false), Variant(false), Variant(true), Variant(kFindContinue), Variant(false),
                        Variant(u""), Variant(kReplaceNone)}));
        if (!found)
            break;
        if (!first) {
            const std::int32_t start = automation::toInt32(sel->get("Start"));
            // Wrapped to the start: every position has been handled once.
            if (prevStart > start)
                break;
            // The same hit again: the second time in a row ends the loop.
            if (prevStart == start && prevStart != prevEnd) {
                if (++stalls > 1)
                    break;
                continue;
            }
            // A hit inside text already handled (the text just inserted) is left alone.
            if (automation::toInt32(sel->get("End")) <= prevEnd) {
                prevStart = start;
                continue;
            }
        }
        stalls = 0;
        switch (replaceMode_) {
        case 1:   // replace
        case 256: // table row
            sel->put("Text", Variant(expandsFound ? expandFoundText(
                                                        Replace, automation::variantToText(sel->get("Text")))
                                                  : Replace));
            break;
        case 2: // delete
            sel->put("Text", Variant(u""));
            break;
        case 8: // insert after
            sel->call("InsertAfter", {Variant(Replace)});
            break;
        case 16: // insert before
            sel->call("InsertBefore", {Variant(Replace)});
            break;
        default: // just find
            break;
        }
        prevStart = automation::toInt32(sel->get("Start"));
        prevEnd = automation::toInt32(sel->get("End"));
        ++hits;
        first = false;
    }
    return hits;
}

std::int32_t TWordObject::mainTextPass(const std::u16string& Find, const std::u16string& Replace,
                                       std::uint32_t Flags)
{
    return FindAndChange(Find, Replace, Flags);
}

std::int32_t TWordObject::headerFooterPass(const std::u16string& Find, const std::u16string& Replace,
                                           std::uint32_t Flags)
{
    const DispatchRef window = firstWindow();
    const DispatchRef view = asDispatch(window->get("View"), "View");
    if (automation::toInt32(view->get("SplitSpecial")) != 0)
        asDispatch(asDispatch(window->get("Panes"), "Panes")->get("Item", {Variant(2)}), "Pane")
            ->call("Close");
    if (automation::toInt32(view->get("Type")) == kViewNormal ||
        automation::toInt32(activePaneView(window)->get("Type")) == kViewOutline)
        activePaneView(window)->put("Type", Variant(kViewPage));

    std::int32_t hits = 0;
    auto seekAndSearch = [&](std::int32_t seekView) {
        activePaneView(window)->put("SeekView", Variant(seekView));
        hits += FindAndChange(Find, Replace, Flags);
    };
    const std::int32_t sections =
        automation::toInt32(asDispatch(document_->get("Sections"), "Sections")->get("Count"));
    if (sections != 0) {
        for (std::int32_t i = 1; i <= sections; ++i) {
            guarded([&] {
                const DispatchRef application = asDispatch(document_->get("Application"), "Application");
                asDispatch(application->get("Selection"), "Selection")
                    ->call("GoTo", {Variant(kGoToSection), Variant(kGoToAbsolute), Variant(i)});
                seekAndSearch(kSeekCurrentPageHeader);
                seekAndSearch(kSeekCurrentPageFooter);
                activePaneView(window)->put("SeekView", Variant(kSeekMainDocument));
            });
        }
        return hits;
    }
    auto pageSetup = [&] { return asDispatch(document_->get("PageSetup"), "PageSetup"); };
    guarded([&] {
        if (automation::toBool(pageSetup()->get("DifferentFirstPageHeaderFooter"))) {
            seekAndSearch(kSeekFirstPageHeader);
            seekAndSearch(kSeekFirstPageFooter);
        }
    });
    guarded([&] {
        if (automation::toBool(pageSetup()->get("OddAndEvenPagesHeaderFooter"))) {
            seekAndSearch(kSeekEvenPagesHeader);
            seekAndSearch(kSeekEvenPagesFooter);
        }
    });
    guarded([&] {
        seekAndSearch(kSeekPrimaryHeader);
        seekAndSearch(kSeekPrimaryFooter);
        activePaneView(window)->put("SeekView", Variant(kSeekMainDocument));
    });
    return hits;
}

std::int32_t TWordObject::notesPass(const std::u16string& Find, const std::u16string& Replace,
                                    std::uint32_t Flags)
{
    const DispatchRef view = activePaneView(firstWindow());
    std::int32_t hits = 0;
    auto notes = [&](std::string_view collection, std::int32_t story) {
        guarded([&] {
            if (automation::toInt32(asDispatch(document_->get(collection), "Notes")->get("Count")) == 0)
                return;
            const std::int32_t type = automation::toInt32(view->get("Type"));
            if (type == kViewPrint || type == kViewReading || type == kViewPrintPreview)
                view->put("SeekView", Variant(story));
            else
                view->put("SplitSpecial", Variant(story));
            hits += FindAndChange(Find, Replace, Flags);
        });
    };
    notes("FootNotes", kSeekFootnotes);
    notes("EndNotes", kSeekEndnotes);
    try {
        view->put("SeekView", Variant(kSeekMainDocument));
    } catch (...) {
    }
    return hits;
}

void TWordObject::InsertHeadFoot(const std::u16string& Text)
{
    const DispatchRef sel = asDispatch(firstWindow()->get("Selection"), "Selection");
    if (replaceMode_ == 4) {
        sel->put("Start", Variant(0));
        sel->put("End", Variant(0));
        sel->call("InsertBefore", {Variant(Text)});
    } else if (replaceMode_ == 64) {
        sel->call("EndKey", {Variant(kStory), Variant(kMove)});
        sel->call("InsertAfter", {Variant(Text)});
    }
    matchCount_ += 1;
}

} // namespace wux::office
