// TBrowserForm: one file panel of the two-panel browser ("LeftBrowser" or "RightBrowser"). It shows
// its listing (a folder of a drive) or its view of the Basket in one of four views (1 brief, 2 full,
// 3 tree, 4 Basket), with a drive bar, a drive box, an address line, a column header, a status line
// and a basket line; it moves its cursor, marks items, opens them and changes folder and drive.
//
// The cursor is a 0-based index over the rows of the view: in the brief view the grid shows the rows
// column by column (index = column x grid rows + row), in the other views index = grid row. In the
// brief and full views row r is folder 1's display position r + 1, or r when the folder has a "[..]"
// row (depth above 0).
//
// The grid changes its current cell only when the panel has armed it (Tag 2; an accepted change sets
// Tag 1); every requested cell is recorded even when refused, and the panel then positions the cursor
// from the recorded cell. This is how keys and clicks reach the cursor.
#pragma once

#include <array>

#include <QPoint>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/vyk_header.h"
#include "filelist/active_panel.h"
#include "filelist/browser_state.h"
#include "filelist/icon_reader.h"
#include "platform/string_list.h"

class QComboBox;
class QFont;
class QLabel;
class QPainter;
class QTimer;

namespace Ui {
class TBrowserForm;
}

namespace wux::platform {
class IniFile;
}

namespace wux::controls {
class TSpeedButtonNew;
class TVYKHeader;
class TVYKStatusBar;
class TWUXStringGrid;
} // namespace wux::controls

namespace wux::mainwindow {

class IBrowserHost;
class TDriveBar;

// The two panels' listings (process-wide; a panel re-creates its own in InitPanel and never frees it).
inline filelist::TstateOfBrowser LeftBrowserState;
inline filelist::TstateOfBrowser RightBrowserState;

// The remembered directory of each drive: at most one path per drive letter (compared without case).
inline platform::StringList DriveDirectories;

// Reads a "ColumnsWidth" value: a decimal 64-bit number with its fields made valid; anything else
// gives 0, which stands for the default widths (ColumnKindWidths).
std::int64_t ParseColumnsWidth(std::string_view text);

// What the five column kinds of the full view ask for while no widths are stored, in the order name,
// extension, size, date, attributes. Wanted: the name a few characters beside its icon and at least
// 192/480 of the width (it takes what the others leave), the extension of the common office documents,
// a size up to 9 999 999 999 and "<DIR>", a date and time in the user's short formats (shorter: the
// date alone), and every attribute letter, each with its margins in the list font. Least (and never
// less wanted): the title in the title font, that of kind sortedKind (the sort column, -1 for none)
// with titleExtra, the room of its sort arrow; the extension and the attributes at least their values,
// the date at least its compact form, which keeps the year. Where room is short the attributes yield first, then the extension, the
// date, the size and last the name.
std::array<controls::ColumnWant, 5> ColumnKindWidths(const QFont& listFont, const QFont& titleFont,
                                                    const std::array<QString, 5>& titles, int titleExtra,
                                                    int sortedKind);

// Registers the English texts of the panel module (700-704) and of the drive choice (1500-1504).
void RegisterBrowserTexts();

class TBrowserForm : public QWidget, public filelist::IBrowserPanel
{
    Q_OBJECT
public:
    // name: "LeftBrowser" binds the left listing and the left Basket view, any other name the right
    // ones.
    TBrowserForm(IBrowserHost& host, const QString& name, QWidget* parent = nullptr);
    ~TBrowserForm() override;

    // ---- Set-up and settings ----
    // Reads the panel's section and sets the panel up (InitPanel). Reads the "Browser" font first when
    // there is none yet.
    void LoadSettings(platform::IniFile& ini, std::string_view section);
    // Writes the panel's section in one rewrite of the file; the error of the write (0 on success).
    std::uint32_t SaveSettings(platform::IniFile& ini, std::string_view section);
    void InitPanel(const std::string& directory, const std::string& mask, std::uint32_t sortWord);
    void ApplyLanguage();
    void ApplyLayout(std::uint32_t layout);
    void AdjustBarHeights();

    // ---- Display ----
    void UpdateHeader();
    void UpdateGrid();
    void UpdateStatusLine(std::int32_t position);
    void UpdateBasketInfo();
    void UpdateDriveInfo();
    void UpdateViewButtons();
    void SetBrowserMode(std::int32_t mode);
    void SetKindOfSort(std::int32_t column);
    // Stops and frees the icon thread; any number of calls.
    void StopWorker();
    // Focus entering and leaving the panel.
    void CMEnter();
    void CMExit();
    // Rebuilds the panel's drive box and drive bar for the drive list.
    void RebuildDriveControls();

    // ---- Cursor, marks and search ----
    bool PositionCursor(std::int32_t index, std::int32_t col, std::int32_t row);
    bool CursorToItem(std::int32_t& folder, std::int32_t& position);
    void SelectCurrentItem(bool countFolder, std::int32_t action);
    std::int32_t QuickSearch(std::string_view text, bool backward);
    std::int32_t FindRowOfName(std::string_view name);
    void GetItemNameAt(std::int32_t index, std::string& name);
    void PlaceCursorOnName(std::string_view name);

    // ---- Opening, folders and drives ----
    bool OpenCurrentItem(std::int32_t folder, std::int32_t row, std::int32_t mode);
    void ChangeDirectory(const std::string& path, const std::string& selectName);
    void Refresh();
    void JumpToRoot();
    void SelectDrive(std::int32_t driveIndex);
    void RememberDriveDirectory();

    // ---- Event handlers ----
    void btnRUpOneLevelClick();
    void btnRJumpToRootClick();
    void btnSetDrive(int tag);
    void btnSendTobasketClick();
    void pnlAddressLineClick();
    void sgBrowserKeyDown(int& key, Qt::KeyboardModifiers shift);

    // ---- filelist::IBrowserPanel ----
    std::int32_t ViewMode() const override { return BrowserMode_; }
    filelist::TstateOfBrowser& Listing() override { return *listing_; }
    filelist::TstateOfBrowser& BasketView() override { return *basketView_; }
    void SelectCursorItem(std::int32_t action) override;
    void Repaint() override;
    std::string MainCaption() const override;

    // ---- State (read by the main window and tests) ----
    std::int32_t BrowserMode() const { return BrowserMode_; }
    std::int32_t BasketMode() const { return BasketMode_; }
    // The basket layout (1 brief, 2 full); the caller lays the grid out again.
    void SetBasketMode(std::int32_t mode) { BasketMode_ = mode; }
    std::int32_t OldBrowserMode() const { return OldBrowserMode_; }
    char DriveLetter() const { return driveLetter_; }
    std::int32_t Cursor() const { return cursor_; }
    std::uint32_t ColumnOrder() const { return ColumnOrder_; }
    std::int32_t TreeRows() const { return treeRows_; }
    std::int32_t BasketRows() const { return basketRows_; }
    std::int32_t TextHeight() const { return textHeight_; }
    std::int32_t UndoAction() const { return undoAction_; }
    bool HasIconThread() const { return iconThread_ != nullptr; }
    // The texts the panel shows.
    QString AddressText() const;
    QString DriveInfoText() const { return driveInfo_; }
    // The drive's free-space text (pnlInfo shows it elided when the toolbar is too narrow).
    QString FreeSpaceText() const { return freeText_; }

    // Components.
    controls::TWUXStringGrid* sgBrowser() const;
    controls::TVYKHeader* sgTitle() const;
    controls::TVYKStatusBar* sbFilesComment() const;
    TDriveBar* pnlDisks() const;
    QComboBox* cmbDrives() const;
    QLabel* pnlSizeInfo() const;
    QLabel* pnlInfo() const;
    QLabel* pnlAddressLine() const;
    QLabel* lblBasketInfo() const;
    controls::TSpeedButtonNew* btnSendTobasket() const;
    QWidget* pnlBrowserToolbar() const;
    QWidget* pnlBottomButtons() const;
    QWidget* pnlView() const;
    QTimer* timerForCM() const { return timerForCM_; }

    // The text height and the brief column width the layout computed last.
    std::int32_t BriefColumnWidth() const { return briefColumnWidth_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Suppresses cell drawing for the length of a scope (nested scopes count).
    class PaintingSuppressed
    {
    public:
        explicit PaintingSuppressed(TBrowserForm& form) : form_(form) { ++form_.paintingSuppressed_; }
        ~PaintingSuppressed() { --form_.paintingSuppressed_; }
        PaintingSuppressed(const PaintingSuppressed&) = delete;
        PaintingSuppressed& operator=(const PaintingSuppressed&) = delete;

    private:
        TBrowserForm& form_;
    };

    // Set-up of the components.
    void wireComponents();
    // Layout steps.
    void layoutBrief();
    void layoutBasket();
    // Drawing.
    void sgBrowserDrawCell(QPainter& canvas, int col, int row, const QRect& rect);
    void drawTreeCell(QPainter& canvas, int row, const QRect& rect, const QColor& fontColor,
                      const QColor& background);
    void drawIcon(QPainter& canvas, std::int32_t icon, int x, const QRect& rect);
    bool isCursorCell(int col, int row) const;
    // Cursor bookkeeping.
    std::int32_t rangeCount() const;
    bool rowToItem(std::int32_t index, std::int32_t& folder, std::int32_t& position);
    void sgBrowserSelectCell(int col, int row, bool& canSelect);
    void armGrid();
    // Mouse and timer.
    void sgBrowserMouseDown(Qt::MouseButton button, bool doubleClick, int x, int y);
    void sgBrowserMouseMove(Qt::MouseButtons buttons, int x, int y);
    void timerForCMTimer();
    // Folder changes.
    bool enterFolder(std::int32_t position);
    void leaveToParent();
    void setAddressLine();
    void pressDriveButtons(std::int32_t driveIndex);
    void placeBasketInfo(bool basket);
    void sbFilesCommentResize();
    void showFreeText();
    // The widths the first columnCount columns ask for while no widths are stored.
    std::vector<controls::ColumnWant> defaultColumnWidths(int columnCount) const;
    void pnlBrowserToolbarResize();
    bool cmbDrivesKeyDown(QKeyEvent* event);
    void cmbDrivesExit();
    void drivePopupClosed();
    void ensureListingExists();

    IBrowserHost& host_;
    std::unique_ptr<Ui::TBrowserForm> ui_;
    QTimer* timerForCM_ = nullptr;

    std::int32_t treeRows_ = 0;
    std::int32_t basketRows_ = 0;
    std::int32_t textHeight_ = 0;
    filelist::TstateOfBrowser* menuList_ = nullptr;
    std::int32_t menuFolder_ = 0;
    std::int32_t menuPosition_ = 0;
    QPoint menuPoint_;
    int paintingSuppressed_ = 0;
    std::unique_ptr<filelist::ThreadForReadIcons> iconThread_;
    std::int32_t briefCol_ = 0;
    std::int32_t briefRow_ = 0;
    std::int32_t undoAction_ = 8;
    std::uint32_t ColumnOrder_ = 0x43210;
    filelist::TstateOfBrowser* listing_;
    filelist::TstateOfBrowser* basketView_;
    std::int32_t BrowserMode_ = filelist::kViewFull;
    std::int32_t BasketMode_ = 2;
    std::int32_t OldBrowserMode_ = filelist::kViewFull;
    char driveLetter_ = 'c';
    std::int32_t cursor_ = 0;

    std::int32_t briefColumnWidth_ = 0;
    struct BriefWidthCache
    {
        std::uint64_t namesHash = 0;
        std::int32_t count = -1;
        QString fontKey;
        int widest = 0;
    } briefWidthCache_;
    QString driveInfo_;
    QString freeText_;
    bool comboKeysMoving_ = false;
    QMetaObject::Connection focusConnection_;
};

} // namespace wux::mainwindow
