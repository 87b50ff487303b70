// The folder browser: lets the user choose a folder of the file system (QFileDialog's folder dialog).
//
// It goes through the installed FolderBrowser, so that tests can script the answers
// (ScriptedFolderBrowser) instead of showing a window.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

class QWidget;

namespace wux::platform::shell {

class FolderBrowser
{
public:
    virtual ~FolderBrowser() = default;
    // Shows the dialog modally: owner, title, and the POSIX folder it opens at ("" for the current
    // one). Returns the chosen POSIX folder, or "" when the user cancels. GUI thread only.
    virtual QString chooseFolder(QWidget* owner, const QString& title, const QString& initialFolder) = 0;
};

// The dialog itself: QFileDialog::getExistingDirectory, folders only.
class QtFolderBrowser : public FolderBrowser
{
public:
    QString chooseFolder(QWidget* owner, const QString& title, const QString& initialFolder) override;
};

// A browser for tests: answers from a queue of POSIX folders ("" is a cancel; an empty queue cancels)
// and records every request.
class ScriptedFolderBrowser : public FolderBrowser
{
public:
    struct Request
    {
        QWidget* owner = nullptr;
        QString title;
        QString initialFolder;
    };

    void answer(QString posixFolder) { answers_.push_back(std::move(posixFolder)); }
    const std::vector<Request>& requests() const { return requests_; }

    QString chooseFolder(QWidget* owner, const QString& title, const QString& initialFolder) override;

private:
    std::deque<QString> answers_;
    std::vector<Request> requests_;
};

// The installed browser: the Qt dialog unless a test installed another.
FolderBrowser& folderBrowser();
// Installs a browser (nullptr: the Qt dialog again) and returns the one it replaces. The caller keeps
// ownership and keeps it alive while installed.
FolderBrowser* installFolderBrowser(FolderBrowser* browser);

class ScopedFolderBrowser
{
public:
    explicit ScopedFolderBrowser(FolderBrowser& browser) : previous_(installFolderBrowser(&browser)) {}
    ~ScopedFolderBrowser() { installFolderBrowser(previous_); }
    ScopedFolderBrowser(const ScopedFolderBrowser&) = delete;
    ScopedFolderBrowser& operator=(const ScopedFolderBrowser&) = delete;

private:
    FolderBrowser* previous_;
};

// Lets the user choose a folder, opening at initialFolder (a drive path; one that cannot be reached
// opens the dialog at its own start). Returns the chosen folder as a drive path ending in "\" ("c:\",
// "c:\dir\"), or "" when the user cancels or the chosen folder lies on no drive.
std::string browseForFolder(QWidget* owner, std::string_view title, std::string_view initialFolder);

} // namespace wux::platform::shell
