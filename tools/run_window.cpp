#include "tools/run_window.h"

#include "ui_TViewRenReplacer.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QStyle>
#include <QHelpEvent>
#include <QToolTip>

#include <limits>

#include "controls/grid_cell_painter.h"
#include "controls/wux_string_grid.h"
#include "core/display_helpers.h"
#include "core/text_table.h"
#include "engines/rename_thread.h"
#include "engines/replace_threads.h"
#include "platform/dialogs.h"
#include "platform/thread.h"
#include "tools/key_preview.h"
#include "tools/tool_host.h"

namespace wux::tools {

namespace {

// General texts of the window.
constexpr int kTextUnchanged = 9;
constexpr int kTextFailed = 10;
constexpr int kTextSuccessful = 11;
constexpr int kTextNotFound = 12;
constexpr int kTextNotSupported = 13;
constexpr int kTextCompleted = 14;
constexpr int kTextAbortQuestion = 18;
constexpr int kTextName = 84;
constexpr int kTextAllFiles = 135; // .. 138 "All failed"
constexpr int kTextNumberOfFiles = 139;
constexpr int kTextSizeBefore = 140; // .. 144 "Status"
constexpr int kTextStatus = 144;
constexpr int kTextProtected = 149;
constexpr int kTextAborted = 152;

constexpr QChar kRedMark(1);
constexpr QChar kGreenMark(2);

// Grid settings of the window.
constexpr int kInfoColWidth = 75;
constexpr int kStatusColWidth = 90;
constexpr int kGridRowHeight = 18;
constexpr int kEdgeWidth = 2; // a sunken client edge
constexpr int kButtonGap = 9;
constexpr int kCellPadding = 16; // the cell painter's margins around a text

QString text(int id)
{
    return QString::fromStdString(core::uiText(id));
}

QString sizeText(std::int64_t value)
{
    return QString::fromStdString(core::FormatSignedSize(value));
}

// a + b, held at the largest value instead of overflowing (sizes are never negative here).
std::int64_t addSize(std::int64_t a, std::int64_t b)
{
    if (b > 0 && a > std::numeric_limits<std::int64_t>::max() - b)
        return std::numeric_limits<std::int64_t>::max();
    return a + b;
}

// Whether a status text belongs to the rows of a filter (Tag 0 all, 1 successful, 2 unchanged, 3 failed).
bool fitsFilter(const QString& status, int tag)
{
    if (tag == 0)
        return true;
    if (status.isEmpty())
        return false;
    const QChar last = status.back();
    switch (tag) {
    case 1:
        return last == kGreenMark;
    case 2:
        return last != kRedMark && last != kGreenMark;
    case 3:
        return last == kRedMark;
    default:
        return false;
    }
}

// A picture of the program's glyphs ("BTNHLP") when it has one, else the style's icon.
QIcon glyph(const QWidget& widget, const char* name, QStyle::StandardPixmap fallback)
{
    const QString file = QStringLiteral(":/images/%1.png").arg(QLatin1String(name));
    return QFile::exists(file) ? QIcon(file) : widget.style()->standardIcon(fallback);
}

// The Cancel button's glyph: while the run goes a red stop sign (Cancel stops the run), after its
// end a dark cross (Cancel closes the window). The program's glyph file when it has one.
QIcon cancelGlyph(bool running)
{
    const QString file = QStringLiteral(":/images/%1.png").arg(running ? "BTNSTOP" : "BTNCANCEL");
    if (QFile::exists(file))
        return QIcon(file);
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        if (running) {
            // An octagon in red with a white bar across.
            QPolygonF octagon;
            for (const QPointF& corner : {QPointF(5, 1), QPointF(11, 1), QPointF(15, 5), QPointF(15, 11),
                                          QPointF(11, 15), QPointF(5, 15), QPointF(1, 11), QPointF(1, 5)})
                octagon << corner * unit;
            painter.setPen(QPen(QColor(0x80, 0, 0), unit));
            painter.setBrush(QColor(0xD0, 0x20, 0x20));
            painter.drawPolygon(octagon);
            painter.fillRect(QRectF(4 * unit, 7 * unit, 8 * unit, 2 * unit), Qt::white);
        } else {
            // A dark cross.
            painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 2.2 * unit, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(4, 4) * unit, QPointF(12, 12) * unit);
            painter.drawLine(QPointF(12, 4) * unit, QPointF(4, 12) * unit);
        }
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

} // namespace

void registerRunWindowTexts()
{
    core::registerDefaultTexts({{kTextRunCaption, "Find and Replace string"},
                                {kTextRunCancel, "&Cancel"},
                                {kTextRunHelp, "&Help"},
                                {kTextRunAll, "&All"},
                                {kTextRunSuccessful, "&Successful"},
                                {kTextRunUnchanged, "&Unchanged"},
                                {kTextRunFailed, "&Failed"}});
}

QString replaceStatusText(std::int32_t result, std::int32_t stage, platform::WinError failure)
{
    switch (result) {
    case engines::kReplaceFailed: {
        QString status = text(kTextFailed);
        if (stage != 0)
            status += "_" + QString::number(stage);
        if (failure != platform::kErrorSuccess)
            status += ": " + QString::fromStdString(platform::errorText(failure));
        return status + kRedMark;
    }
    case engines::kReplaceFound:
        return text(kTextSuccessful) + kGreenMark;
    case engines::kReplaceFileMissing:
        return text(kTextNotFound);
    case engines::kReplaceNothingFound:
        return text(kTextUnchanged);
    case engines::kReplaceModeNotSupported:
        return text(kTextNotSupported) + kRedMark;
    case engines::kReplaceDocumentLocked:
        return text(kTextProtected) + kRedMark;
    default:
        return {};
    }
}

QString renameStatusText(std::int32_t result)
{
    switch (result) {
    case engines::kRenameFailed:
        return text(kTextFailed) + kRedMark;
    case engines::kRenameDone:
        return text(kTextSuccessful) + kGreenMark;
    case engines::kRenameUnchanged:
        return text(kTextUnchanged);
    default:
        return {};
    }
}

TViewRenReplacer::TViewRenReplacer(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TViewRenReplacer>())
{
    ui_->setupUi(this);
    FormCreate();
}

TViewRenReplacer::~TViewRenReplacer()
{
    if (IToolHost* host = toolHost()) {
        if (QWidget* main = host->MainWidget())
            main->removeEventFilter(this);
        host->EnableMainControls(true);
    }
}

void TViewRenReplacer::FormCreate()
{
    rowSnapshot_.reset();
    if (IToolHost* host = toolHost()) {
        host->EnableMainControls(false);
        if (QWidget* main = host->MainWidget())
            main->installEventFilter(this); // a restored main window brings a minimised run window back
    }
    placeOverMainWindow();

    controls::TWUXStringGrid& info = *ui_->sgInfo;
    info.setColCount(2);
    info.setRowCount(1);
    info.setFixedRows(0);
    info.setFixedCols(0);
    info.setDefaultColWidth(kInfoColWidth);
    info.setDefaultRowHeight(kGridRowHeight);
    info.setOptions(controls::goFixedVertLine | controls::goFixedHorzLine | controls::goVertLine |
                    controls::goHorzLine | controls::goRangeSelect | controls::goRowSelect |
                    controls::goColSizing);
    info.setDefaultDrawing(false);
    info.setTag(1);
    info.OnDrawCell = [this](QPainter& canvas, int ACol, int ARow, const QRect& rect,
                             controls::GridDrawState state) {
        const unsigned alignment =
            ui_->sgInfo->ColCount() == 6 ? kReplaceRowsAlignment : kRenameRowsAlignment;
        controls::DrawGridCell(canvas, *ui_->sgInfo, ACol, ARow, alignment, state, rect);
    };

    controls::TWUXStringGrid& status = *ui_->sgStatus;
    status.setColCount(2);
    status.setRowCount(5);
    status.setFixedRows(1);
    status.setFixedCols(1);
    status.setDefaultColWidth(kStatusColWidth);
    status.setDefaultRowHeight(kGridRowHeight);
    status.setScrollBars(controls::ScrollStyle::ssNone);
    status.setDefaultDrawing(false);
    status.setTag(2);
    status.OnDrawCell = [this](QPainter& canvas, int ACol, int ARow, const QRect& rect,
                               controls::GridDrawState state) {
        controls::DrawGridCell(canvas, *ui_->sgStatus, ACol, ARow, kTotalsAlignment, state, rect);
    };
    // sgStatusEnter: the focused grid marks its title row.
    status.OnSetFocus = [](controls::TWUXStringGrid* grid, QWidget*) { grid->InvalidateGrid(); };
    status.OnKillFocus = [](controls::TWUXStringGrid* grid, QWidget*) { grid->InvalidateGrid(); };

    filterGroup_ = new QButtonGroup(this);
    filterGroup_->addButton(ui_->rbAll, 0);
    filterGroup_->addButton(ui_->rbSuccess, 1);
    filterGroup_->addButton(ui_->rbUnchanged, 2);
    filterGroup_->addButton(ui_->rbFailed, 3);
    connect(filterGroup_, &QButtonGroup::idClicked, this, &TViewRenReplacer::rbAllClick);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &TViewRenReplacer::postClose);
    connect(ui_->btnHelpF, &QPushButton::clicked, this, &TViewRenReplacer::btnHelpFClick);
    ui_->pnlBtn->installEventFilter(this);
    ui_->sgInfo->viewport()->installEventFilter(this);

    ApplyTexts();
    ui_->btnHelpF->setIcon(glyph(*this, "BTNHLP", QStyle::SP_DialogHelpButton));
    ui_->btnCancel->setIcon(cancelGlyph(true));
    finished_ = false;

    // Escape asks to close (after the key is done with); F1 opens the help. Both keys are the window's.
    new DialogKeyPreview(this, [this](QKeyEvent& event) {
        if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        if (event.key() == Qt::Key_Escape) {
            postClose();
            return true;
        }
        if (event.key() == Qt::Key_F1) {
            btnHelpFClick();
            return true;
        }
        return false;
    });
}

void TViewRenReplacer::ApplyTexts()
{
    setWindowTitle(text(kTextRunCaption));
    ui_->btnCancel->setText(text(kTextRunCancel));
    ui_->btnHelpF->setText(text(kTextRunHelp));
    ui_->rbAll->setText(text(kTextRunAll));
    ui_->rbSuccess->setText(text(kTextRunSuccessful));
    ui_->rbUnchanged->setText(text(kTextRunUnchanged));
    ui_->rbFailed->setText(text(kTextRunFailed));
}

void TViewRenReplacer::placeOverMainWindow()
{
    IToolHost* host = toolHost();
    if (host == nullptr)
        return;
    const QRect main = host->MainBounds();
    if (!main.isValid())
        return;
    const int bar = host->ControlBarMainHeight();
    const int captionHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int d = captionHeight + 5;
    const QRect frame(main.left(), main.top() + bar + d, main.width(), main.height() - bar - d);
    // The frame includes the window's decoration: known once the window is shown (the placement is made
    // again then), until then taken as a caption of the style's height.
    QSize decoration = frameGeometry().size() - geometry().size();
    if (!testAttribute(Qt::WA_WState_Created) || (decoration.isEmpty() && !isVisible()))
        decoration = QSize(0, captionHeight);
    resize(std::max(frame.width() - decoration.width(), minimumWidth()),
           std::max(frame.height() - decoration.height(), minimumHeight()));
    move(frame.topLeft());
}

controls::TWUXStringGrid* TViewRenReplacer::sgInfo() const
{
    return ui_->sgInfo;
}
controls::TWUXStringGrid* TViewRenReplacer::sgStatus() const
{
    return ui_->sgStatus;
}
QWidget* TViewRenReplacer::pnlBtn() const
{
    return ui_->pnlBtn;
}
QLabel* TViewRenReplacer::pnlFilesComment() const
{
    return ui_->pnlFilesComment;
}
QLabel* TViewRenReplacer::lblFilesToShow() const
{
    return ui_->lblFilesToShow;
}
QRadioButton* TViewRenReplacer::rbAll() const
{
    return ui_->rbAll;
}
QRadioButton* TViewRenReplacer::rbSuccess() const
{
    return ui_->rbSuccess;
}
QRadioButton* TViewRenReplacer::rbUnchanged() const
{
    return ui_->rbUnchanged;
}
QRadioButton* TViewRenReplacer::rbFailed() const
{
    return ui_->rbFailed;
}
QPushButton* TViewRenReplacer::btnCancel() const
{
    return ui_->btnCancel;
}
QPushButton* TViewRenReplacer::btnHelpF() const
{
    return ui_->btnHelpF;
}

void TViewRenReplacer::Init(int Mode)
{
    controls::TWUXStringGrid& status = *ui_->sgStatus;
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    for (int row = 1; row <= 4; ++row)
        status.setCells(0, row, text(kTextAllFiles + row - 1));
    status.setCells(1, 0, text(kTextNumberOfFiles));
    status.setColWidths(0, 110);
    status.setColWidths(1, 150);
    processed_ = unchanged_ = successful_ = failed_ = 0;

    // The buttons stand in the panel's right corner, 9 pixels apart, and keep their place there.
    layout()->activate();
    QWidget& panel = *ui_->pnlBtn;
    ui_->btnHelpF->move(panel.width() - ui_->btnHelpF->width() - kButtonGap, ui_->btnHelpF->y());
    ui_->btnCancel->move(ui_->btnHelpF->x() - kButtonGap - ui_->btnCancel->width(), ui_->btnCancel->y());
    buttonsRight_ = kButtonGap;
    buttonsBottom_ = panel.height() - (ui_->btnCancel->y() + ui_->btnCancel->height());

    if (Mode == kRunReplace) {
        ui_->lblFilesToShow->setVisible(true);
        for (QAbstractButton* button : filterGroup_->buttons())
            button->setVisible(true);
        sizeBeforeAll_ = sizeAfterAll_ = sizeBeforeSuccessful_ = sizeAfterSuccessful_ = 0;
        status.setColCount(5);
        info.setColCount(6);
        const int titles[] = {kTextName,           kTextSizeBefore,     kTextSizeBefore + 1,
                              kTextSizeBefore + 2, kTextSizeBefore + 3, kTextStatus};
        for (int col = 0; col < 6; ++col)
            info.setCells(col, 0, text(titles[col]));
        for (int col = 1; col <= 4; ++col)
            status.setCells(col, 0, text(kTextNumberOfFiles + col - 1));
        for (int col = 2; col <= 4; ++col)
            status.setCells(col, 4, "---");
        showSizes();
    } else {
        info.setCells(0, 0, text(kTextName));
        info.setCells(1, 0, text(kTextStatus));
        // The filter row is dropped: the buttons keep their distance to the bottom and get as much above.
        panel.setFixedHeight(2 * (panel.height() - ui_->btnCancel->y()) - ui_->btnCancel->height());
        layout()->activate();
    }
    showCounts();
    keepButtonsInCorner();

    fitNameColumn();
}

void TViewRenReplacer::fitNameColumn()
{
    // The other columns keep their default width unless their title or, in the status column, the
    // longest status text needs more in the grid's font; column 0 takes what they and the scroll bar
    // leave.
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    const QFontMetrics metrics(info.font());
    const int last = info.ColCount() - 1;
    int others = 0;
    for (int col = 1; col <= last; ++col) {
        int needed = metrics.horizontalAdvance(info.Cells(col, 0));
        if (col == last) {
            const bool replace = info.ColCount() == 6;
            for (const std::int32_t result : {1, 2, 4, 8, 16, 64}) {
                QString status = replace ? replaceStatusText(result, 103) : renameStatusText(result);
                controls::takeColourMark(status);
                needed = std::max(needed, metrics.horizontalAdvance(status));
            }
        }
        info.setColWidths(col, std::max(info.DefaultColWidth(), needed + kCellPadding));
        others += info.ColWidths(col);
    }
    layout()->activate();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    info.setColWidths(0, info.width() - others - (scrollBar + 4 * kEdgeWidth) -
                             info.ColCount() * info.GridLineWidth());
}

void TViewRenReplacer::keepButtonsInCorner()
{
    QWidget& panel = *ui_->pnlBtn;
    const int top = panel.height() - buttonsBottom_ - ui_->btnHelpF->height();
    ui_->btnHelpF->move(panel.width() - buttonsRight_ - ui_->btnHelpF->width(), top);
    ui_->btnCancel->move(ui_->btnHelpF->x() - kButtonGap - ui_->btnCancel->width(), top);
}

void TViewRenReplacer::connectReplaceThread(engines::TReplaceRunThread& Thread)
{
    thread = &Thread;
    Thread.OnGetNextFile = [this](platform::WuxThread& sender, filelist::TOperationFileInfo*& info) {
        OnReplaceNextFile(sender, info);
    };
    Thread.OnFileDone = [this](platform::WuxThread& sender, filelist::TOperationFileResult& result) {
        OnReplaceSetFileResult(sender, result);
    };
    Thread.OnProgress = [this](platform::WuxThread& sender, engines::TReplaceResult result,
                               std::int32_t stage, std::int32_t matches, std::int64_t before,
                               std::int64_t after, platform::WinError failure) {
        OnReplaceFileResult(sender, result, stage, matches, before, after, failure);
    };
    Thread.OnTerminate = [this](platform::WuxThread& sender) { OnReplaceDone(sender); };
}

void TViewRenReplacer::connectRenameThread(engines::TRenamer& Thread)
{
    thread = &Thread;
    Thread.OnRenameFile = [this](platform::WuxThread& sender, const std::string& name) {
        OnRenameFile(sender, name);
    };
    Thread.OnRenameItem = [this](platform::WuxThread& sender, std::int32_t result) {
        OnRenameItem(sender, result);
    };
    Thread.OnTerminate = [this](platform::WuxThread& sender) { OnRenameDone(sender); };
}

void TViewRenReplacer::addFileRow(const QString& rowText)
{
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    // The file line shows a long path elided in its middle, keeping the name's end and extension.
    QLabel& comment = *ui_->pnlFilesComment;
    const QString shown = controls::FitPathText(comment.fontMetrics(), rowText,
                                                comment.contentsRect().width() - 2 * comment.indent());
    comment.setText(shown);
    comment.setToolTip(shown == rowText ? QString() : rowText);
    const int row = info.RowCount();
    info.setRowCount(row + 1);
    if (info.RowCount() == 2)
        info.setFixedRows(1);
    for (int col = 0; col < info.ColCount(); ++col)
        info.setCells(col, row, QString());
    info.setCells(0, row, rowText);
}

void TViewRenReplacer::OnReplaceNextFile(platform::WuxThread&, filelist::TOperationFileInfo*& FileInfo)
{
    FileInfo = filelist::NextOperationFile(filelist::kNextPlugin);
    if (FileInfo == nullptr)
        return;
    // The whole folder path: the row must name the file that was changed, however deep it lies.
    QString path = QString::fromUtf8(FileInfo->folderPath);
    if (!path.endsWith('\\'))
        path += '\\';
    path += QString::fromUtf8(FileInfo->name);
    addFileRow(path);
}

void TViewRenReplacer::OnReplaceSetFileResult(platform::WuxThread&,
                                              filelist::TOperationFileResult& FileResult)
{
    filelist::SetOperationFileResult(&FileResult);
}

void TViewRenReplacer::OnReplaceFileResult(platform::WuxThread&, engines::TReplaceResult Result,
                                           std::int32_t Stage, std::int32_t Matches, std::int64_t SizeBefore,
                                           std::int64_t SizeAfter, platform::WinError Failure)
{
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    const int row = info.RowCount() - 1;
    const bool hasRow = row >= 1;
    ++processed_;
    // A size below 0 could not be read: it shows "?", so does the change, and the row adds to no sum.
    const bool sizesKnown = SizeBefore >= 0 && SizeAfter >= 0;
    switch (Result) {
    case engines::kReplaceFound:
    case engines::kReplaceNothingFound:
    case engines::kReplaceModeNotSupported:
    case engines::kReplaceDocumentLocked:
        if (sizesKnown) {
            sizeBeforeAll_ = addSize(sizeBeforeAll_, SizeBefore);
            sizeAfterAll_ = addSize(sizeAfterAll_, SizeAfter);
        }
        if (hasRow) {
            info.setCells(1, row, SizeBefore >= 0 ? sizeText(SizeBefore) : QString("?"));
            info.setCells(2, row, SizeAfter >= 0 ? sizeText(SizeAfter) : QString("?"));
            info.setCells(3, row, sizesKnown ? sizeText(SizeAfter - SizeBefore) : QString("?"));
            info.setCells(4, row, sizeText(Matches));
        }
        break;
    case engines::kReplaceFailed:
    case engines::kReplaceFileMissing:
        if (hasRow)
            for (int col = 1; col <= 4; ++col)
                info.setCells(col, row, "?");
        break;
    default:
        break;
    }
    UpdateReplaceTotals(Result, SizeBefore, SizeAfter, sizesKnown);
    if (hasRow)
        info.setCells(5, row, replaceStatusText(Result, Stage, Failure));
}

void TViewRenReplacer::UpdateReplaceTotals(std::int32_t Result, std::int64_t SizeBefore,
                                           std::int64_t SizeAfter, bool sizesKnown)
{
    switch (Result) {
    case engines::kReplaceFailed:
    case engines::kReplaceFileMissing:
        ++failed_;
        break;
    case engines::kReplaceFound:
        ++successful_;
        if (sizesKnown) {
            sizeBeforeSuccessful_ = addSize(sizeBeforeSuccessful_, SizeBefore);
            sizeAfterSuccessful_ = addSize(sizeAfterSuccessful_, SizeAfter);
        }
        break;
    case engines::kReplaceNothingFound:
    case engines::kReplaceModeNotSupported:
    case engines::kReplaceDocumentLocked:
        ++unchanged_;
        break;
    default:
        break;
    }
    showSizes();
    showCounts();
}

void TViewRenReplacer::showSizes()
{
    controls::TWUXStringGrid& status = *ui_->sgStatus;
    if (status.ColCount() < 5)
        return;
    status.setCells(2, 1, sizeText(sizeBeforeAll_));
    status.setCells(3, 1, sizeText(sizeAfterAll_));
    status.setCells(4, 1, sizeText(sizeAfterAll_ - sizeBeforeAll_));
    status.setCells(2, 2, sizeText(sizeBeforeAll_ - sizeBeforeSuccessful_));
    status.setCells(3, 2, sizeText(sizeAfterAll_ - sizeAfterSuccessful_));
    status.setCells(4, 2, "0");
    status.setCells(2, 3, sizeText(sizeBeforeSuccessful_));
    status.setCells(3, 3, sizeText(sizeAfterSuccessful_));
    status.setCells(4, 3, sizeText(sizeAfterSuccessful_ - sizeBeforeSuccessful_));
}

void TViewRenReplacer::showCounts()
{
    controls::TWUXStringGrid& status = *ui_->sgStatus;
    status.setCells(1, 1, QString::number(processed_));
    status.setCells(1, 2, QString::number(unchanged_));
    status.setCells(1, 3, QString::number(successful_));
    status.setCells(1, 4, QString::number(failed_));
}

void TViewRenReplacer::OnRenameFile(platform::WuxThread&, const std::string& Name)
{
    addFileRow(QString::fromStdString(Name));
}

void TViewRenReplacer::OnRenameItem(platform::WuxThread&, std::int32_t Result)
{
    UpdateRenameTotals(Result);
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    const int row = info.RowCount() - 1;
    if (row >= 1)
        info.setCells(1, row, renameStatusText(Result));
}

void TViewRenReplacer::UpdateRenameTotals(std::int32_t Result)
{
    ++processed_;
    switch (Result) {
    case engines::kRenameFailed:
        ++failed_;
        break;
    case engines::kRenameDone:
        ++successful_;
        break;
    case engines::kRenameUnchanged:
        ++unchanged_;
        break;
    default:
        break;
    }
    showCounts();
}

void TViewRenReplacer::runDone(bool enableFilters)
{
    QCoreApplication::postEvent(this, new QEvent(MSG_RUN_FINISHED));
    ui_->btnCancel->setIcon(cancelGlyph(false));
    if (enableFilters)
        for (QAbstractButton* button : filterGroup_->buttons())
            button->setEnabled(true);
    finished_ = true;
}

void TViewRenReplacer::OnReplaceDone(platform::WuxThread&)
{
    runDone(true);
}

void TViewRenReplacer::OnRenameDone(platform::WuxThread&)
{
    runDone(false);
}

void TViewRenReplacer::RunFinished()
{
    int returnValue = 0;
    bool threadFailed = true;
    std::string failure;
    if (thread != nullptr) {
        returnValue = thread->WaitFor();
        threadFailed = thread->failed();
        failure = thread->failureMessage();
    }
    QLabel& comment = *ui_->pnlFilesComment;
    comment.setToolTip(QString());
    QPalette palette = comment.palette();
    if (returnValue == engines::kRunDone && !threadFailed) {
        comment.setText(text(kTextCompleted));
        palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    } else {
        QString ending = text(kTextAborted);
        if (returnValue != engines::kRunStopped && !failure.empty())
            ending += " " + QString::fromStdString(failure);
        comment.setText(ending);
        palette.setColor(QPalette::WindowText, Qt::red);
    }
    comment.setPalette(palette);
}

void TViewRenReplacer::postClose()
{
    QMetaObject::invokeMethod(
        this, [this] { WMSysCommand(SC_CLOSE); }, Qt::QueuedConnection);
}

void TViewRenReplacer::reject()
{
    WMSysCommand(SC_CLOSE);
}

void TViewRenReplacer::WMSysCommand(SysCommand Command)
{
    if (Command == SC_MINIMIZE) {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && !window->isMinimized())
                window->showMinimized();
        return;
    }
    if (!finished_) {
        if (asking_)
            return;
        asking_ = true;
        platform::MessageBoxRequest request;
        request.text = core::uiText(kTextAbortQuestion);
        request.caption = hostCaption();
        request.buttons = platform::MsgButtons::YesNoCancel;
        request.icon = platform::MsgIcon::Question;
        request.parent = this;
        const platform::MsgResult answer = platform::dialogService().messageBox(request);
        asking_ = false;
        if (answer != platform::MsgResult::Yes || thread == nullptr)
            return;
        // The window stays open and shows the end once the finished message arrives.
        thread->Terminate();
        thread->WaitFor();
        return;
    }
    if (thread != nullptr) {
        thread->Terminate();
        thread->WaitFor();
    }
    QDialog::done(QDialog::Rejected);
}

void TViewRenReplacer::btnHelpFClick()
{
    showToolHelp(ui_->sgInfo->ColCount() == 6 ? kReplaceResultsHelpPage : kRenameWindowHelpPage);
}

void TViewRenReplacer::rbAllClick(int Tag)
{
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    const int cols = info.ColCount();
    if (!rowSnapshot_) {
        rowSnapshot_.emplace();
        for (int row = 1; row < info.RowCount(); ++row) {
            std::vector<QString> cells;
            for (int col = 0; col < cols; ++col)
                cells.push_back(info.Cells(col, row));
            rowSnapshot_->push_back(std::move(cells));
        }
    }
    const int oldCount = info.RowCount();
    int kept = 0;
    for (const std::vector<QString>& cells : *rowSnapshot_) {
        if (!fitsFilter(cells.back(), Tag))
            continue;
        ++kept;
        if (info.RowCount() <= kept)
            info.setRowCount(kept + 1);
        for (int col = 0; col < cols; ++col)
            info.setCells(col, kept, cells[static_cast<std::size_t>(col)]);
    }
    const int newCount = kept == 0 ? 2 : kept + 1;
    for (int row = kept + 1; row < std::max(oldCount, newCount); ++row)
        for (int col = 0; col < cols; ++col)
            info.setCells(col, row, QString());
    info.setRowCount(newCount);
    info.setFixedRows(1);
    if (info.Row() >= newCount)
        info.setRow(1);
    info.InvalidateGrid();
}

void TViewRenReplacer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!placed_) {
        placed_ = true;
        placeOverMainWindow();
        fitNameColumn(); // the window's width is final now
    }
}

bool TViewRenReplacer::event(QEvent* event)
{
    if (event->type() == MSG_RUN_FINISHED) {
        RunFinished();
        return true;
    }
    return QDialog::event(event);
}

void TViewRenReplacer::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        WMSysCommand(SC_MINIMIZE);
    QDialog::changeEvent(event);
}

bool TViewRenReplacer::showCutCellText(const QHelpEvent& help)
{
    // A cell whose text does not fit (a long path, a failure with its reason) shows it whole as a tip.
    controls::TWUXStringGrid& info = *ui_->sgInfo;
    int col = -1, row = -1;
    info.MouseToCell(help.pos().x(), help.pos().y(), col, row);
    if (col < 0 || row < 0) {
        QToolTip::hideText();
        return false;
    }
    QString cell = info.Cells(col, row);
    controls::takeColourMark(cell);
    if (cell.isEmpty() || QFontMetrics(info.font()).horizontalAdvance(cell) + kCellPadding <= info.CellRect(col, row).width()) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(help.globalPos(), cell, info.viewport(), info.CellRect(col, row));
    return true;
}

bool TViewRenReplacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->sgInfo->viewport() && event->type() == QEvent::ToolTip) {
        if (!showCutCellText(*static_cast<QHelpEvent*>(event)))
            event->ignore();
        return true;
    }
    if (watched == ui_->pnlBtn && event->type() == QEvent::Resize) {
        keepButtonsInCorner();
    } else if (event->type() == QEvent::WindowStateChange && watched->isWidgetType() &&
               !static_cast<QWidget*>(watched)->isMinimized() && isMinimized()) {
        // The main window came back: so does the run window, which keeps the keyboard.
        showNormal();
        activateWindow();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace wux::tools
