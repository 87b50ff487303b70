// The context menu of files and folders: our own menu with the verbs the program invokes.
//
//   Open          (verb "open": a file with its default application, a folder in the file window;
//                  the menu's default entry)
//   ------
//   entries the caller added (their verb is the name the caller gives)
//   ------
//   Properties    (verb "properties": the properties dialog; only for a single item)
//
// Every entry is a QAction whose data() is its verb; the verbs' actions have the objectNames
// "actOpen" and "actProperties". The menu exists from construction, so that the owner can note it as
// the menu open over it while exec() runs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace wux::platform::shell {

inline constexpr const char* kVerbOpen = "open";
inline constexpr const char* kVerbProperties = "properties";

class ShellContextMenu
{
public:
    // The menu of items (drive paths) shown over owner (which also owns the properties dialog).
    ShellContextMenu(std::vector<std::string> windowsPaths, QWidget* owner);
    ~ShellContextMenu();
    ShellContextMenu(const ShellContextMenu&) = delete;
    ShellContextMenu& operator=(const ShellContextMenu&) = delete;

    // Adds an entry of the caller (between "Open" and "Properties") that runs handler when chosen.
    QAction* addEntry(const QString& text, const std::string& verb, std::function<void()> handler);

    QMenu* menu() const { return menu_.get(); }
    // The entry of a verb, or nullptr.
    QAction* action(std::string_view verb) const;
    // The verbs of the entries, in menu order.
    std::vector<std::string> verbs() const;

    // Shows the menu at a screen position, waits for the choice and runs it. Returns the chosen verb,
    // or "" when the menu was closed without a choice.
    std::string exec(const QPoint& globalPosition);

    // Runs a verb on the items. False for an unknown verb, a disabled entry or when it failed.
    bool invokeVerb(std::string_view verb);

    const std::vector<std::string>& paths() const { return paths_; }

private:
    struct Entry
    {
        std::string verb;
        QAction* action = nullptr;
        std::function<void()> handler;
    };

    std::vector<std::string> paths_;
    QPointer<QWidget> owner_;
    std::unique_ptr<QMenu> menu_;
    std::vector<Entry> entries_;
    QAction* propertiesSeparator_ = nullptr;
};

} // namespace wux::platform::shell
