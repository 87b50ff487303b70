#include "platform/shell/context_menu.h"

#include <QAction>
#include <QMenu>
#include <QPoint>

#include "platform/shell/program_starter.h"
#include "platform/shell/properties_dialog.h"
#include "platform/text.h"

namespace wux::platform::shell {

ShellContextMenu::ShellContextMenu(std::vector<std::string> windowsPaths, QWidget* owner)
    : paths_(std::move(windowsPaths)), owner_(owner), menu_(std::make_unique<QMenu>())
{
    menu_->setObjectName(QStringLiteral("mnuShellContext"));

    QAction* open = menu_->addAction(QStringLiteral("&Open"));
    open->setObjectName(QStringLiteral("actOpen"));
    open->setData(QString::fromLatin1(kVerbOpen));
    open->setEnabled(!paths_.empty());
    menu_->setDefaultAction(open);
    entries_.push_back(Entry{kVerbOpen, open, nullptr});

    propertiesSeparator_ = menu_->addSeparator();
    QAction* properties = menu_->addAction(QStringLiteral("P&roperties"));
    properties->setObjectName(QStringLiteral("actProperties"));
    properties->setData(QString::fromLatin1(kVerbProperties));
    properties->setEnabled(paths_.size() == 1);
    entries_.push_back(Entry{kVerbProperties, properties, nullptr});
}

ShellContextMenu::~ShellContextMenu() = default;

QAction* ShellContextMenu::addEntry(const QString& text, const std::string& verb,
                                    std::function<void()> handler)
{
    auto* entry = new QAction(text, menu_.get());
    entry->setData(toQString(verb));
    menu_->insertAction(propertiesSeparator_, entry);
    // The caller's entries stand between two separators.
    bool first = true;
    for (const Entry& existing : entries_) {
        if (existing.handler)
            first = false;
    }
    if (first)
        menu_->insertSeparator(entry);
    entries_.push_back(Entry{verb, entry, std::move(handler)});
    return entry;
}

QAction* ShellContextMenu::action(std::string_view verb) const
{
    for (const Entry& entry : entries_) {
        if (entry.verb == verb)
            return entry.action;
    }
    return nullptr;
}

std::vector<std::string> ShellContextMenu::verbs() const
{
    std::vector<std::string> result;
    for (QAction* item : menu_->actions()) {
        if (!item->isSeparator())
            result.push_back(toUtf8(item->data().toString()));
    }
    return result;
}

std::string ShellContextMenu::exec(const QPoint& globalPosition)
{
    QAction* chosen = menu_->exec(globalPosition);
    if (chosen == nullptr)
        return std::string();
    const std::string verb = toUtf8(chosen->data().toString());
    invokeVerb(verb);
    return verb;
}

bool ShellContextMenu::invokeVerb(std::string_view verb)
{
    for (const Entry& entry : entries_) {
        if (entry.verb != verb)
            continue;
        if (!entry.action->isEnabled())
            return false;
        if (entry.handler) {
            entry.handler();
            return true;
        }
        if (verb == kVerbOpen) {
            bool opened = true;
            for (const std::string& path : paths_)
                opened = openWithDesktop(path) == kErrorSuccess && opened;
            return opened;
        }
        if (verb == kVerbProperties)
            return showPropertiesDialog(paths_.front(), owner_.data()) != nullptr;
        return false;
    }
    return false;
}

} // namespace wux::platform::shell
