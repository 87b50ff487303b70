// TSrchRes: the modal window of a Finder run's hits and of the Renamer's preview.
//
// Which use is in force follows from the list it shows, engines::ResultListState: the Finder's store
// (mode word 2) or the Renamer's copy of the selection (mode word 4).
//  - Finder: the hits appear while the search thread (engines::TFinder) adds them; the user stops the
//    search, marks hits (keypad keys, Space/Insert, right-button drag), sorts by clicking a title,
//    switches between the brief view (one flat list and the status panels) and the full view (one
//    header row per folder), sends the marked hits to the Basket or goes to one in the active panel.
//  - Renamer: every file with its old and new name; the window closes with the answer whether the
//    rename is to start (StartRenamePressed).
//
// Threads: the search thread writes FinderStore under FinderLock; every method of the window that
// reads the list, sorts it or switches the view holds FinderLock too. The thread's calls into the
// window (engines::IFinderResultsView) run on the GUI thread.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engines/search_thread.h"

namespace Ui {
class TSrchRes;
}

namespace wux::core {
class TVYK_RingList;
}

namespace wux::controls {
class TImageList;
}

namespace wux::filelist {
class IBrowserPanel;
}

namespace wux::platform {
class WuxThread;
}

namespace wux::tools {

// What the Finder, the Renamer and the results window need of the main window's panels, beyond the
// tool host. The main window implements it and installs itself with setToolPanelsHost; without one
// the windows refresh nothing, go nowhere and keep their own selection-mask history.
class IToolPanelsHost
{
public:
    virtual ~IToolPanelsHost() = default;

    // Re-reads both panels (skipped by the main window while a run is up or a listing is busy).
    virtual void RefreshPanels() = 0;
    // Asks the current tool whether it can start and enables the launch action accordingly.
    virtual void UpdateLaunchAction() = 0;
    // A tool form took the focus: it becomes the main window's active form.
    virtual void SetActiveForm(QWidget* form) = 0;
    // The browser panel that stays visible beside the tool forms (the left one when the tools stand on
    // the right); nullptr when there is none.
    virtual filelist::IBrowserPanel* PanelBesideTools() = 0;
    // When the active panel is visible: it changes to folder (a drive path without trailing "\") with
    // its cursor on name ("" for none), its grid takes the focus, and the answer is true. False (and
    // nothing done) without a visible active panel.
    virtual bool GoToFile(const std::string& folder, const std::string& name) = 0;
    // When the active panel is visible: it shows the Basket pseudo-drive at its root.
    virtual void ShowBasketInActivePanel() = 0;
    // The process-wide history of selection masks ("MASK_SELECTION").
    virtual core::TVYK_RingList& SelectionMaskHistory() = 0;
    // The main window's header images (0 ascending, 1 descending); nullptr for none.
    virtual controls::TImageList* HeaderImages() = 0;
};

// Installs the host (nullptr: none) and returns the one it replaces; the caller keeps it alive while
// installed. GUI thread only.
IToolPanelsHost* setToolPanelsHost(IToolPanelsHost* host);
IToolPanelsHost* toolPanelsHost();

// The selection-mask history: the host's, or one of the tools' own without a host.
core::TVYK_RingList& selectionMaskHistory();

// Text numbers of the window (registered by registerSearchResultsTexts at start-up).
inline constexpr int kTextSearchResults = 1100;
inline constexpr int kTextFilesOperations = 1101;
inline constexpr int kTextSendToBasket = 1102;
inline constexpr int kTextOperations = 1105;
inline constexpr int kTextStopSearch = 1106;
inline constexpr int kTextGoToFile = 1107;
inline constexpr int kTextHelpFinder = 1108;
inline constexpr int kTextStartRename = 1110;
inline constexpr int kTextHelpRenamer = 1111;
inline constexpr int kTextExitPreview = 1112;
inline constexpr int kTextViewMode = 1113;

void registerSearchResultsTexts();

// Column kinds (GetCellText) of the two uses, 4 bits per column.
// Finder: Name, Ext, Size, Date, Attr, Location.
inline constexpr std::uint32_t kFinderColumnTitles = 7614992;
// Renamer: Location, Old name, Ext, New name, New ext, Size, Date.
inline constexpr std::uint32_t kRenamerColumnTitles = 53043591;
// Sort keys, 3 bits per column (4 = none).
inline constexpr std::uint32_t kFinderColumnSortKeys = 149128;
inline constexpr std::uint32_t kRenamerColumnSortKeys = 870468;
// Default column proportions (1/480 of the width): 192, 48, 72, 120, 24, 24.
std::uint64_t defaultColumnProportions();

// Field i of the packed column words.
inline int columnTitleKind(std::uint32_t titles, int column)
{
    return int((titles >> (4 * column)) & 0xF);
}
inline int columnSortKey(std::uint32_t keys, int column)
{
    return int((keys >> (3 * column)) & 0x7);
}
// The sort word that a click on a column of sort key `key` gives, from the current sort word: the
// current key toggles descending; a new key starts name 8, extension 1, size 66 or date 67. A key of
// 4 or more leaves the word as it is.
std::uint32_t sortWordAfterTitleClick(std::uint32_t sortWord, int key);

class TSrchRes : public QDialog, public engines::IFinderResultsView
{
    Q_OBJECT
public:
    // Lays itself over the main window and disables the main window's controls until it is freed.
    explicit TSrchRes(QWidget* parent = nullptr);
    ~TSrchRes() override;

    // Prepares a Finder run over ResultListState (FinderStore).
    void InitSearch();
    // Prepares the rename preview over ResultListState (the Renamer's copy).
    void InitRenamePreview();
    // The search thread's end (its OnTerminate, GUI thread).
    void SearchDone();
    // Enables the Finder's buttons for the state of the list and the search.
    void UpdateButtons();
    // The thread of the Finder run (stopped by the window on request); nullptr in a preview.
    void setSearchThread(platform::WuxThread* thread) { thread_ = thread; }

    // The preview was closed by "Start Rename".
    bool StartRenamePressed() const { return startRenamePressed_; }

    // engines::IFinderResultsView
    void ShowStatusText(const std::string& text) override;
    bool FullView() const override { return viewMode_ == 2; }
    void SetResultRowCount(std::int32_t rows) override;

    // What the window shows (for its owner and tests).
    std::int32_t rowCount() const { return rowCount_; }
    std::int32_t viewMode() const { return viewMode_; }
    bool searchFinished() const { return finished_; }
    std::uint64_t columnProportions() const { return columnProportions_; }
    // The text that cell (col, row) of the result grid shows ("" for none).
    std::string cellText(int col, int row);
    // Whether the entry of a grid row is marked.
    bool rowMarked(int row);

    // Handlers (also driven by tests).
    void btnGoToFileClick();
    void btnSendToBasketClick();
    void btnSetModeClick(int mode);
    void btnStopSearchClick();
    void titleClick(int column);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    filelist::TstateOfBrowser& list() const;
    bool isFinder() const;
    bool duplicatesRun() const;
    bool withHeaderRows() const;
    int fullColumnCount() const;
    void placeOverMainWindow();
    void applyTexts();
    void LayoutColumns();
    void computeFullWidths();
    void applyStatusPanelWidths();
    void recountRows();
    // The folder and display position of a grid row (0-based); folder 0 when there is none.
    void rowEntry(int row, std::int32_t& folder, std::int32_t& position);
    void drawResultCell(QPainter& canvas, int col, int row, const QRect& rect, unsigned state);
    void drawTitleCell(QPainter& canvas, int col, const QRect& rect);
    // The title of column col, the sort column's, its font, and the width of the sort glyph before it.
    QString titleText(int col) const;
    bool isSortTitle(int col) const;
    QFont titleFont() const;
    int sortGlyphWidth() const;
    void resultKeyDown(int& key, Qt::KeyboardModifiers modifiers);
    void resultMouseDown(Qt::MouseButton button, bool doubleClick, int x, int y);
    void resultMouseMove(Qt::MouseButtons buttons, int x, int y);
    void titleMouseUp(int x, int y);
    void toggleRow(int row, std::int32_t action);
    void selectEveryFolder(std::int32_t action);
    void selectByMaskQuery(bool select);
    void showBriefStatus(int row);
    void repaintGrids();
    void askToClose();
    void showHelp();

    std::unique_ptr<Ui::TSrchRes> ui_;
    std::uint32_t columnTitles_ = 0;
    std::uint32_t columnSortKeys_ = 0;
    std::uint64_t columnProportions_ = 0;
    std::int32_t textRowHeight_ = 0;
    std::array<std::int32_t, 8> columnWidths_{};
    bool selectionResult_ = false;
    std::int32_t rowCount_ = 0;
    std::int32_t dragAction_ = 0;
    std::int32_t viewMode_ = 2;
    bool startRenamePressed_ = false;

    platform::WuxThread* thread_ = nullptr;
    bool finished_ = false;
    bool closing_ = false;
    int dragRow_ = -1;
};

} // namespace wux::tools
