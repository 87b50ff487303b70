// Takes the pictures of the program's windows: one PNG per window, each checked for what a user would
// notice first (a window that is missing, empty or beyond the screen), and the index that names them.
#pragma once

#include <QImage>
#include <QRect>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace wux::shots {

// Why a picture of a window is not fit to keep, "" when it is: a null picture, a picture of one colour,
// a frame reaching beyond the screen.
std::string judgePicture(const QImage& image, const QRect& frame, const QRect& screen);

// One modal window expected while a command runs: once the top modal window satisfies ready, act
// takes its pictures and answers it.
struct ModalStep
{
    std::function<bool(QWidget*)> ready;
    std::function<void(QWidget*)> act;
    // Looked at on every event the program handles, not only now and then: for a window that changes
    // fast (a run in progress). Its picture is taken as the window is at that event.
    bool eager = false;
};

class Shooter
{
public:
    explicit Shooter(std::string folder);

    // Faults of the control checks that are known and mended elsewhere: a fault line that holds text,
    // of a picture whose file name begins with file, is reported as known, not as a failure.
    struct Known
    {
        std::string file;
        std::string text;
    };
    void setKnown(std::vector<Known> known)
    {
        known_ = std::move(known);
        knownUsed_.assign(known_.size(), false);
    }
    // Widgets that lie over their siblings by design (by object name).
    void setFloating(std::vector<std::string> names) { floating_ = std::move(names); }

    // Saves a picture of window as file (a name in the folder) and lists it in the index with its
    // description; a window that is missing, hidden, empty or beyond the screen is a failure, and so
    // is each text that a control of it cuts and each pair of its controls that overlap. A popup menu is
    // taken from the screen together with the window it opened over.
    void shoot(QWidget* window, const std::string& file, const std::string& description);
    void fail(const std::string& what, const std::string& reason);
    // The next picture shows the window over beneath (the window it asks for): it is taken from the
    // screen, the two together; the checks still look at the window alone.
    void seenOver(QWidget* beneath) { beneath_ = beneath; }

    // Runs command, which shows modal windows; while it runs, the steps act in order on the top modal
    // window. A window that no step expects, or a step that waits too long, is a failure: the window
    // is closed so that the command can end.
    void whileModal(const std::string& what, const std::function<void()>& command,
                    std::vector<ModalStep> steps);

    // Runs command, which opens a popup menu (at once or later, in its own loop or not); once the menu
    // is up, act takes its picture, and the menu is closed. A menu that does not come is a failure.
    void whilePopup(const std::string& what, const std::function<void()>& command,
                    const std::function<void(QWidget*)>& act);

    // Writes index.md; false when it cannot.
    bool writeIndex() const;
    const std::vector<std::string>& failures() const { return failures_; }
    std::size_t pictureCount() const { return entries_.size(); }
    const std::vector<std::string>& knownFaults() const { return knownSeen_; }
    // The known faults that no picture showed (mended: their entries can go).
    std::vector<Known> knownNotSeen() const;

    // Lets the windows take their size and paint for about ms milliseconds.
    static void settle(int ms = 60);

private:
    struct Entry
    {
        std::string file;
        std::string description;
    };
    void checkControls(QWidget* window, const std::string& file);

    std::string folder_;
    bool eagerStep_ = false;
    QWidget* beneath_ = nullptr;
    std::vector<Known> known_;
    std::vector<bool> knownUsed_;
    std::vector<std::string> floating_;
    std::vector<std::string> knownSeen_;
    std::vector<Entry> entries_;
    std::vector<std::string> failures_;
};

// The top modal window when it is a T (and visible), else nullptr.
template <typename T> T* modalAs(QWidget* window)
{
    T* typed = dynamic_cast<T*>(window);
    return typed != nullptr && typed->isVisible() ? typed : nullptr;
}

} // namespace wux::shots
