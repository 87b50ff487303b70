// TViewRenReplacer: the modal window of every Replacer, Batch Replacer and Renamer run. It covers the
// main window's browser area while the worker runs, answers the worker's calls (next file, file done,
// file statistics, rename reports), shows one row per file with its outcome and the running totals,
// asks before it stops the run, and after the end lets the user filter the rows by outcome.
//
// A run, from the tool window that starts it:
//     TViewRenReplacer view(mainWidget);          // disables the main window's controls
//     engines::TReplacer thread;                  // created suspended; fill its fields
//     view.connectReplaceThread(thread);          // or connectRenameThread for a TRenamer
//     view.Init(kRunReplace);                     // kRunRename for a rename run
//     thread.Start();
//     view.exec();                                // returns once the run has ended and the user closed
// then free the thread and the window (in that order or the other: the thread has finished), call
// EndStateHandOver (replace runs) and refresh the panels.
//
// Ends of a run: "Operation completed!" when the thread returns 2; "Operation aborted!" in red when it
// returns 1 (stopped), and, followed by the thread's failure text, when it ends any other way.
#pragma once

#include <QDialog>
#include <QEvent>
#include <QString>

class QHelpEvent;

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "filelist/operation_cursor.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;

namespace Ui {
class TViewRenReplacer;
}

namespace wux::platform {
class WuxThread;
}
namespace wux::engines {
class TReplaceRunThread;
class TRenamer;
} // namespace wux::engines
namespace wux::controls {
class TWUXStringGrid;
}

namespace wux::tools {

// The window's own message: the run has finished (posted by the done handlers).
inline constexpr QEvent::Type MSG_RUN_FINISHED = static_cast<QEvent::Type>(QEvent::User + 0x0F);

// Run kinds of Init.
inline constexpr int kRunReplace = 2; // Replacer and Batch Replacer runs
inline constexpr int kRunRename = 4;

// Text numbers of the window (1400-1406).
inline constexpr int kTextRunCaption = 1400;
inline constexpr int kTextRunCancel = 1401;
inline constexpr int kTextRunHelp = 1402;
inline constexpr int kTextRunAll = 1403;
inline constexpr int kTextRunSuccessful = 1404;
inline constexpr int kTextRunUnchanged = 1405;
inline constexpr int kTextRunFailed = 1406;

// The help pages of the window.
inline constexpr const char* kReplaceResultsHelpPage = "SEARCH_REPLACE_RESULTS.htm";
inline constexpr const char* kRenameWindowHelpPage = "RENAME_WINDOW.htm";

// Alignment words of the two grids' cell painter.
inline constexpr unsigned kReplaceRowsAlignment = 342; // path, four right-aligned sizes, status
inline constexpr unsigned kRenameRowsAlignment = 2;    // path, status
inline constexpr unsigned kTotalsAlignment = 340;      // title, four right-aligned numbers

// Registers the English defaults of the window's texts (at start-up).
void registerRunWindowTexts();

// The status cell of a replace run's file: the text of the result, with a red (1) or green (2) marker;
// a failure with a known reason gives it in the system's words after the text ("failed: Access is
// denied.").
QString replaceStatusText(std::int32_t result, std::int32_t stage, platform::WinError failure = 0);
// The status cell of a rename run's file.
QString renameStatusText(std::int32_t result);

class TViewRenReplacer : public QDialog
{
    Q_OBJECT
public:
    // System commands of the window (the title bar's close and minimise, also posted by the window).
    enum SysCommand
    {
        SC_CLOSE,
        SC_MINIMIZE,
    };

    // Places the window over the main window's browser area and disables the main window's controls.
    explicit TViewRenReplacer(QWidget* parent = nullptr);
    // Enables the main window's controls again.
    ~TViewRenReplacer() override;

    // Lays the window out for a run (kRunReplace or kRunRename); once, before the worker starts.
    void Init(int Mode);

    // The run's worker (set by connectReplaceThread / connectRenameThread, or by the starting window).
    platform::WuxThread* thread = nullptr;

    // Points the thread's events at this window's handlers and makes it the window's thread.
    void connectReplaceThread(engines::TReplaceRunThread& Thread);
    void connectRenameThread(engines::TRenamer& Thread);

    // The handlers of the replace threads' events.
    void OnReplaceNextFile(platform::WuxThread& Sender, filelist::TOperationFileInfo*& FileInfo);
    void OnReplaceSetFileResult(platform::WuxThread& Sender, filelist::TOperationFileResult& FileResult);
    void OnReplaceFileResult(platform::WuxThread& Sender, engines::TReplaceResult Result, std::int32_t Stage,
                             std::int32_t Matches, std::int64_t SizeBefore, std::int64_t SizeAfter,
                             platform::WinError Failure = 0);
    void OnReplaceDone(platform::WuxThread& Sender);
    // The handlers of the rename thread's events.
    void OnRenameFile(platform::WuxThread& Sender, const std::string& Name);
    void OnRenameItem(platform::WuxThread& Sender, std::int32_t Result);
    void OnRenameDone(platform::WuxThread& Sender);

    // MSG_RUN_FINISHED: waits for the thread and shows how the run ended.
    void RunFinished();
    // SC_CLOSE: asks before it stops a running worker; closes once the run has ended. SC_MINIMIZE:
    // minimises the whole application.
    void WMSysCommand(SysCommand Command);
    // Shows the help page of the run's kind.
    void btnHelpFClick();
    // Shows the rows of one outcome: Tag 0 all, 1 successful, 2 unchanged, 3 failed.
    void rbAllClick(int Tag);

    // What the window shows and counts.
    controls::TWUXStringGrid* sgInfo() const;
    controls::TWUXStringGrid* sgStatus() const;
    QWidget* pnlBtn() const;
    QLabel* pnlFilesComment() const;
    QLabel* lblFilesToShow() const;
    QRadioButton* rbAll() const;
    QRadioButton* rbSuccess() const;
    QRadioButton* rbUnchanged() const;
    QRadioButton* rbFailed() const;
    QPushButton* btnCancel() const;
    QPushButton* btnHelpF() const;
    std::int32_t processed() const { return processed_; }
    std::int32_t unchanged() const { return unchanged_; }
    std::int32_t successful() const { return successful_; }
    std::int32_t failed() const { return failed_; }
    bool finished() const { return finished_; }

    // Closing (Escape, Cancel, the close box) goes through SC_CLOSE.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The tip of a file row's cell under the mouse: its whole text when the cell cuts it (true).
    bool showCutCellText(const QHelpEvent& help);

private:
    void FormCreate();
    void ApplyTexts();
    void placeOverMainWindow();
    // Adds a file row showing text in column 0 (and in the file line).
    void addFileRow(const QString& text);
    void UpdateReplaceTotals(std::int32_t Result, std::int64_t SizeBefore, std::int64_t SizeAfter,
                             bool sizesKnown);
    void UpdateRenameTotals(std::int32_t Result);
    void showCounts();
    void showSizes();
    void runDone(bool enableFilters);
    void postClose();
    void keepButtonsInCorner();
    // Widens the other columns of sgInfo to their texts and gives column 0 the rest of the width.
    void fitNameColumn();

    std::unique_ptr<Ui::TViewRenReplacer> ui_;
    QButtonGroup* filterGroup_ = nullptr;
    std::int32_t processed_ = 0;
    std::int32_t unchanged_ = 0;
    std::int32_t successful_ = 0;
    std::int32_t failed_ = 0;
    std::int64_t sizeBeforeAll_ = 0;
    std::int64_t sizeAfterAll_ = 0;
    std::int64_t sizeBeforeSuccessful_ = 0;
    std::int64_t sizeAfterSuccessful_ = 0;
    std::optional<std::vector<std::vector<QString>>> rowSnapshot_;
    bool finished_ = false;
    bool placed_ = false;   // placed with the window's real frame
    bool asking_ = false;   // the abort question is up
    int buttonsRight_ = 9;  // gap between btnHelpF and the panel's right edge
    int buttonsBottom_ = 7; // gap between the buttons and the panel's bottom edge
};

} // namespace wux::tools
