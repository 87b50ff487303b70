// The browser panel: set-up, settings, the layout of each view, cell drawing, header and sort, and the
// status, address, drive and basket lines.
#include "mainwindow/browser_form.h"

#include "ui_TBrowserForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <vector>

#include "controls/grid_cell_painter.h"
#include "controls/image_list.h"
#include "controls/speed_button_new.h"
#include "controls/system_colors.h"
#include "controls/vyk_header.h"
#include "controls/vyk_status_bar.h"
#include "controls/wux_string_grid.h"
#include "core/display_helpers.h"
#include "core/gui_helpers.h"
#include "core/hourglass.h"
#include "core/text_table.h"
#include "filelist/basket.h"
#include "filelist/drive_list.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "mainwindow/browser_host.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/settings.h"
#include "platform/drives.h"
#include "platform/filetime.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/shell/image_list.h"

namespace wux::mainwindow {

using filelist::kViewBasket;
using filelist::kViewBrief;
using filelist::kViewFull;
using filelist::kViewTree;

namespace {

enum BrowserText
{
    kTextNoBasketItems = 1,
    kTextFilesInBasket = 25,
    kTextSelectionSummary = 26,
    kTextFreeSpace = 27,
    kTextBasket = 31,
    kTextColumnName = 84,
    kTextSendToBasket = 702,
};

constexpr int kMinRowHeight = 17;
constexpr int kIconRoom = 16;
constexpr int kIconSize = 15;
constexpr int kSizeRightMargin = 8;
constexpr int kBriefExtensionMargin = 25;
constexpr int kColumnGap = 6;
constexpr int kTitleIndent = 3;
// The name column's part of the width (in 1/480) while no widths are stored, as in the stored default.
constexpr int kNameShare = 192;
// The largest size the size column makes room for while no widths are stored: files of some
// gigabytes; a larger size is elided, its whole figure in the cell's tooltip.
constexpr std::uint64_t kWidestUsualSize = 9'999'999'999;
constexpr int kTreeIndent = 15;
constexpr QRgb kHeaderRowGreen = 0xFF008000;

// The system metrics the layout uses, in one place: the edge of a sunken border and the height of a
// scroll bar's arrow.
int systemEdgeHeight()
{
    return 2;
}

int scrollArrowHeight()
{
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

QFont& browserFont()
{
    return BrowserFont();
}

QColor mainColor(int slot)
{
    return MainColor(slot);
}

enum ColorSlot
{
    kSlotFont = 1,
    kSlotBackground = 2,
    kSlotMark = 3,
    kSlotCursor = 4,
    kSlotCursorFont = 5,
};

QString uiQText(int id)
{
    return QString::fromStdString(core::uiText(id));
}

// A name or path as the windows show it (reserved characters as their original ones; they are the
// only texts with the byte 0xEF of U+F000 .. U+F0FF).
QString shown(std::string_view text)
{
    if (text.find('\xEF') == std::string_view::npos)
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    return QString::fromStdString(platform::displayPath(text));
}

int textWidth(const QFontMetrics& metrics, const QString& text)
{
    return metrics.horizontalAdvance(text);
}

std::int32_t folderOneCount(filelist::TstateOfBrowser& state)
{
    filelist::StateAccess access(state);
    return access.HasFolder(1) ? access.Folder(1).count : 0;
}

bool hasFolderOne(filelist::TstateOfBrowser& state)
{
    return state.folders && state.folderCount >= 1;
}

std::vector<TBrowserForm*>& livePanels()
{
    static std::vector<TBrowserForm*> panels;
    return panels;
}

} // namespace

std::int64_t ParseColumnsWidth(std::string_view text)
{
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last)
        return 0;
    return controls::clampColumnWidth(value);
}

std::array<controls::ColumnWant, 5> ColumnKindWidths(const QFont& listFont, const QFont& titleFont,
                                                    const std::array<QString, 5>& titles, int titleExtra,
                                                    int sortedKind)
{
    const QFontMetrics list(listFont);
    const auto widest = [&list](std::initializer_list<QString> texts) {
        int width = 0;
        for (const QString& text : texts)
            width = std::max(width, list.horizontalAdvance(text));
        return width;
    };
    int dateWidth = 0;
    int dayWidth = 0;
    int compactWidth = 0;
    for (int month = 1; month <= 12; ++month) {
        for (const int hour : {10, 23}) {
            platform::CalendarTime time;
            time.year = 2026;
            time.month = month;
            time.day = 28;
            time.hour = hour;
            time.minute = 58;
            const QString day = QString::fromStdString(platform::shortDateText(time));
            dayWidth = std::max(dayWidth, list.horizontalAdvance(day));
            compactWidth = std::max(compactWidth,
                                    list.horizontalAdvance(QString::fromStdString(platform::compactDateText(time))));
            dateWidth = std::max(dateWidth, list.horizontalAdvance(
                                                day + ' ' + QString::fromStdString(platform::shortTimeText(time))));
        }
    }
    // Texts start 2 pixels into their cell; a size ends kSizeRightMargin before the cell's right edge;
    // the others keep a gap of kColumnGap to the next column.
    std::array<int, 5> widths{
        2 + kIconRoom + widest({QStringLiteral("12345")}) + kColumnGap,
        2 + widest({QStringLiteral("docx"), QStringLiteral("xlsx"), QStringLiteral("pptx"),
                    QStringLiteral("html"), QStringLiteral("jpeg")}) +
            kColumnGap,
        2 + widest({QStringLiteral("<DIR>"), QString::fromStdString(core::FormatSize(kWidestUsualSize))}) +
            kSizeRightMargin,
        2 + dateWidth + kColumnGap,
        2 + widest({QStringLiteral("ahrs"), QStringLiteral("----")}) + kColumnGap,
    };
    // Where room is short the attributes give way first, then the extension, the date and the size;
    // the name keeps its share of the width longest.
    constexpr std::array<int, 5> kYield{4, 1, 3, 2, 0};
    // Only the title of the sort column shows the sort arrow.
    const QFontMetrics title(titleFont);
    std::array<controls::ColumnWant, 5> wants;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        wants[i].least = kTitleIndent + (int(i) == sortedKind ? titleExtra : 0) + title.horizontalAdvance(titles[i]) +
                         kColumnGap;
        wants[i].wanted = std::max(widths[i], wants[i].least);
        wants[i].yield = kYield[i];
    }
    wants[0].share = kNameShare;
    wants[3].shorter = 2 + dayWidth + kColumnGap;
    // The extension and the attributes are short: they keep room for them; the date never narrows below
    // its compact form, which keeps its year.
    for (const std::size_t kind : {std::size_t(1), std::size_t(4)})
        wants[kind].least = wants[kind].wanted;
    wants[3].least = std::max(wants[3].least, 2 + compactWidth + kColumnGap);
    wants[3].wanted = std::max(wants[3].wanted, wants[3].least);
    return wants;
}

void RegisterBrowserTexts()
{
    core::registerDefaultTexts({
        {700, "Browser"},
        {701, "Browse the files"},
        {702, "Send to Basket"},
        {703, "Save Basket list to file..."},
        {704, "Load Basket list from file..."},
        {1500, "ERROR!"},
        {1501, "Drive not found!"},
        {1502, "Please choose another:"},
        {1503, "Cancel"},
        {1504, "OK"},
    });
}

// ---- Construction ----------------------------------------------------------------------------

TBrowserForm::TBrowserForm(IBrowserHost& host, const QString& name, QWidget* parent)
    : QWidget(parent), host_(host), ui_(std::make_unique<Ui::TBrowserForm>()),
      listing_(name == QLatin1String("LeftBrowser") ? &LeftBrowserState : &RightBrowserState),
      basketView_(name == QLatin1String("LeftBrowser") ? &filelist::LeftBasketState
                                                       : &filelist::RightBasketState)
{
    ui_->setupUi(this);
    setObjectName(name);
    wireComponents();
    livePanels().push_back(this);
}

TBrowserForm::~TBrowserForm()
{
    // The children go after this object: nothing of theirs may call back into it.
    disconnect(focusConnection_);
    ui_->sgBrowser->OnDrawCell = nullptr;
    ui_->sgBrowser->OnSelectCell = nullptr;
    ui_->sgTitle->OnResizeHeaders = nullptr;
    ui_->sbFilesComment->OnResize = nullptr;
    ui_->pnlDisks->OnResize = nullptr;
    StopWorker();
    std::erase(livePanels(), this);
}

controls::TWUXStringGrid* TBrowserForm::sgBrowser() const
{
    return ui_->sgBrowser;
}
controls::TVYKHeader* TBrowserForm::sgTitle() const
{
    return ui_->sgTitle;
}
controls::TVYKStatusBar* TBrowserForm::sbFilesComment() const
{
    return ui_->sbFilesComment;
}
TDriveBar* TBrowserForm::pnlDisks() const
{
    return ui_->pnlDisks;
}
QComboBox* TBrowserForm::cmbDrives() const
{
    return ui_->cmbDrives;
}
QLabel* TBrowserForm::pnlSizeInfo() const
{
    return ui_->pnlSizeInfo;
}
QLabel* TBrowserForm::pnlInfo() const
{
    return ui_->pnlInfo;
}
QLabel* TBrowserForm::pnlAddressLine() const
{
    return ui_->pnlAddressLine;
}
QLabel* TBrowserForm::lblBasketInfo() const
{
    return ui_->lblBasketInfo;
}
controls::TSpeedButtonNew* TBrowserForm::btnSendTobasket() const
{
    return ui_->btnSendTobasket;
}
QWidget* TBrowserForm::pnlBrowserToolbar() const
{
    return ui_->pnlBrowserToolbar;
}
QWidget* TBrowserForm::pnlBottomButtons() const
{
    return ui_->pnlBottomButtons;
}
QWidget* TBrowserForm::pnlView() const
{
    return ui_->pnlView;
}

void TBrowserForm::wireComponents()
{
    timerForCM_ = new QTimer(this);
    timerForCM_->setObjectName(QStringLiteral("timerForCM"));
    timerForCM_->setInterval(400);
    connect(timerForCM_, &QTimer::timeout, this, [this] { timerForCMTimer(); });

    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    grid->setBeforeKeyDown(false);
    grid->setFixedCols(0);
    grid->setFixedRows(0);
    grid->setGridLineWidth(0);
    grid->setDefaultDrawing(false);
    grid->setOptions(0);
    grid->setScrollBars(controls::ScrollStyle::ssVertical);
    grid->setFocusPolicy(Qt::StrongFocus);
    grid->OnDrawCell = [this](QPainter& canvas, int col, int row, const QRect& rect,
                              controls::GridDrawState) { sgBrowserDrawCell(canvas, col, row, rect); };
    grid->OnSelectCell = [this](int col, int row, bool& canSelect) {
        sgBrowserSelectCell(col, row, canSelect);
    };
    grid->OnKeyDown = [this](int& key, Qt::KeyboardModifiers shift) { sgBrowserKeyDown(key, shift); };
    grid->OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers, bool doubleClick, int x,
                               int y) { sgBrowserMouseDown(button, doubleClick, x, y); };
    grid->OnMouseMove = [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers, int x, int y) {
        sgBrowserMouseMove(buttons, x, y);
    };
    grid->OnMouseUp = [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { timerForCM_->stop(); };
    grid->OnMouseWheel = [this](int delta, Qt::KeyboardModifiers modifiers, const QPoint&) {
        int key = delta < 0 ? Qt::Key_Down : Qt::Key_Up;
        ui_->sgBrowser->KeyDown(key, modifiers & ~Qt::KeyboardModifiers(Qt::ControlModifier));
        return true;
    };

    controls::TVYKHeader* header = ui_->sgTitle;
    header->setMainTable(grid);
    header->setImages(host_.UpDownImages());
    header->setColumnWidth(0);
    header->DefaultItemWidths = [this](int columnCount) { return defaultColumnWidths(columnCount); };
    for (int i = 0; i < 5; ++i) {
        controls::TVYKHeaderItem& item = header->HeaderItems().Add();
        item.setText(uiQText(kTextColumnName + i));
        item.setAllowDownState(i != 4);
    }
    header->OnchangeKindOfSort = [this](controls::TVYKHeader* sender) {
        SetKindOfSort(sender->HeaderItems().SortIndex());
    };
    header->OnResizeHeaders = [this](controls::TVYKHeader*) { sbFilesCommentResize(); };
    // One line of titles.
    const int headerHeight = std::max(core::GetFontHeight(header->font()) + 6, kMinRowHeight + 2);
    header->setDefaultRowHeight(headerHeight);
    header->setFixedHeight(headerHeight);

    controls::TVYKStatusBar* status = ui_->sbFilesComment;
    for (int i = 0; i < 5; ++i) {
        controls::TStatusPanel& panel = status->addPanel();
        panel.setText(uiQText(kTextColumnName + i));
        panel.setWidth(50);
    }
    status->setSimplePanel(true);
    status->OnResize = [this](controls::TVYKStatusBar*) { sbFilesCommentResize(); };

    connect(ui_->btnRUpOneLevel, &QToolButton::clicked, this, [this] { btnRUpOneLevelClick(); });
    connect(ui_->btnUpToOneLevel, &QToolButton::clicked, this, [this] { btnRUpOneLevelClick(); });
    connect(ui_->btnRJumpToRoot, &QToolButton::clicked, this, [this] { btnRJumpToRootClick(); });
    connect(ui_->btnRunToRoot, &QToolButton::clicked, this, [this] { btnRJumpToRootClick(); });
    connect(ui_->btnSendTobasket, &QToolButton::clicked, this, [this] { btnSendTobasketClick(); });

    ui_->pnlDisks->OnResize = [this] { host_.AlignToolPanelTop(); };
    // The address line is bold, in the caption colours.
    QFont addressFont = ui_->pnlAddressLine->font();
    addressFont.setBold(true);
    ui_->pnlAddressLine->setFont(addressFont);
    // A long path never widens the panel: the line shows it elided instead.
    ui_->pnlAddressLine->setSizePolicy(QSizePolicy::Ignored, ui_->pnlAddressLine->sizePolicy().verticalPolicy());
    ui_->pnlAddressLine->installEventFilter(this);
    ui_->pnlBrowserToolbar->installEventFilter(this);
    ui_->cmbDrives->installEventFilter(this);
    // The drive box's list: once it closes (a drive chosen or not), a box shown over the panel goes back.
    ui_->cmbDrives->view()->window()->installEventFilter(this);
    connect(ui_->cmbDrives, &QComboBox::activated, this, [this](int) {
        if (!comboKeysMoving_)
            SelectDrive(ui_->cmbDrives->currentIndex());
        comboKeysMoving_ = false;
    });

    focusConnection_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const bool wasMine = old != nullptr && isAncestorOf(old);
        const bool isMine = now != nullptr && isAncestorOf(now);
        if (isMine && !wasMine)
            CMEnter();
        else if (wasMine && !isMine)
            CMExit();
    });
    setFocusProxy(grid);
}

// ---- Settings --------------------------------------------------------------------------------

namespace {

constexpr std::int32_t kDefaultMode = 2;

std::int32_t validMode(std::int32_t value, std::int32_t last)
{
    return value >= 1 && value <= last ? value : kDefaultMode;
}

} // namespace

void TBrowserForm::LoadSettings(platform::IniFile& ini, std::string_view section)
{
    const std::uint32_t sortWord = filelist::MaskSortWord(static_cast<std::uint32_t>(
        ini.readInteger(section, "KindOfSort", std::int32_t(filelist::kSortDefault))));
    const std::string directory = platform::spelledOnDisk(ini.readString(section, "Directory", ""));
    BrowserMode_ =
        static_cast<std::uint8_t>(validMode(ini.readInteger(section, "BrowserMode", kDefaultMode), 4));
    OldBrowserMode_ = validMode(ini.readInteger(section, "OldBrowserMode", kDefaultMode), 4);
    BasketMode_ = validMode(ini.readInteger(section, "BasketMode", kDefaultMode), 2);
    ui_->sgTitle->setColumnWidth(ParseColumnsWidth(ini.readString(section, "ColumnsWidth", "0")));
    const std::string mask = ini.readString(section, "MaskFiles", "*.*");
    InitPanel(directory, mask.empty() ? std::string("*.*") : mask, sortWord);
}

std::uint32_t TBrowserForm::SaveSettings(platform::IniFile& ini, std::string_view section)
{
    return ini.update([&](platform::IniDocument& document) -> platform::WinError {
        const auto write = [&](std::string_view key, const std::string& value) {
            return document.writeString(section, key, value);
        };
        platform::WinError error = write("KindOfSort", std::to_string(listing_->sortWord));
        if (error == 0)
            error = write("BrowserMode", std::to_string(BrowserMode_));
        if (error == 0)
            error = write("OldBrowserMode", std::to_string(OldBrowserMode_));
        if (error == 0)
            error = write("BasketMode", std::to_string(BasketMode_));
        if (error == 0)
            error = write("ColumnsWidth", std::to_string(ui_->sgTitle->ColumnWidth()));
        if (error == 0)
            error = write("MaskFiles", platform::quotedIniValue(listing_->maskText));
        if (error == 0 && BrowserMode_ != kViewBasket && hasFolderOne(*listing_))
            error = write("Directory", platform::quotedIniValue(filelist::FolderPathAsStored(1, *listing_)));
        return error;
    });
}

void TBrowserForm::InitPanel(const std::string& directory, const std::string& mask, std::uint32_t sortWord)
{
    StopWorker();
    PaintingSuppressed suppressed(*this);
    const bool left = objectName() == QLatin1String("LeftBrowser");
    listing_ = left ? &LeftBrowserState : &RightBrowserState;
    basketView_ = left ? &filelist::LeftBasketState : &filelist::RightBasketState;
    const std::int32_t viewFlag = left ? filelist::kLeftBasketView : filelist::kRightBasketView;
    basketView_->mode = std::uint32_t(viewFlag);

    if (listing_->folders) {
        filelist::ReleaseStateItemIds(*listing_);
        filelist::FreeBrowserState(*listing_);
    }
    filelist::CreateBrowserState(*listing_, 1, 300, mask, 10000);
    listing_->sortWord = sortWord;
    basketView_->sortWord = sortWord;
    if (!filelist::BasketState.folders)
        filelist::CreateBasketState(filelist::BasketState);
    filelist::AttachStateToPanel(viewFlag, true, filelist::BasketState);

    // The listing is set up in every view, so that leaving the Basket view always finds one.
    if (!directory.empty() && platform::pathExists(directory) &&
        filelist::SetStateToPath(directory, *listing_))
        driveLetter_ = directory.front();
    else
        ensureListingExists();
    filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, *listing_);
    filelist::SortFolder(1, listing_->sortWord, *listing_);
    filelist::RecalcSelection(*listing_);
    if (BrowserMode_ == kViewBasket) {
        driveLetter_ = '*';
    } else {
        RememberDriveDirectory();
    }
    setAddressLine();
    cursor_ = 0;
    listing_->busy = 0;
    basketView_->busy = 0;
    UpdateDriveInfo();
    ui_->sgTitle->setKindOfSort(sortWord);
    ColumnOrder_ = 0x43210;
}

void TBrowserForm::ensureListingExists()
{
    const std::int32_t first = filelist::FirstReadyFixedDrive(filelist::DriveList);
    if (first >= 0 && filelist::SetStateToDrive(first, *listing_)) {
        driveLetter_ = filelist::DriveList[std::size_t(first)]->letter;
        return;
    }
    // No ready fixed drive: any ready drive will do.
    for (std::size_t i = 0; i < filelist::DriveList.size(); ++i) {
        if (filelist::DriveList[i]->letter != '*' && filelist::SetStateToDrive(std::int32_t(i), *listing_)) {
            driveLetter_ = filelist::DriveList[i]->letter;
            return;
        }
    }
}

void TBrowserForm::ApplyLanguage()
{
    ui_->btnSendTobasket->setText(uiQText(kTextSendToBasket));
    for (int i = 0; i < 5; ++i)
        ui_->sgTitle->HeaderItems().Items(i).setText(uiQText(kTextColumnName + i));
    for (int i = 0; i < 5; ++i)
        ui_->sbFilesComment->Panels(i).setText(uiQText(kTextColumnName + i));
    placeBasketInfo(BrowserMode_ == kViewBasket);
    UpdateHeader();
    ui_->sgTitle->viewport()->update();
}

void TBrowserForm::ApplyLayout(std::uint32_t layout)
{
    ui_->pnlDisks->layoutWord = layout;
    ui_->pnlDisks->setVisible((layout & kLayoutPanelDriveBars) != 0);
    ui_->sgTitle->setVisible((layout & kLayoutHeader) != 0);
    const bool combo = (layout & kLayoutDriveCombo) != 0;
    ui_->pnlBrowserToolbar->setVisible(combo);
    ui_->pnlSizeInfo->setVisible(!combo);
    ui_->pnlTwoButtons->setVisible(!combo);
    ui_->sbFilesComment->setVisible((layout & kLayoutStatusLine) != 0);
    ui_->pnlBottomButtons->setVisible((layout & kLayoutNoBasketLine) == 0);
    ui_->btnSendTobasket->setFlat((layout & kLayoutFlatSendToBasket) != 0);
    ui_->pnlAddressLine->setVisible((layout & kLayoutCurrentDirectory) != 0);
    // The bevel stands under the drive bar (the layout puts it there) or at the top.
    ui_->SspRMain->setVisible((layout & kLayoutSharedDriveBar) == 0);
    ArrangeDriveBar(*ui_->pnlDisks);
}

void TBrowserForm::AdjustBarHeights()
{
    const int button = core::GetFontHeight(ui_->btnSendTobasket->font()) * 3 / 2;
    const int status = core::GetFontHeight(ui_->sbFilesComment->font()) * 3 / 2;
    ui_->btnSendTobasket->setFixedHeight(button);
    ui_->pnlBottomButtons->setFixedHeight(button);
    ui_->lblBasketInfo->setFixedHeight(button);
    ui_->sbFilesComment->setFixedHeight(status);
}

// ---- Header, views and sort ------------------------------------------------------------------

void TBrowserForm::UpdateHeader()
{
    const bool full = BrowserMode_ == kViewFull || (BrowserMode_ == kViewBasket && BasketMode_ == 2);
    if (full) {
        ui_->sgTitle->setColCount(5);
        ui_->sgBrowser->setColCount(5);
        ui_->sgTitle->setHeaderMode(controls::THeaderMode::hmFull);
    } else {
        ui_->sgTitle->setColCount(4);
        ui_->sgTitle->setHeaderMode(controls::THeaderMode::hmBrief);
    }
    ui_->sgTitle->UpdateItemWidths();
}

void TBrowserForm::UpdateViewButtons()
{
    const bool jump = BrowserMode_ == kViewBrief || BrowserMode_ == kViewFull;
    ui_->btnRunToRoot->setEnabled(jump);
    ui_->btnUpToOneLevel->setEnabled(jump);
    ui_->btnRJumpToRoot->setEnabled(jump);
    ui_->btnRUpOneLevel->setEnabled(jump);
    const bool briefDown = BrowserMode_ == kViewBrief || (BrowserMode_ == kViewBasket && BasketMode_ == 1);
    const bool fullDown = BrowserMode_ == kViewFull || (BrowserMode_ == kViewBasket && BasketMode_ == 2);
    host_.UpdateViewButtons(jump, briefDown, fullDown);
}

void TBrowserForm::SetBrowserMode(std::int32_t mode)
{
    if (mode == BrowserMode_)
        return;
    if (BrowserMode_ != kViewBasket)
        OldBrowserMode_ = BrowserMode_;
    BrowserMode_ = mode;
    if (mode == kViewBasket && basketView_->sortWord != listing_->sortWord) {
        basketView_->sortWord = listing_->sortWord;
        filelist::SortAllFolders(*basketView_);
    }
    if (mode == kViewBrief) {
        ui_->sgBrowser->setRowCount(1);
        if (listing_->folderCount > 1)
            listing_->folderCount = 1;
    } else if (mode == kViewFull && listing_->folderCount > 1) {
        listing_->folderCount = 1;
    }
    UpdateHeader();
    UpdateGrid();
    if (isVisible())
        ui_->sgBrowser->setFocus();
    UpdateViewButtons();
}

void TBrowserForm::SetKindOfSort(std::int32_t column)
{
    filelist::TstateOfBrowser& list = BrowserMode_ == kViewBasket ? *basketView_ : *listing_;
    const std::int32_t current = std::int32_t(list.sortWord & 7);
    if (column == -1)
        column = current;
    std::uint32_t word = 0;
    if (column == current) {
        word = list.sortWord ^ filelist::kSortDescending;
    } else {
        switch (column) {
        case 1:
            word = 1;
            break;
        case 2:
            word = 0x42;
            break;
        case 3:
            word = 0x43;
            break;
        default:
            word = 8;
            break;
        }
    }
    list.sortWord = word;
    if (BrowserMode_ == kViewBasket)
        listing_->sortWord = word;
    ui_->sgTitle->setKindOfSort(word);
    // The arrow moves to another title, which may need more room.
    ui_->sgTitle->UpdateItemWidths();
    {
        core::HourglassCursor hourglass;
        std::string name;
        const bool ownList = BrowserMode_ == kViewBrief || BrowserMode_ == kViewFull;
        if (ownList)
            GetItemNameAt(cursor_, name);
        filelist::SortAllFolders(list);
        if (ownList)
            PlaceCursorOnName(name);
        PositionCursor(cursor_, -1, -1);
    }
    ui_->sgBrowser->InvalidateGrid();
}

void TBrowserForm::StopWorker()
{
    filelist::StopIconReader(iconThread_);
}

// ---- Layout of the grid ----------------------------------------------------------------------

void TBrowserForm::UpdateGrid()
{
    PaintingSuppressed suppressed(*this);
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    QFont& font = browserFont();
    grid->setColor(mainColor(kSlotBackground));
    grid->setScrollBars(BrowserMode_ == kViewBrief ? controls::ScrollStyle::ssHorizontal
                                                   : controls::ScrollStyle::ssVertical);
    grid->setFont(font);
    int tgWidth = 0;
    core::GetTextSize(font, "Tg", tgWidth, textHeight_);
    const int rowHeight = std::max(textHeight_, kMinRowHeight);
    if (grid->DefaultRowHeight() != rowHeight)
        grid->setDefaultRowHeight(rowHeight);

    if ((BrowserMode_ == kViewBrief || BrowserMode_ == kViewFull) && hasFolderOne(*listing_))
        listing_->rowCount = folderOneCount(*listing_) + (filelist::GetFolderDepth(1, *listing_) > 0 ? 1 : 0);
    else if (!hasFolderOne(*listing_))
        listing_->rowCount = 0;

    if (BrowserMode_ != kViewBasket && ui_->btnSendTobasket->isHidden())
        placeBasketInfo(false);
    switch (BrowserMode_) {
    case kViewTree:
        treeRows_ = filelist::CountExpandedItems(*listing_);
        grid->setOptions(controls::goRowSelect);
        grid->setColCount(1);
        grid->setColWidths(0, grid->viewport()->width());
        grid->setRowCount(treeRows_);
        cursor_ = std::clamp(cursor_, 0, std::max(0, treeRows_ - 1));
        PositionCursor(cursor_, -1, -1);
        UpdateStatusLine(cursor_ + 1);
        break;
    case kViewBasket:
        layoutBasket();
        break;
    case kViewFull:
        if (listing_->folderCount > 0)
            listing_->folderCount = 1;
        armGrid();
        grid->setCol(0);
        grid->setOptions(controls::goRowSelect);
        grid->setColCount(5);
        grid->setRowCount(listing_->rowCount);
        ui_->sgTitle->UpdateItemWidths();
        PositionCursor(cursor_, -1, -1);
        UpdateStatusLine(cursor_ + 1);
        break;
    default:
        layoutBrief();
        break;
    }
}

void TBrowserForm::layoutBasket()
{
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    placeBasketInfo(true);
    armGrid();
    grid->setCol(0);
    grid->setOptions(controls::goRowSelect);
    if (BasketMode_ == 1) {
        grid->setColCount(1);
        grid->setColWidths(0, grid->viewport()->width());
        core::HourglassCursor hourglass;
        if (!basketView_->savedFolders) {
            filelist::BeginFlatView(*basketView_, basketView_->itemCount);
            filelist::SortAllFolders(*basketView_);
        }
    } else {
        grid->setColCount(5);
        if (basketView_->savedFolders) {
            filelist::EndFlatView(*basketView_);
            filelist::SortAllFolders(*basketView_);
        }
        ui_->sgTitle->UpdateItemWidths();
    }
    UpdateBasketInfo();
    grid->setRowCount(basketRows_ > 0 ? basketRows_ : 3);
    PositionCursor(cursor_, -1, -1);
    UpdateStatusLine(cursor_ + 1);
}

void TBrowserForm::layoutBrief()
{
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    if (listing_->folderCount > 0)
        listing_->folderCount = 1;
    const QFontMetrics metrics(browserFont());
    // Measuring every name is the slow part of a large folder's layout: the widest name is kept for
    // the same names in the same font (a hash of the names is far cheaper than measuring them).
    std::uint64_t namesHash = 14695981039346656037ull;
    std::int32_t count = 0;
    if (hasFolderOne(*listing_)) {
        filelist::StateAccess access(*listing_);
        count = access.Folder(1).count;
        for (std::int32_t position = 1; position <= count; ++position) {
            for (const char c : access.Name(*access.ItemAt(1, position)))
                namesHash = (namesHash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            namesHash = (namesHash ^ 0xFF) * 1099511628211ull;
        }
    }
    const QString fontKey = browserFont().key();
    if (namesHash != briefWidthCache_.namesHash || count != briefWidthCache_.count ||
        fontKey != briefWidthCache_.fontKey) {
        int widest = textWidth(metrics, QStringLiteral("12345678.123"));
        if (count > 0) {
            filelist::StateAccess access(*listing_);
            for (std::int32_t position = 1; position <= count; ++position)
                widest =
                    std::max(widest, textWidth(metrics, shown(access.Name(*access.ItemAt(1, position)))));
        }
        briefWidthCache_ = {namesHash, count, fontKey, widest};
    }
    const int width = briefWidthCache_.widest + textWidth(metrics, QStringLiteral("[]")) + 20;
    briefColumnWidth_ = width;

    const int rowHeight = grid->DefaultRowHeight();
    const int edge = systemEdgeHeight();
    const std::int32_t rows = listing_->rowCount;
    int gridRows = std::max(1, (grid->height() - 2 * edge) / rowHeight);
    int columns = std::max(1, (rows + gridRows - 1) / gridRows);
    if (grid->width() - 2 * edge < columns * width) {
        gridRows = std::max(1, (grid->height() - scrollArrowHeight() - 2 * edge - 2 * edge) / rowHeight);
        columns = std::max(1, (rows + gridRows - 1) / gridRows);
    }
    grid->setOptions(0);
    grid->setRowCount(gridRows);
    grid->setColCount(columns);
    grid->setDefaultColWidth(width);
    {
        // Painting resumes before the cursor is placed.
        const int saved = paintingSuppressed_;
        paintingSuppressed_ = 0;
        PositionCursor(cursor_, -1, -1);
        std::int32_t folder = 0;
        std::int32_t position = 0;
        if (CursorToItem(folder, position))
            UpdateStatusLine(cursor_ + 1);
        paintingSuppressed_ = saved;
    }
}

// ---- Drawing ---------------------------------------------------------------------------------

bool TBrowserForm::isCursorCell(int col, int row) const
{
    const controls::TWUXStringGrid* grid = ui_->sgBrowser;
    const bool focused = grid->hasFocus() || host_.ActiveForm() == this;
    if (!focused || row != grid->Row())
        return false;
    return BrowserMode_ != kViewBrief || col == grid->Col();
}

void TBrowserForm::drawIcon(QPainter& canvas, std::int32_t icon, int x, const QRect& rect)
{
    const int y = rect.top() + (ui_->sgBrowser->DefaultRowHeight() - kIconSize) / 2;
    if (icon >= 0) {
        const QIcon image = platform::shell::systemIcon(icon);
        if (!image.isNull())
            canvas.drawPixmap(x, y, image.pixmap(16, 16));
    } else if (icon < -1) {
        // A negative index i stands for image -i - 1 of the program's own list (-2: none of it).
        if (controls::TImageList* images = host_.ImageListBrowser())
            images->Draw(canvas, x, y, -icon - 1);
    }
}

void TBrowserForm::sgBrowserDrawCell(QPainter& canvas, int col, int row, const QRect& rect)
{
    if (paintingSuppressed_ > 0)
        return;
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    canvas.setFont(browserFont());
    const QColor background = mainColor(kSlotBackground);
    const std::int32_t index = BrowserMode_ == kViewBrief ? col * grid->RowCount() + row : row;

    const bool basket = BrowserMode_ == kViewBasket;
    bool empty = false;
    if (BrowserMode_ == kViewBrief || BrowserMode_ == kViewFull)
        empty = index >= listing_->rowCount;
    else if (BrowserMode_ == kViewTree)
        empty = treeRows_ == 0 || row >= treeRows_;
    else
        empty = basketRows_ == 0 || row >= basketRows_;
    if (empty) {
        canvas.fillRect(rect, background);
        if (basket && basketView_->itemCount == 0) {
            // One line across the grid: every empty cell draws its part of it.
            canvas.setPen(mainColor(kSlotFont));
            const QString text = uiQText(kTextNoBasketItems);
            const int width = grid->viewport()->width();
            const int x = (width - canvas.fontMetrics().horizontalAdvance(text)) / 2;
            canvas.drawText(QPoint(x, 10 + canvas.fontMetrics().ascent()), text);
        }
        return;
    }

    const bool cursor = isCursorCell(col, row);
    QColor fontColor = cursor ? mainColor(kSlotCursorFont) : mainColor(kSlotFont);
    const QColor fill = cursor ? mainColor(kSlotCursor) : background;

    if (BrowserMode_ == kViewTree) {
        drawTreeCell(canvas, row, rect, fontColor, fill);
        return;
    }

    filelist::TstateOfBrowser& list = basket ? *basketView_ : *listing_;
    std::int32_t folder = 0;
    std::int32_t position = 0;
    if (basket)
        filelist::RowToItem(row + 1, BasketMode_ == 2, folder, list, position);
    else
        rowToItem(index, folder, position);
    if (position > 0 && filelist::IsItemSelected(folder, position, list))
        fontColor = mainColor(kSlotMark);

    const int y = rect.top() + (grid->DefaultRowHeight() - textHeight_) / 2;
    const QFontMetrics& metrics = canvas.fontMetrics();
    // Texts that do not fit are elided, never cut: a cut number could read as another one.
    // A cell whose text is elided keeps the whole text as its tooltip.
    const auto drawText = [&](const QRect& area, int x, const QString& text, bool opaque,
                              Qt::TextElideMode mode = Qt::ElideRight) {
        if (opaque)
            canvas.fillRect(area, fill);
        canvas.setPen(fontColor);
        const int room = std::max(0, area.right() - x + 1);
        const QString fitted = controls::FitCellText(metrics, text, room, mode);
        if (fitted != text)
            grid->noteElidedCellText(col, row, text);
        canvas.drawText(QRect(x, y, room, textHeight_), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                        fitted);
    };
    // A size ends kSizeRightMargin before the cell's right edge and starts no further left than a
    // left-aligned text would.
    const auto drawRight = [&](const QRect& area, int left, const QString& text) {
        const int right = area.right() + 1 - kSizeRightMargin;
        const QString fitted = controls::FitCellText(metrics, text, std::max(0, right - left));
        drawText(area, right - metrics.horizontalAdvance(fitted), fitted, true);
        if (fitted != text)
            grid->noteElidedCellText(col, row, text);
    };
    // A date too wide for its cell shows the day alone, without the time, or in a narrower cell the
    // compact day ("7.12.26"), rather than lose its year.
    const auto drawDate = [&](const QRect& area, int x, const QString& text) {
        const int room = area.right() - x + 1;
        QString shownDate = text;
        for (const std::int32_t shorter : {filelist::kColumnDay, filelist::kColumnCompactDay}) {
            if (metrics.horizontalAdvance(shownDate) <= room)
                break;
            std::string day;
            filelist::GetCellText(shorter, folder, position, day, list);
            shownDate = shown(day);
        }
        drawText(area, x, shownDate, true);
        if (shownDate != text)
            grid->noteElidedCellText(col, row, text);
    };
    const auto columnKind = [&](int column) { return std::int32_t((ColumnOrder_ >> (4 * column)) & 0xF); };
    std::string text;

    if (basket) {
        if (BasketMode_ == 2 && position == 0) {
            // A folder's header row: its path across the whole grid, in green.
            if (col != 0)
                return;
            QRect wide = rect;
            wide.setRight(grid->viewport()->width() - 1);
            canvas.setClipRect(wide);
            if (!cursor)
                fontColor = QColor::fromRgb(kHeaderRowGreen);
            drawText(wide, wide.left() + 1 + kIconRoom,
                     shown(filelist::FolderPathAsStored(folder, list) + "\\"), true, Qt::ElideMiddle);
            drawIcon(canvas, filelist::ItemIconIndexNow(folder, 0, list), wide.left(), wide);
            return;
        }
        int x = rect.left() + 1 + (col == 0 ? kIconRoom : 0);
        if (BasketMode_ == 1) {
            std::string location;
            filelist::GetCellText(filelist::kColumnLocation, folder, position, location, list);
            filelist::GetCellText(filelist::kColumnFullName, folder, position, text, list);
            drawText(rect, x, shown(location + "\\" + text), true, Qt::ElideMiddle);
        } else {
            const std::int32_t kind = columnKind(col);
            filelist::GetCellText(kind, folder, position, text, list);
            const QString shownText = shown(text);
            if (kind == filelist::kColumnSize)
                drawRight(rect, x, shownText);
            else if (kind == filelist::kColumnDate)
                drawDate(rect, x, shownText);
            else
                drawText(rect, x, shownText, true);
        }
        if (col == 0)
            drawIcon(canvas, filelist::ItemIconIndexNow(folder, position, list), rect.left(), rect);
        if (BasketMode_ == 1 && cursor && list.selectedCount == 0)
            UpdateStatusLine(row + 1);
        return;
    }

    // Brief and full views.
    const bool brief = BrowserMode_ == kViewBrief;
    const std::int32_t kind = brief ? std::int32_t(filelist::kColumnName) : columnKind(col);
    filelist::GetCellText(kind, folder, position, text, list);
    const QString shownText = shown(text);
    const int x = rect.left() + 2 + ((col == 0 || brief) ? kIconRoom : 0);
    if (!brief && kind == filelist::kColumnSize)
        drawRight(rect, x, shownText);
    else if (!brief && kind == filelist::kColumnDate)
        drawDate(rect, x, shownText);
    else
        drawText(rect, x, shownText, true);
    if (brief) {
        std::string extension;
        filelist::GetCellText(filelist::kColumnExtension, folder, position, extension, list);
        if (!extension.empty()) {
            const QString shownExtension = shown(extension);
            const int ex =
                x - kBriefExtensionMargin + grid->ColWidths(col) - metrics.horizontalAdvance(shownExtension);
            canvas.setPen(fontColor);
            canvas.drawText(QRect(ex, y, rect.right() - ex + 1, textHeight_),
                            Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shownExtension);
        }
    }
    if (col == 0 || brief)
        drawIcon(canvas, filelist::ItemIconIndex(folder, position, list, this, iconThread_), rect.left(),
                 rect);
    if (brief && cursor && list.selectedCount == 0)
        UpdateStatusLine(index + 1);
}

void TBrowserForm::drawTreeCell(QPainter& canvas, int row, const QRect& rect, const QColor& fontColor,
                                const QColor& background)
{
    std::int32_t folder = 0;
    std::int32_t position = 0;
    filelist::TreeRowToItem(row + 1, folder, position, *listing_);
    canvas.fillRect(rect, background);
    if (position < 1)
        return;
    QColor color = fontColor;
    if (filelist::IsItemSelected(folder, position, *listing_))
        color = mainColor(kSlotMark);
    std::string text;
    std::int32_t depth = 0;
    filelist::GetTreeRowText(folder, position, text, *listing_, depth);
    const int y = rect.top() + (ui_->sgBrowser->DefaultRowHeight() - textHeight_) / 2;
    canvas.setPen(color);
    const int textX = rect.left() + 33 + kTreeIndent * depth;
    const int room = std::max(0, rect.right() - textX + 1);
    canvas.drawText(QRect(textX, y, room, textHeight_), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    controls::FitCellText(canvas.fontMetrics(), shown(text), room));
    drawIcon(canvas, filelist::ItemIconIndex(folder, position, *listing_, this, iconThread_),
             rect.left() + kTreeIndent + kTreeIndent * depth, rect);

    // Connector lines: the row's own level, then every ancestor that has items after it.
    canvas.setPen(mainColor(kSlotFont));
    const int half = y + textHeight_ / 2;
    filelist::StateAccess access(*listing_);
    const auto isLastOfFolder = [&](std::int32_t itemFolder, std::uint32_t itemIndex) {
        if (!access.HasFolder(itemFolder))
            return true;
        const filelist::TBrowserFolder& record = access.Folder(itemFolder);
        if (record.count <= 0)
            return true;
        return access.IndexAt(itemFolder, record.count) == std::int32_t(itemIndex);
    };
    const std::int32_t ownIndex = access.IndexAt(folder, position);
    std::int32_t currentFolder = folder;
    std::uint32_t currentIndex = std::uint32_t(std::max(ownIndex, 0));
    for (std::int32_t level = depth; level >= 0; --level) {
        const int lx = rect.left() + kTreeIndent * level + 7;
        if (level == depth) {
            core::DrawLine(canvas, lx, half, lx + 7, half);
            const bool more = !isLastOfFolder(currentFolder, currentIndex);
            core::DrawLine(canvas, lx, rect.top(), lx, more ? half + textHeight_ : half);
        } else if (!isLastOfFolder(currentFolder, currentIndex)) {
            core::DrawLine(canvas, lx, rect.top(), lx, rect.bottom());
        }
        // One level up: the tree entry that holds the current folder.
        if (!access.HasFolder(currentFolder))
            break;
        const std::uint32_t parentItem = access.Folder(currentFolder).flags & filelist::kFolderParentItemMask;
        if (parentItem == 0)
            break;
        currentIndex = parentItem - 1;
        currentFolder = access.items[currentIndex].folder;
    }
}

// ---- Lines under and above the grid ----------------------------------------------------------

void TBrowserForm::UpdateStatusLine(std::int32_t position)
{
    controls::TVYKStatusBar* status = ui_->sbFilesComment;
    const bool basket = BrowserMode_ == kViewBasket;
    filelist::TstateOfBrowser& list = basket ? *basketView_ : *listing_;
    std::int32_t folder = 0;
    std::int32_t itemPosition = 0;
    bool itemForm = false;
    if (list.selectedCount == 0 && position > 0) {
        if (BrowserMode_ == kViewBrief && position <= listing_->rowCount) {
            itemForm = rowToItem(position - 1, folder, itemPosition);
        } else if (basket && BasketMode_ == 1 && basketRows_ > 0) {
            filelist::RowToItem(ui_->sgBrowser->Row() + 1, false, folder, list, itemPosition);
            itemForm = folder > 0;
        }
    }
    if (itemForm) {
        status->setSimplePanel(false);
        for (int kind = 0; kind < 5; ++kind) {
            std::string text;
            filelist::GetCellText(kind, folder, itemPosition, text, list);
            status->Panels(kind).setText(shown(text));
        }
        return;
    }
    status->setSimplePanel(true);
    status->setSimpleText(QString::fromStdString(
        core::formatUiText(kTextSelectionSummary,
                           {core::FormatSize(list.selectedBytes / 1024),
                            core::FormatSize(list.totalBytes / 1024), list.selectedFiles, list.fileCount})));
}

void TBrowserForm::UpdateBasketInfo()
{
    basketRows_ = basketView_->itemCount;
    const QString text = QString::number(basketView_->itemCount) + uiQText(kTextFilesInBasket);
    for (TBrowserForm* panel : livePanels()) {
        panel->ui_->lblBasketInfo->setText(text);
        panel->ui_->lblBasketInfo->adjustSize();
        panel->ui_->lblBasketInfo->setFixedHeight(panel->ui_->pnlBottomButtons->height());
    }
    if (BasketMode_ == 2)
        basketRows_ += basketView_->folderCount;
}

void TBrowserForm::placeBasketInfo(bool basket)
{
    controls::TSpeedButtonNew* button = ui_->btnSendTobasket;
    const QFontMetrics metrics(button->font());
    button->resize(metrics.horizontalAdvance(button->text()) + 16, button->height());
    button->setVisible(!basket);
    ui_->lblBasketInfo->move(basket ? 3 : button->geometry().right() + 1 + 5, ui_->lblBasketInfo->y());
}

void TBrowserForm::UpdateDriveInfo()
{
    QString freeText;
    if (driveLetter_ != '\\' && driveLetter_ != '*') {
        std::uint64_t freeBytes = 0;
        std::uint64_t totalBytes = 0;
        std::uint64_t totalFree = 0;
        if (platform::diskFreeSpace(std::string(1, driveLetter_) + ":\\", freeBytes, totalBytes, totalFree) ==
            0)
            freeText = QString::fromStdString(core::formatUiText(
                kTextFreeSpace, {core::FormatSize(freeBytes / 1024), core::FormatSize(totalBytes / 1024)}));
    }
    freeText_ = freeText;
    showFreeText();
    const std::int32_t index = filelist::FindDriveIndex(driveLetter_, filelist::DriveList);
    QString name;
    if (index >= 0 && std::size_t(index) < filelist::DriveList.size())
        name = QString::fromStdString(filelist::DriveList[std::size_t(index)]->Name());
    driveInfo_ = QStringLiteral("[") + name + QStringLiteral("]  ") + freeText;
    ui_->pnlSizeInfo->setText(driveInfo_);
    const int width = ui_->pnlSizeInfo->fontMetrics().horizontalAdvance(driveInfo_) + 8;
    ui_->pnlSizeInfo->resize(width, ui_->pnlSizeInfo->height());
    if (host_.ActiveForm() == this)
        host_.ShowDriveInfo(driveInfo_, width);
    ArrangeDriveBar(*ui_->pnlDisks);
}

void TBrowserForm::setAddressLine()
{
    // A path longer than the line loses its middle, never its end with the folder and mask.
    QLabel* line = ui_->pnlAddressLine;
    const QString text = AddressText();
    line->setText(controls::FitCellText(line->fontMetrics(), text, line->contentsRect().width(), Qt::ElideMiddle));
    line->setToolTip(line->text() == text ? QString() : text);
}

QString TBrowserForm::AddressText() const
{
    if (BrowserMode_ == kViewBasket)
        return uiQText(kTextBasket);
    if (!hasFolderOne(*listing_))
        return {};
    return shown(filelist::FolderPathAsStored(1, *listing_) + "\\" + listing_->maskText);
}

std::vector<controls::ColumnWant> TBrowserForm::defaultColumnWidths(int columnCount) const
{
    std::array<QString, 5> titles;
    for (int i = 0; i < 5; ++i)
        titles[std::size_t(i)] = ui_->sgTitle->HeaderItems().Count() > i ? ui_->sgTitle->HeaderItems().Items(i).Text()
                                                                        : QString();
    int sortedKind = -1;
    for (int i = 0; i < ui_->sgTitle->HeaderItems().Count() && i < 5; ++i)
        if (ui_->sgTitle->HeaderItems().Items(i).Down())
            sortedKind = int((ColumnOrder_ >> (4 * i)) & 0xF);
    const controls::TImageList* images = ui_->sgTitle->Images();
    const std::array<controls::ColumnWant, 5> kinds =
        ColumnKindWidths(browserFont(), ui_->sgTitle->font(), titles, images ? images->Width() : 0, sortedKind);
    std::vector<controls::ColumnWant> wants;
    for (int column = 0; column < columnCount; ++column)
        wants.push_back(kinds[std::size_t((ColumnOrder_ >> (4 * column)) & 0xF) % kinds.size()]);
    return wants;
}

void TBrowserForm::sbFilesCommentResize()
{
    controls::TVYKStatusBar* status = ui_->sbFilesComment;
    const std::int64_t stored = ui_->sgTitle->ColumnWidth();
    const std::vector<int> widths =
        stored != 0 ? controls::headerColumnWidths(stored, 5, status->width(), status->width(), false)
                    : controls::defaultColumnWidths(defaultColumnWidths(5), status->width());
    for (int i = 0; i < 4 && i < int(widths.size()); ++i)
        status->Panels(i).setWidth(widths[std::size_t(i)]);
}

void TBrowserForm::pnlBrowserToolbarResize()
{
    QWidget* toolbar = ui_->pnlBrowserToolbar;
    const int comboWidth = ui_->cmbDrives->width();
    const int width =
        toolbar->isVisible() ? toolbar->width() - comboWidth - ui_->pnlRightJumpButtons->width() - 20 : 400;
    ui_->pnlInfo->setGeometry(comboWidth + 10, ui_->pnlInfo->y(), std::max(0, width), ui_->pnlInfo->height());
    ui_->pnlRightJumpButtons->move(toolbar->width() - ui_->pnlRightJumpButtons->width() - 2,
                                   ui_->pnlRightJumpButtons->y());
    showFreeText();
}

void TBrowserForm::showFreeText()
{
    // Figures that do not fit are elided, never cut: a cut figure reads as another one.
    QLabel* info = ui_->pnlInfo;
    const QString shownText = controls::FitCellText(info->fontMetrics(), freeText_, info->contentsRect().width());
    info->setText(shownText);
    info->setToolTip(shownText == freeText_ ? QString() : freeText_);
}

// ---- Focus -----------------------------------------------------------------------------------

void TBrowserForm::CMEnter()
{
    UpdateViewButtons();
    host_.SyncSharedDriveButtons(*this);
    host_.SetActiveForm(this);
    const int width = ui_->pnlSizeInfo->fontMetrics().horizontalAdvance(driveInfo_) + 8;
    ui_->pnlSizeInfo->setText(driveInfo_);
    ui_->pnlSizeInfo->resize(width, ui_->pnlSizeInfo->height());
    host_.ShowDriveInfo(driveInfo_, width);
    ArrangeDriveBar(*ui_->pnlDisks);
    QPalette palette = ui_->pnlAddressLine->palette();
    palette.setColor(QPalette::Window, controls::sysColor(controls::SysColor::ActiveCaption));
    palette.setColor(QPalette::WindowText, controls::sysColor(controls::SysColor::CaptionText));
    ui_->pnlAddressLine->setPalette(palette);
    ui_->sgBrowser->viewport()->update();
}

void TBrowserForm::CMExit()
{
    QPalette palette = ui_->pnlAddressLine->palette();
    palette.setColor(QPalette::Window, controls::sysColor(controls::SysColor::InactiveCaption));
    palette.setColor(QPalette::WindowText, controls::sysColor(controls::SysColor::InactiveCaptionText));
    ui_->pnlAddressLine->setPalette(palette);
    ui_->sgBrowser->viewport()->update();
}

// ---- Drive controls --------------------------------------------------------------------------

void TBrowserForm::RebuildDriveControls()
{
    QComboBox* box = ui_->cmbDrives;
    const QSignalBlocker blocker(box);
    box->clear();
    int widest = 0;
    const QFontMetrics metrics(box->font());
    for (const auto& drive : filelist::DriveList) {
        const QString text = DriveBoxItemText(*drive);
        box->addItem(text);
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    box->resize(widest + 25 + box->style()->pixelMetric(QStyle::PM_ScrollBarExtent), box->height());
    ui_->pnlBrowserToolbar->setFixedHeight(box->height() + 1);
    box->setMaxVisibleItems(std::max(1, int(filelist::DriveList.size())));
    const std::int32_t current = filelist::FindDriveIndex(driveLetter_, filelist::DriveList);
    box->setCurrentIndex(current);
    BuildDriveButtons(*ui_->pnlDisks, current, host_.ImageListBrowser2(), host_.FavoritesMenu(),
                      [this](int tag) { btnSetDrive(tag); });
    pnlBrowserToolbarResize();
}

void TBrowserForm::pressDriveButtons(std::int32_t driveIndex)
{
    if (controls::TSpeedButtonNew* button = ui_->pnlDisks->DriveButton(driveIndex))
        button->setDown(true);
    host_.PressSharedDriveButton(driveIndex);
}

// ---- filelist::IBrowserPanel -----------------------------------------------------------------

void TBrowserForm::SelectCursorItem(std::int32_t action)
{
    SelectCurrentItem(false, action);
}

void TBrowserForm::Repaint()
{
    ui_->sgBrowser->viewport()->update();
}

std::string TBrowserForm::MainCaption() const
{
    return host_.MainCaption();
}

// ---- Events ----------------------------------------------------------------------------------

void TBrowserForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // FormResize: the grid is laid out again for the new size.
    if (listing_->folders) {
        armGrid();
        UpdateGrid();
        ui_->sgBrowser->InvalidateGrid();
    }
    host_.AlignToolPanelTop();
}

bool TBrowserForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->pnlAddressLine && event->type() == QEvent::MouseButtonPress) {
        pnlAddressLineClick();
        return false;
    }
    if (watched == ui_->pnlAddressLine && event->type() == QEvent::Resize) {
        setAddressLine();
        return false;
    }
    if (watched == ui_->pnlBrowserToolbar &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        pnlBrowserToolbarResize();
        return false;
    }
    if (watched == ui_->cmbDrives) {
        if (event->type() == QEvent::KeyPress) {
            return cmbDrivesKeyDown(static_cast<QKeyEvent*>(event));
        }
        if (event->type() == QEvent::KeyRelease)
            comboKeysMoving_ = false;
        // Dropping its own list down moves the keyboard into the list: the box is not left.
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
            !ui_->cmbDrives->view()->isVisible())
            cmbDrivesExit();
    }
    if (event->type() == QEvent::Hide && watched == ui_->cmbDrives->view()->window())
        QTimer::singleShot(0, this, [this] { drivePopupClosed(); });
    return QWidget::eventFilter(watched, event);
}

} // namespace wux::mainwindow
