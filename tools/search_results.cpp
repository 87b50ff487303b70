#include "tools/search_results.h"

#include "ui_TSrchRes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWindow>
#include <qdrawutil.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "controls/grid_cell_painter.h"
#include "controls/image_list.h"
#include "controls/speed_button_new.h"
#include "controls/system_colors.h"
#include "controls/vyk_header.h"
#include "core/display_helpers.h"
#include "core/gui_helpers.h"
#include "core/ring_list.h"
#include "core/text_table.h"
#include "engines/rename_mask.h"
#include "filelist/active_panel.h"
#include "filelist/basket.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "tools/query_dialog.h"
#include "tools/replace_window_support.h"
#include "tools/tool_host.h"

namespace wux::tools {

using controls::SysColor;
using controls::sysColor;
using platform::CriticalSectionLock;

namespace {

// General texts.
constexpr int kTextCancel = 17;
constexpr int kTextAbortOperation = 18;
constexpr int kTextSelectFiles = 20;
constexpr int kTextUnselectFiles = 21;
constexpr int kTextFilesNotFound = 38;

constexpr int kFinderMode = 2;
constexpr int kViewBrief = 1;
constexpr int kViewFull = 2;
// Bits of the title grid's Tag: the user resized the columns; widths to be computed again.
constexpr int kTitleResized = 1;
constexpr int kTitleRecompute = 2;
constexpr int kNoSortKey = 4;
constexpr int kSizeRightMargin = 8;
constexpr int kTextLeftMargin = 3;
// The width of the sort arrow drawn when the header images are missing.
constexpr int kOwnArrowWidth = 12;
constexpr QRgb kFixedGrey = 0xFF808080;
constexpr QRgb kFolderGreen = 0xFF008000;

IToolPanelsHost* installedPanelsHost = nullptr;

class HourglassCursor
{
public:
    HourglassCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QGuiApplication::restoreOverrideCursor(); }
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

QString qText(int id)
{
    return platform::toQString(core::uiText(id));
}

int textWidth(const QFont& font, const char* text)
{
    return QFontMetrics(font).horizontalAdvance(QString::fromLatin1(text));
}

// The date column: "12.12.02 12:59", or a wide date in the user's own date and time format when that is
// longer.
int dateColumnWidth(const QFont& font)
{
    platform::CalendarTime wide;
    wide.year = 2028;
    wide.month = 12;
    wide.day = 28;
    wide.hour = 20;
    wide.minute = 58;
    const std::optional<platform::FileTime> time = platform::localCalendarToFileTime(wide);
    const int local =
        time ? QFontMetrics(font).horizontalAdvance(platform::toQString(core::FileTimeToText(*time))) : 0;
    return std::max(textWidth(font, "12.12.02 12:59"), local) + 10;
}

// The reserve of the full view's widths: a vertical scroll bar and four window edges.
int widthReserve(const QWidget& widget)
{
    return widget.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4 * 2;
}

// A picture of the program's glyphs when it has one, else the style's. A speed button paints its glyph
// strip (up, disabled, down), never an icon.
void setProgramGlyph(QAbstractButton& button, const char* name, QStyle::StandardPixmap fallback)
{
    const QString file = QStringLiteral(":/images/%1.png").arg(QLatin1String(name));
    const bool programGlyph = QFile::exists(file);
    if (auto* speedButton = qobject_cast<controls::TSpeedButtonNew*>(&button)) {
        speedButton->setNumGlyphs(programGlyph ? 3 : 1);
        speedButton->setGlyph(programGlyph ? QPixmap(file)
                                           : button.style()->standardIcon(fallback).pixmap(16, 16));
        return;
    }
    button.setIcon(programGlyph ? QIcon(file) : button.style()->standardIcon(fallback));
}

bool isKeypad(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::KeypadModifier) != 0;
}

} // namespace

IToolPanelsHost* setToolPanelsHost(IToolPanelsHost* host)
{
    IToolPanelsHost* previous = installedPanelsHost;
    installedPanelsHost = host;
    return previous;
}

IToolPanelsHost* toolPanelsHost()
{
    return installedPanelsHost;
}

core::TVYK_RingList& selectionMaskHistory()
{
    if (installedPanelsHost != nullptr)
        return installedPanelsHost->SelectionMaskHistory();
    static core::TVYK_RingList own;
    return own;
}

void registerSearchResultsTexts()
{
    core::registerDefaultTexts({{kTextSearchResults, "Search results"},
                                {kTextFilesOperations, "Files operations:"},
                                {kTextSendToBasket, "Send to &Basket"},
                                {kTextOperations, "Operations:"},
                                {kTextStopSearch, "Sto&p search"},
                                {kTextGoToFile, "&Go to file"},
                                {kTextHelpFinder, "&Help"},
                                {kTextStartRename, "&Start Rename"},
                                {kTextHelpRenamer, "&Help"},
                                {kTextExitPreview, "&Cancel"},
                                {kTextViewMode, "View mode:"}});
}

std::uint64_t defaultColumnProportions()
{
    constexpr std::array<std::uint64_t, 6> fields = {192, 48, 72, 120, 24, 24};
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < fields.size(); ++i)
        packed |= fields[i] << (controls::kColumnWidthFieldBits * i);
    return packed;
}

std::uint32_t sortWordAfterTitleClick(std::uint32_t sortWord, int key)
{
    if (key < 0 || key >= kNoSortKey)
        return sortWord;
    if (std::uint32_t(key) == (sortWord & 7))
        return sortWord ^ filelist::kSortDescending;
    constexpr std::array<std::uint32_t, 4> newWords = {8, 1, 66, 67};
    return newWords[std::size_t(key)];
}

// ---- Window ----

TSrchRes::TSrchRes(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TSrchRes>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    if (IToolHost* host = toolHost())
        host->EnableMainControls(false);
    placeOverMainWindow();
    startRenamePressed_ = false;
    applyTexts();

    auto* title = ui_->sgTitle;
    title->setFrameShape(QFrame::NoFrame);
    title->setScrollBars(controls::ScrollStyle::ssNone);
    title->setFocusPolicy(Qt::NoFocus);
    title->setFixedCols(0);
    title->setRowCount(2);
    title->setFixedRows(1);
    title->setDefaultDrawing(false);
    title->setOptions(controls::goFixedVertLine | controls::goFixedHorzLine);
    title->OnDrawCell = [this](QPainter& canvas, int col, int row, const QRect& rect, unsigned) {
        if (row == 0)
            drawTitleCell(canvas, col, rect);
    };
    title->OnMouseUp = [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        if (button == Qt::LeftButton)
            titleMouseUp(x, y);
    };
    title->OnOwnerTitle = [this](int col) {
        const QString text = titleText(col);
        // The text starts after the margin (and the sort glyph) and is clipped 1 pixel inside the cell.
        const int width = kTextLeftMargin + (isSortTitle(col) ? sortGlyphWidth() : 0) +
                          QFontMetrics(titleFont()).horizontalAdvance(text) + 1;
        return controls::DrawGrid::OwnerTitle{text, width};
    };
    title->OnColWidthsChanged = [this] {
        // While the user drags a border the result grid follows.
        if (viewMode_ != kViewFull)
            return;
        for (int c = 0; c < ui_->sgTitle->ColCount() && c < ui_->sgFinder->ColCount(); ++c)
            ui_->sgFinder->setColWidths(c, ui_->sgTitle->ColWidths(c));
    };

    auto* grid = ui_->sgFinder;
    grid->setFixedCols(0);
    grid->setFixedRows(0);
    grid->setRowCount(1);
    grid->setColCount(1);
    grid->setDefaultDrawing(false);
    grid->setOptions(controls::goRowSelect | controls::goThumbTracking);
    grid->setTag(1);
    grid->OnDrawCell = [this](QPainter& canvas, int col, int row, const QRect& rect, unsigned state) {
        drawResultCell(canvas, col, row, rect, state);
    };
    grid->OnKeyDown = [this](int& key, Qt::KeyboardModifiers modifiers) { resultKeyDown(key, modifiers); };
    grid->OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers, bool doubleClick, int x,
                               int y) { resultMouseDown(button, doubleClick, x, y); };
    grid->OnMouseMove = [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers, int x, int y) {
        resultMouseMove(buttons, x, y);
    };
    grid->OnSetFocus = [this](controls::TWUXStringGrid*, QWidget*) { ui_->sgFinder->InvalidateGrid(); };
    grid->OnKillFocus = [this](controls::TWUXStringGrid*, QWidget*) { ui_->sgFinder->InvalidateGrid(); };
    grid->OnSelectCell = [this](int, int row, bool&) {
        // The highlighted row moves: the old and the new one are painted again.
        ui_->sgFinder->InvalidateRow(ui_->sgFinder->Row());
        ui_->sgFinder->InvalidateRow(row);
    };
    grid->OnTopLeftChanged = [this] {
        if (ui_->sgTitle->ColCount() > 0)
            ui_->sgTitle->setLeftCol(std::min(ui_->sgFinder->LeftCol(), ui_->sgTitle->ColCount() - 1));
    };

    ui_->btnSetModeBrief->setCheckable(true);
    ui_->btnSetModeFull->setCheckable(true);
    setHelpGlyph(*ui_->btnHelpF);
    setHelpGlyph(*ui_->btnHlpRenamer);
    setStartGlyph(*ui_->btnStartRename);
    setProgramGlyph(*ui_->btnStopSearch, "BTNSTOP", QStyle::SP_BrowserStop);
    setProgramGlyph(*ui_->btnGoToFile, "BTNGOTO", QStyle::SP_ArrowRight);
    setProgramGlyph(*ui_->btnSendToBasket, "BTNBASKETADD", QStyle::SP_DialogSaveButton);
    setProgramGlyph(*ui_->btnExit, "BTNCANCEL", QStyle::SP_DialogCancelButton);
    setProgramGlyph(*ui_->btnSetModeBrief, "BRIEFMODE", QStyle::SP_FileDialogListView);
    setProgramGlyph(*ui_->btnSetModeFull, "FULLMODE", QStyle::SP_FileDialogDetailedView);

    connect(ui_->btnGoToFile, &QPushButton::clicked, this, &TSrchRes::btnGoToFileClick);
    connect(ui_->btnSendToBasket, &QPushButton::clicked, this, &TSrchRes::btnSendToBasketClick);
    connect(ui_->btnSetModeBrief, &QToolButton::clicked, this, [this] { btnSetModeClick(kViewBrief); });
    connect(ui_->btnSetModeFull, &QToolButton::clicked, this, [this] { btnSetModeClick(kViewFull); });
    connect(ui_->btnStopSearch, &QPushButton::clicked, this, &TSrchRes::btnStopSearchClick);
    connect(ui_->btnHelpF, &QPushButton::clicked, this, &TSrchRes::showHelp);
    connect(ui_->btnHlpRenamer, &QPushButton::clicked, this, &TSrchRes::showHelp);
    connect(ui_->btnExit, &QPushButton::clicked, this, [this] { close(); });
    connect(ui_->btnStartRename, &QPushButton::clicked, this, [this] {
        startRenamePressed_ = true;
        close();
    });
}

TSrchRes::~TSrchRes()
{
    if (IToolHost* host = toolHost())
        host->EnableMainControls(true);
}

void TSrchRes::placeOverMainWindow()
{
    IToolHost* host = toolHost();
    if (host == nullptr)
        return;
    const QRect main = host->MainBounds();
    const int captionHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 5;
    const int bar = host->ControlBarMainHeight();
    setGeometry(main.left(), main.top() + bar + captionHeight, main.width(),
                std::max(main.height() - bar - captionHeight, 200));
}

void TSrchRes::applyTexts()
{
    setWindowTitle(qText(kTextSearchResults));
    ui_->gbxSends->setTitle(qText(kTextFilesOperations));
    ui_->btnSendToBasket->setText(qText(kTextSendToBasket));
    ui_->gbxOperations->setTitle(qText(kTextOperations));
    ui_->btnStopSearch->setText(qText(kTextStopSearch));
    ui_->btnGoToFile->setText(qText(kTextGoToFile));
    ui_->btnHelpF->setText(qText(kTextHelpFinder));
    ui_->btnStartRename->setText(qText(kTextStartRename));
    ui_->btnHlpRenamer->setText(qText(kTextHelpRenamer));
    ui_->btnExit->setText(qText(kTextExitPreview));
    ui_->gbViewMode->setTitle(qText(kTextViewMode));
}

filelist::TstateOfBrowser& TSrchRes::list() const
{
    return engines::ResultListState != nullptr ? *engines::ResultListState : engines::FinderStore;
}

bool TSrchRes::isFinder() const
{
    return list().mode == kFinderMode;
}

bool TSrchRes::duplicatesRun() const
{
    return isFinder() && list().filter.findDuplicates != 0;
}

bool TSrchRes::withHeaderRows() const
{
    return isFinder() && viewMode_ == kViewFull && !duplicatesRun();
}

int TSrchRes::fullColumnCount() const
{
    if (!isFinder())
        return 7;
    return duplicatesRun() ? 6 : 5;
}

// ---- Initialisation ----

void TSrchRes::InitSearch()
{
    columnTitles_ = kFinderColumnTitles;
    columnSortKeys_ = kFinderColumnSortKeys;
    viewMode_ = kViewFull;
    ui_->btnSetModeFull->setChecked(true);
    columnProportions_ = 0;
    rowCount_ = 0;
    finished_ = false;
    {
        CriticalSectionLock lock(engines::FinderLock);
        list().itemCount = 0;
        list().folderCount = 0;
    }
    textRowHeight_ = QFontMetrics(ui_->sgFinder->font()).height();
    ui_->sgFinder->setDefaultRowHeight(textRowHeight_ + 4);
    ui_->pnlForFinder->show();
    ui_->sbFilesComment->show();
    ui_->gbViewMode->setVisible(!duplicatesRun());
    ui_->sbFilesComment->clearPanels();
    for (int kind = 0; kind < 5; ++kind)
        ui_->sbFilesComment->addPanel().setText(platform::toQString(core::ColumnTitle(kind)));
    ui_->sbFilesComment->setSimplePanel(true);
    ui_->sgTitle->setTag(kTitleRecompute);
    LayoutColumns();
    ui_->sgFinder->setRowCount(1);
    UpdateButtons();
}

void TSrchRes::InitRenamePreview()
{
    columnTitles_ = kRenamerColumnTitles;
    columnSortKeys_ = kRenamerColumnSortKeys;
    viewMode_ = kViewFull;
    ui_->btnSetModeFull->setChecked(true);
    columnProportions_ = 0;
    finished_ = true;
    rowCount_ = list().itemCount;
    textRowHeight_ = QFontMetrics(ui_->sgFinder->font()).height();
    ui_->sgFinder->setDefaultRowHeight(textRowHeight_ + 4);
    ui_->sgTitle->setTag(kTitleRecompute);
    LayoutColumns();
    ui_->sgFinder->setRowCount(std::max(rowCount_, 1));
    ui_->pnlForRenamer->show();
}

// ---- Layout ----

void TSrchRes::LayoutColumns()
{
    if (columnProportions_ == 0)
        columnProportions_ = defaultColumnProportions();
    auto* title = ui_->sgTitle;
    auto* grid = ui_->sgFinder;
    if (viewMode_ == kViewBrief) {
        grid->setScrollBars(controls::ScrollStyle::ssVertical);
        grid->setColCount(1);
        grid->setColWidths(0, std::max(grid->viewport()->width(), 1));
        title->setOptions(controls::goFixedVertLine | controls::goFixedHorzLine);
        title->setColCount(4);
        const int quarter = title->width() / 4;
        for (int c = 0; c < 3; ++c)
            title->setColWidths(c, std::max(quarter - title->GridLineWidth(), 1));
        title->setColWidths(3, std::max(title->width() - 3 * quarter, 1));
        applyStatusPanelWidths();
    } else {
        grid->setScrollBars(controls::ScrollStyle::ssBoth);
        title->setOptions(controls::goFixedVertLine | controls::goFixedHorzLine | controls::goColSizing);
        const int columns = fullColumnCount();
        title->setColCount(columns);
        grid->setColCount(columns);
        if ((title->Tag() & kTitleResized) == 0 || (title->Tag() & kTitleRecompute) != 0) {
            computeFullWidths();
            title->setTag(title->Tag() & ~(kTitleResized | kTitleRecompute));
        }
        for (int c = 0; c < columns; ++c) {
            title->setColWidths(c, columnWidths_[std::size_t(c)]);
            grid->setColWidths(c, columnWidths_[std::size_t(c)]);
        }
    }
    title->setRowHeights(0, title->height() + 1);
    title->InvalidateGrid();
    grid->InvalidateGrid();
}

void TSrchRes::computeFullWidths()
{
    const QFont& font = this->font();
    const int line = ui_->sgTitle->GridLineWidth();
    const int available = ui_->sgTitle->width() - widthReserve(*this);
    const int ext = textWidth(font, "Ext45") + 10;
    const int size = textWidth(font, "1234567") + 10;
    const int date = dateColumnWidth(font);
    columnWidths_.fill(0);
    if (isFinder()) {
        const int attr = textWidth(font, "Attr") + 10;
        const int rest = std::max(available - ext - size - date - attr - 5 * line, 20);
        columnWidths_[1] = ext;
        columnWidths_[2] = size;
        columnWidths_[3] = date;
        columnWidths_[4] = attr;
        if (duplicatesRun()) {
            columnWidths_[0] = rest / 3;
            columnWidths_[5] = rest - rest / 3;
        } else {
            columnWidths_[0] = rest;
        }
    } else {
        const int newExt = textWidth(font, "New ext") + 10;
        const int rest = std::max(available - ext - newExt - size - date - 7 * line, 30);
        const int location = rest / 3;
        const int names = rest - location;
        columnWidths_[0] = location;
        columnWidths_[1] = names / 2;
        columnWidths_[2] = ext;
        columnWidths_[3] = names - names / 2;
        columnWidths_[4] = newExt;
        columnWidths_[5] = size;
        columnWidths_[6] = date;
    }
}

void TSrchRes::applyStatusPanelWidths()
{
    auto* bar = ui_->sbFilesComment;
    if (bar->panelCount() < 5)
        return;
    const int width = bar->width();
    for (int i = 0; i < 4; ++i)
        bar->Panels(i).setWidth(controls::columnWidthField(std::int64_t(columnProportions_), i) * width /
                                controls::kColumnWidthUnits);
}

void TSrchRes::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (columnTitles_ != 0)
        LayoutColumns();
}

// ---- Rows ----

void TSrchRes::SetResultRowCount(std::int32_t rows)
{
    rowCount_ = rows;
    ui_->sgFinder->setRowCount(rows > 0 ? rows : 3);
    ui_->sgFinder->InvalidateGrid();
}

void TSrchRes::recountRows()
{
    CriticalSectionLock lock(engines::FinderLock);
    if (duplicatesRun())
        return; // the duplicates' count stays as the search left it
    std::int32_t rows = list().itemCount;
    if (withHeaderRows())
        rows += list().folderCount;
    rowCount_ = rows;
    ui_->sgFinder->setRowCount(rows > 0 ? rows : 3);
}

void TSrchRes::rowEntry(int row, std::int32_t& folder, std::int32_t& position)
{
    folder = 0;
    position = 0;
    if (row < 0 || row >= rowCount_)
        return;
    if (!isFinder()) {
        folder = 1;
        position = row + 1;
        return;
    }
    filelist::RowToItem(row + 1, withHeaderRows(), folder, list(), position);
}

std::string TSrchRes::cellText(int col, int row)
{
    CriticalSectionLock lock(engines::FinderLock);
    std::int32_t folder = 0;
    std::int32_t position = 0;
    rowEntry(row, folder, position);
    std::string text;
    if (folder == 0)
        return text;
    if (!isFinder())
        engines::renamerFileStructure().runningNumber = row + 1;
    if (position == 0) {
        if (col == 0) {
            filelist::FolderPathOf(folder, list(), text);
            text += "\\";
        }
        return text;
    }
    if (viewMode_ == kViewBrief) {
        std::string name;
        filelist::GetCellText(filelist::kColumnLocation, folder, position, text, list());
        filelist::GetCellText(filelist::kColumnFullName, folder, position, name, list());
        return text + "\\" + name;
    }
    filelist::GetCellText(columnTitleKind(columnTitles_, col), folder, position, text, list());
    return text;
}

bool TSrchRes::rowMarked(int row)
{
    CriticalSectionLock lock(engines::FinderLock);
    std::int32_t folder = 0;
    std::int32_t position = 0;
    rowEntry(row, folder, position);
    return folder != 0 && position != 0 && filelist::IsItemSelected(folder, position, list());
}

// ---- Painting ----

void TSrchRes::drawResultCell(QPainter& canvas, int col, int row, const QRect& rect, unsigned state)
{
    CriticalSectionLock lock(engines::FinderLock);
    auto* grid = ui_->sgFinder;
    const QPalette& pal = grid->palette();
    canvas.save();
    canvas.setClipRect(rect);
    if (rowCount_ == 0) {
        canvas.fillRect(rect, sysColor(SysColor::Window, pal));
        if (isFinder() && !finished_) {
            canvas.restore();
            return;
        }
        // "Files not found" across the whole grid, each cell painting its own part of it.
        QFont bold = grid->font();
        bold.setBold(true);
        canvas.setFont(bold);
        canvas.setPen(sysColor(SysColor::WindowText, pal));
        const int rowTop =
            rect.top() - (row - grid->TopRow()) * (grid->DefaultRowHeight() + grid->GridLineWidth());
        canvas.drawText(QRect(0, rowTop + 20, grid->viewport()->width(), QFontMetrics(bold).height() + 4),
                        Qt::AlignHCenter | Qt::AlignTop, qText(kTextFilesNotFound));
        canvas.restore();
        return;
    }
    if (row >= rowCount_) {
        canvas.fillRect(rect, sysColor(SysColor::Window, pal));
        canvas.restore();
        return;
    }
    const bool current = row == grid->Row();
    const bool focused = grid->hasFocus();
    QColor background = (state & controls::gdFixed) ? QColor(kFixedGrey) : sysColor(SysColor::Window, pal);
    QColor textColor = sysColor(SysColor::WindowText, pal);
    if (current) {
        background = sysColor(focused ? SysColor::ActiveCaption : SysColor::InactiveCaption, pal);
        textColor = sysColor(focused ? SysColor::CaptionText : SysColor::InactiveCaptionText, pal);
    }
    std::int32_t folder = 0;
    std::int32_t position = 0;
    rowEntry(row, folder, position);
    // A marked hit is red; every file of the preview is one to rename, so its marks say nothing there.
    if (folder != 0 && position != 0 && isFinder() && filelist::IsItemSelected(folder, position, list()))
        textColor = Qt::red;
    else if (folder != 0 && position == 0 && !current)
        textColor = QColor(kFolderGreen); // a folder's header row
    if (current)
        background = controls::readableHighlight(background, textColor);
    canvas.fillRect(rect, background);
    if (folder == 0) {
        canvas.restore();
        return;
    }
    if (!isFinder())
        engines::renamerFileStructure().runningNumber = row + 1;
    canvas.setFont(grid->font());
    const int textTop = rect.top() + (rect.height() - textRowHeight_) / 2;
    const QFontMetrics metrics(grid->font());
    std::string text;
    int x = rect.left() + kTextLeftMargin;
    // Texts that do not fit are elided as the panels elide them, never cut: a cut size reads as
    // another size, a cut name as another name.
    QString shown;
    if (position == 0) {
        // A folder's header row: its path across every column, each cell painting its own part.
        filelist::FolderPathOf(folder, list(), text);
        text += "\\";
        for (int c = 0; c < col; ++c)
            x -= grid->ColWidths(c) + grid->GridLineWidth();
        shown = controls::FitPathText(metrics, platform::toQString(text),
                                      grid->viewport()->width() - 2 * kTextLeftMargin);
    } else if (viewMode_ == kViewBrief) {
        std::string name;
        filelist::GetCellText(filelist::kColumnLocation, folder, position, text, list());
        filelist::GetCellText(filelist::kColumnFullName, folder, position, name, list());
        text += "\\" + name;
        shown = controls::FitPathText(metrics, platform::toQString(text), rect.right() - x + 1);
        if (current && focused)
            showBriefStatus(row);
    } else {
        const int kind = columnTitleKind(columnTitles_, col);
        filelist::GetCellText(kind, folder, position, text, list());
        if (kind == filelist::kColumnSize) {
            const int right = rect.right() + 1 - kSizeRightMargin;
            shown = controls::FitCellText(metrics, platform::toQString(text), right - x);
            x = right - metrics.horizontalAdvance(shown);
        } else if (kind == filelist::kColumnLocation) {
            shown = controls::FitPathText(metrics, platform::toQString(text), rect.right() - x + 1);
        } else {
            shown = controls::FitCellText(metrics, platform::toQString(text), rect.right() - x + 1);
        }
    }
    if ((position != 0 || col == 0) && shown != platform::toQString(text))
        grid->noteElidedCellText(col, row, platform::toQString(text));
    canvas.setPen(textColor);
    canvas.drawText(QRect(x, textTop, 100000, textRowHeight_), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    shown);
    canvas.restore();
}

void TSrchRes::showBriefStatus(int row)
{
    std::int32_t folder = 0;
    std::int32_t position = 0;
    rowEntry(row, folder, position);
    auto* bar = ui_->sbFilesComment;
    if (folder == 0 || position == 0 || bar->panelCount() < 5)
        return;
    for (int kind = 0; kind < 5; ++kind) {
        std::string text;
        filelist::GetCellText(kind, folder, position, text, list());
        const QString shown = platform::toQString(text);
        if (bar->Panels(kind).Text() != shown)
            bar->Panels(kind).setText(shown);
    }
}

bool TSrchRes::isSortTitle(int col) const
{
    const int key = columnSortKey(columnSortKeys_, col);
    return !duplicatesRun() && key < kNoSortKey && std::uint32_t(key) == (list().sortWord & 7);
}

int TSrchRes::sortGlyphWidth() const
{
    controls::TImageList* images = toolPanelsHost() != nullptr ? toolPanelsHost()->HeaderImages() : nullptr;
    return images != nullptr && images->Count() >= 2 ? images->Width() + 2 : kOwnArrowWidth;
}

QString TSrchRes::titleText(int col) const
{
    return platform::toQString(core::ColumnTitle(columnTitleKind(columnTitles_, col)));
}

QFont TSrchRes::titleFont() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

void TSrchRes::drawTitleCell(QPainter& canvas, int col, const QRect& rect)
{
    auto* title = ui_->sgTitle;
    const QPalette& pal = title->palette();
    const std::uint32_t sortWord = list().sortWord;
    const bool sortColumn = isSortTitle(col);
    canvas.save();
    int textX = rect.left() + kTextLeftMargin;
    if (sortColumn) {
        canvas.fillRect(rect, sysColor(SysColor::Light3D, pal));
        qDrawShadePanel(&canvas, rect, pal, true, 1);
        controls::TImageList* images =
            toolPanelsHost() != nullptr ? toolPanelsHost()->HeaderImages() : nullptr;
        const bool descending = (sortWord & filelist::kSortDescending) != 0;
        if (images != nullptr && images->Count() >= 2) {
            images->Draw(canvas, textX, rect.top() + (rect.height() - images->Height()) / 2,
                         descending ? 1 : 0);
        } else {
            // A small arrow of our own: up ascending, down descending.
            const int cx = textX + 4;
            const int cy = rect.center().y();
            const QPolygon arrow =
                descending ? QPolygon({QPoint(cx - 4, cy - 2), QPoint(cx + 4, cy - 2), QPoint(cx, cy + 3)})
                           : QPolygon({QPoint(cx - 4, cy + 3), QPoint(cx + 4, cy + 3), QPoint(cx, cy - 2)});
            canvas.setBrush(Qt::darkGray);
            canvas.setPen(Qt::NoPen);
            canvas.drawPolygon(arrow);
        }
        textX += sortGlyphWidth();
    } else {
        canvas.fillRect(rect, sysColor(SysColor::BtnFace, pal));
        qDrawShadePanel(&canvas, rect, pal, false, 1);
    }
    canvas.setClipRect(rect.adjusted(1, 1, -1, -1));
    canvas.setFont(titleFont());
    canvas.setPen(Qt::black);
    canvas.drawText(QRect(textX, rect.top(), rect.right() - textX, rect.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, titleText(col));
    canvas.restore();
}

void TSrchRes::repaintGrids()
{
    ui_->sgTitle->InvalidateGrid();
    ui_->sgFinder->InvalidateGrid();
}

// ---- Titles ----

void TSrchRes::titleMouseUp(int x, int y)
{
    auto* title = ui_->sgTitle;
    auto* grid = ui_->sgFinder;
    if (viewMode_ == kViewFull) {
        bool resized = false;
        for (int c = 0; c < title->ColCount(); ++c)
            if (title->ColWidths(c) != columnWidths_[std::size_t(c)])
                resized = true;
        if (resized) {
            std::vector<int> widths;
            for (int c = 0; c < title->ColCount(); ++c) {
                columnWidths_[std::size_t(c)] = title->ColWidths(c);
                widths.push_back(title->ColWidths(c));
                if (c < grid->ColCount())
                    grid->setColWidths(c, title->ColWidths(c));
            }
            columnProportions_ =
                std::uint64_t(controls::packColumnWidths(widths, title->viewport()->width()));
            title->setTag(title->Tag() | kTitleResized);
            grid->setFocus(Qt::MouseFocusReason);
            return;
        }
    }
    int col = -1;
    int row = -1;
    title->MouseToCell(x, y, col, row);
    grid->setFocus(Qt::MouseFocusReason);
    if (row == 0 && col >= 0)
        titleClick(col);
}

void TSrchRes::titleClick(int column)
{
    if (duplicatesRun())
        return;
    const int key = columnSortKey(columnSortKeys_, column);
    if (key >= kNoSortKey)
        return;
    HourglassCursor hourglass;
    {
        CriticalSectionLock lock(engines::FinderLock);
        list().sortWord = sortWordAfterTitleClick(list().sortWord, key);
        filelist::SortAllFolders(list());
    }
    repaintGrids();
}

// ---- Marking ----

void TSrchRes::toggleRow(int row, std::int32_t action)
{
    {
        CriticalSectionLock lock(engines::FinderLock);
        std::int32_t folder = 0;
        std::int32_t position = 0;
        rowEntry(row, folder, position);
        if (folder == 0)
            return;
        if (position != 0) {
            const std::int32_t shift = filelist::GetFolderDepth(folder, list()) > 0 ? 1 : 0;
            filelist::SelectItem(folder, position + shift, list(), action, false);
            selectionResult_ = filelist::IsItemSelected(folder, position, list());
        } else {
            selectionResult_ = true;
        }
        filelist::RecalcSelection(list());
    }
    ui_->sgFinder->InvalidateRow(row);
    UpdateButtons();
}

void TSrchRes::selectEveryFolder(std::int32_t action)
{
    CriticalSectionLock lock(engines::FinderLock);
    for (std::int32_t folder = 1; folder <= list().folderCount; ++folder)
        filelist::SelectFolderItems(folder, list(), true, action);
    filelist::RecalcSelection(list());
}

void TSrchRes::selectByMaskQuery(bool select)
{
    core::TVYK_RingList& history = selectionMaskHistory();
    TStandardQuery query(this);
    query.lblInfo()->setText(qText(select ? kTextSelectFiles : kTextUnselectFiles));
    const std::string newest = query.ShowHistoryBox(history);
    QComboBox* box = query.cbForSelectFiles();
    box->setEditText(newest.empty() ? QStringLiteral("*.*") : platform::toQString(newest));
    if (query.exec() != QDialog::Accepted)
        return;
    const std::string mask = platform::toUtf8(box->currentText());
    history.Add(mask);
    CriticalSectionLock lock(engines::FinderLock);
    for (std::int32_t folder = 1; folder <= list().folderCount; ++folder)
        filelist::SelectByMask(folder, mask, select, list());
    filelist::RecalcSelection(list());
}

void TSrchRes::resultKeyDown(int& key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_F1) {
        key = 0;
        showHelp();
        return;
    }
    if (!isFinder() || rowCount_ <= 0)
        return;
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    const bool keypad = isKeypad(modifiers);
    auto* grid = ui_->sgFinder;
    bool handled = true;
    if (ctrl && key == Qt::Key_A) {
        selectEveryFolder(filelist::kActionMark);
    } else if (keypad && (key == Qt::Key_Plus || key == Qt::Key_Minus)) {
        const bool select = key == Qt::Key_Plus;
        if (ctrl)
            selectEveryFolder(select ? filelist::kActionMark : filelist::kActionUnmark);
        else
            selectByMaskQuery(select);
    } else if (keypad && key == Qt::Key_Asterisk) {
        selectEveryFolder(filelist::kActionInvert);
    } else if (key == Qt::Key_Space && !ctrl) {
        toggleRow(grid->Row(), filelist::kActionInvert);
    } else if (key == Qt::Key_Insert) {
        toggleRow(grid->Row(), filelist::kActionInvert);
        if (grid->Row() + 1 < grid->RowCount() && grid->Row() + 1 < rowCount_)
            grid->FocusCell(grid->Col(), grid->Row() + 1);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (finished_)
            btnGoToFileClick();
    } else {
        handled = false;
    }
    if (!handled)
        return;
    key = 0;
    grid->InvalidateGrid();
    UpdateButtons();
}

void TSrchRes::resultMouseDown(Qt::MouseButton button, bool doubleClick, int x, int y)
{
    if (!isFinder() || rowCount_ <= 0)
        return;
    auto* grid = ui_->sgFinder;
    if (button == Qt::LeftButton && doubleClick) {
        if (finished_)
            btnGoToFileClick();
        return;
    }
    if (button != Qt::RightButton)
        return;
    int col = -1;
    int row = -1;
    grid->MouseToCell(x, y, col, row);
    if (row < 0 || row >= rowCount_)
        return;
    grid->setFocus(Qt::MouseFocusReason);
    grid->FocusCell(std::max(col, 0), row);
    toggleRow(row, filelist::kActionInvert);
    dragAction_ = selectionResult_ ? filelist::kActionMark : filelist::kActionUnmark;
    dragRow_ = row;
}

void TSrchRes::resultMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    auto* grid = ui_->sgFinder;
    if (!isFinder() || rowCount_ <= 0 || !(buttons & Qt::RightButton) || !grid->hasFocus() ||
        dragAction_ == 0)
        return;
    int col = -1;
    int row = -1;
    grid->MouseToCell(x, y, col, row);
    if (row < 0 || row >= rowCount_ || row == dragRow_)
        return;
    dragRow_ = row;
    grid->FocusCell(std::max(col, 0), row);
    toggleRow(row, dragAction_);
}

// ---- Buttons ----

void TSrchRes::UpdateButtons()
{
    if (!isFinder())
        return;
    bool rows = false;
    bool marked = false;
    {
        CriticalSectionLock lock(engines::FinderLock);
        rows = rowCount_ > 0;
        if (finished_ && rows) {
            filelist::RecalcSelection(list());
            marked = list().selectedCount > 0;
        }
    }
    const bool ready = finished_ && rows;
    ui_->btnGoToFile->setEnabled(ready);
    ui_->btnSetModeBrief->setEnabled(ready);
    ui_->btnSetModeFull->setEnabled(ready);
    ui_->btnSendToBasket->setEnabled(ready && marked);
}

void TSrchRes::SearchDone()
{
    finished_ = true;
    if (filelist::HasGeneralOption(0x2000) && rowCount_ > 0)
        selectEveryFolder(filelist::kActionMark);
    ui_->btnStopSearch->setText(qText(kTextCancel));
    setProgramGlyph(*ui_->btnStopSearch, "BTNCANCEL", QStyle::SP_DialogCancelButton);
    UpdateButtons();
    repaintGrids();
}

void TSrchRes::ShowStatusText(const std::string& text)
{
    ui_->sbFilesComment->setSimpleText(platform::toQString(text));
}

void TSrchRes::btnGoToFileClick()
{
    if (rowCount_ <= 0)
        return;
    IToolPanelsHost* host = toolPanelsHost();
    if (host == nullptr)
        return;
    std::string folderPath;
    std::string name;
    {
        CriticalSectionLock lock(engines::FinderLock);
        std::int32_t folder = 0;
        std::int32_t position = 0;
        rowEntry(ui_->sgFinder->Row(), folder, position);
        if (folder == 0)
            return;
        // The folder as it is on disk: the shown path has its letters' case changed for display.
        if (position == 0) {
            folderPath = filelist::FolderPathAsStored(folder, list());
        } else {
            filelist::GetCellText(filelist::kColumnStoredLocation, folder, position, folderPath, list());
            filelist::GetCellText(filelist::kColumnStoredName, folder, position, name, list());
        }
    }
    if (host->GoToFile(folderPath, name))
        done(QDialog::Accepted);
}

void TSrchRes::btnSendToBasketClick()
{
    {
        HourglassCursor hourglass;
        CriticalSectionLock lock(engines::FinderLock);
        filelist::RecalcSelection(list());
        filelist::AddSelectedToBasket(list());
        filelist::CompactStateText(filelist::BasketState);
        filelist::AttachStateToPanel(filelist::kRightBasketView, false, filelist::BasketState);
        filelist::AttachStateToPanel(filelist::kLeftBasketView, false, filelist::BasketState);
        filelist::RecalcSelection(filelist::RightBasketState);
        filelist::RecalcSelection(filelist::LeftBasketState);
        filelist::RecalcSelection(list());
    }
    if (IToolPanelsHost* host = toolPanelsHost())
        host->ShowBasketInActivePanel();
    repaintGrids();
    UpdateButtons();
    ui_->sgFinder->setFocus();
}

void TSrchRes::btnSetModeClick(int mode)
{
    {
        CriticalSectionLock lock(engines::FinderLock);
        if (mode == kViewBrief) {
            viewMode_ = kViewBrief;
            if (!list().savedFolders) {
                HourglassCursor hourglass;
                filelist::BeginFlatView(list(), list().itemCount);
                filelist::SortAllFolders(list());
            }
        } else {
            viewMode_ = kViewFull;
            ui_->sgTitle->setTag(ui_->sgTitle->Tag() | kTitleRecompute);
            if (list().savedFolders) {
                HourglassCursor hourglass;
                filelist::EndFlatView(list());
                filelist::SortAllFolders(list());
            }
        }
    }
    ui_->btnSetModeBrief->setChecked(viewMode_ == kViewBrief);
    ui_->btnSetModeFull->setChecked(viewMode_ == kViewFull);
    LayoutColumns();
    recountRows();
    ui_->sbFilesComment->setSimplePanel(viewMode_ == kViewFull);
    if (viewMode_ == kViewBrief)
        showBriefStatus(ui_->sgFinder->Row());
    repaintGrids();
}

void TSrchRes::btnStopSearchClick()
{
    if (finished_) {
        close();
        return;
    }
    if (thread_ != nullptr) {
        thread_->Terminate();
        thread_->WaitFor();
    }
    ui_->sgFinder->setFocus();
}

void TSrchRes::showHelp()
{
    showToolHelp(isFinder() ? "SEARCH_RESULTS.htm" : "RENAME_PREVIEW.htm");
}

// ---- Closing ----

void TSrchRes::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_F1) {
        showHelp();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isFinder())
        return; // Enter belongs to the result grid (go to file), never to a default button
    QDialog::keyPressEvent(event);
}

void TSrchRes::reject()
{
    close();
}

void TSrchRes::askToClose()
{
    const platform::MsgResult answer =
        platform::showMessageBox(core::uiText(kTextAbortOperation), hostCaption(),
                                 platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question);
    if (answer != platform::MsgResult::Yes)
        return;
    if (thread_ != nullptr) {
        thread_->Terminate();
        thread_->WaitFor();
    }
}

void TSrchRes::closeEvent(QCloseEvent* event)
{
    if (isFinder() && !finished_ && thread_ != nullptr) {
        event->ignore();
        askToClose();
        return;
    }
    event->accept();
    if (!closing_) {
        closing_ = true;
        done(startRenamePressed_ ? QDialog::Accepted : QDialog::Rejected);
    }
}

void TSrchRes::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
        if (IToolHost* host = toolHost(); host != nullptr && host->MainWidget() != nullptr)
            host->MainWidget()->showMinimized();
    }
}

} // namespace wux::tools
