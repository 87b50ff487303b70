#include "tools/batch_replacer_form.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>

#include "controls/grid_cell_painter.h"
#include "core/text_table.h"
#include "engines/replace_threads.h"
#include "filelist/browser_state.h"
#include "filelist/operation_cursor.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/movable_memory.h"
#include "tools/replace_window_support.h"
#include "tools/replacer_form.h"
#include "ui_TBatchReplacerForm.h"

namespace wux::tools {

namespace {

// Offsets of the window's texts from its BaseId.
enum BatchText : int
{
    kTitle = 0,
    kHint,
    kStart,
    kHelp,
    kFindLabel,
    kReplaceLabel,
    kCaseSensitive,
    kAdd,
    kModify,
    kDelete,
    kBackup,
    kLoad,
    kSave,
    kColumnCase,
    kColumnFind,
    kColumnReplace,
    kCancel,
    kParameters,
    kStatistics,
    kSaveResults,
};

// The window's texts of fixed numbers.
constexpr int kTextNoData = 208;
constexpr int kTextSensitive = 217;
constexpr int kTextInsensitive = 218;
constexpr int kTextBadFind = 219;
constexpr int kTextBadReplace = 220;
constexpr int kTextErrorLoad = 223;
constexpr int kTextErrorSave = 224;
constexpr int kTextNoFindText = 226;

// Settings keys of the window (the rest of the section is the parameter set).
constexpr const char* kKeyFindHistory = "LIST_FIND_STR";
constexpr const char* kKeyReplaceHistory = "LIST_REPLACE_STR";
constexpr const char* kKeyInitialDir = "InitialDir";

// The grid's columns.
constexpr int kColFlag = 0;
constexpr int kColFind = 1;
constexpr int kColReplace = 2;
constexpr int kFlagColumnWidth = 100;
// The system's edge width.
constexpr int kEdgeWidth = 2;

QString text(int id)
{
    return QString::fromStdString(core::uiText(id));
}

std::string applicationTitle()
{
    return QApplication::applicationName().toStdString();
}

// The folder part of a path, up to and including its last "\".
std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

int characterPositionOfByte(std::string_view utf8, std::size_t byteOffset)
{
    int position = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        if (i + length > byteOffset)
            break;
        position += length == 4 ? 2 : 1;
        i += length;
    }
    return position;
}

TBatchReplacerForm::TBatchReplacerForm(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TBatchReplacerForm>())
{
    ui_->setupUi(this);
    controls::TWUXStringGrid& grid = *ui_->sgBatch;
    grid.setColCount(3);
    grid.setRowCount(2);
    grid.setFixedCols(0);
    grid.setFixedRows(1);
    grid.setDefaultColWidth(139);
    grid.setDefaultRowHeight(18);
    grid.setOptions(controls::goFixedVertLine | controls::goFixedHorzLine | controls::goVertLine |
                    controls::goHorzLine | controls::goRowSelect | controls::goColSizing);
    grid.setDefaultDrawing(false);
    grid.OnDrawCell = [&grid](QPainter& canvas, int ACol, int ARow, const QRect& rect,
                              controls::GridDrawState state) {
        controls::DrawGridCell(canvas, grid, ACol, ARow, 0, state, rect);
    };
    grid.OnSelectCell = [this](int, int ARow, bool&) { sgBatchSelectCell(ARow); };
    grid.OnKeyDown = [this](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Delete && ui_->btnDelete->isEnabled()) {
            key = 0;
            ui_->btnDelete->click();
            if (ui_->sgBatch->isEnabled())
                ui_->sgBatch->setFocus();
        }
    };
    // The grid repaints when it gets or loses the focus (the painter marks its current row then).
    grid.OnSetFocus = [](controls::TWUXStringGrid* sender, QWidget*) { sender->viewport()->update(); };
    grid.OnKillFocus = [](controls::TWUXStringGrid* sender, QWidget*) { sender->viewport()->update(); };
    grid.installEventFilter(this);

    ui_->cmbFindString->OnKeyDown = [this](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            key = 0;
            ui_->cmbReplaceString->setFocus();
        }
    };
    ui_->cmbReplaceString->OnKeyDown = [this](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            key = 0;
            ui_->btnAdd->setFocus();
        }
    };

    connect(ui_->btnAdd, &QAbstractButton::clicked, this, &TBatchReplacerForm::btnAddClick);
    connect(ui_->btnModify, &QAbstractButton::clicked, this, &TBatchReplacerForm::btnModifyClick);
    connect(ui_->btnDelete, &QAbstractButton::clicked, this, &TBatchReplacerForm::btnDeleteClick);
    connect(ui_->btnLoad, &QAbstractButton::clicked, this, &TBatchReplacerForm::btnLoadClick);
    connect(ui_->btnSave, &QAbstractButton::clicked, this, &TBatchReplacerForm::btnSaveClick);
    connect(ui_->btnStartOperation, &QAbstractButton::clicked, this, &TBatchReplacerForm::StartBatchReplace);
    connect(ui_->btnHelpF, &QAbstractButton::clicked, this, [] { openHelpTopic(kBatchReplacerHelpTopic); });
    connect(qApp, &QApplication::focusChanged, this, &TBatchReplacerForm::focusChanged);
    onLabelClick(*ui_->pnlNameTools, [this] { ui_->cmbFindString->setFocus(); });
    paintToolCaption(*ui_->pnlNameTools, false);

    resizeColumns();
}

TBatchReplacerForm::~TBatchReplacerForm()
{
    // The focus leaves the window's controls while it is destroyed: no more caption changes then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TBatchReplacerForm::InitTool()
{
    rowCount_ = 0;
    Translate(kBatchReplacerTitleId);
    setStartGlyph(*ui_->btnStartOperation);
    setHelpGlyph(*ui_->btnHelpF);
    updateTableControls();
}

void TBatchReplacerForm::RegisterDefaultTexts(int BaseId)
{
    core::registerDefaultTexts({
        {207, "Name"},
        {208, "No data in Grid"},
        {209, "unchanged"},
        {210, "failed"},
        {211, "successful"},
        {212, "not found"},
        {213, "not supported"},
        {214, "protected from changes"},
        {215, "Operation completed!"},
        {216, "Operation aborted!"},
        {217, "Sensitive"},
        {218, "Insensitive"},
        {219, "The Find string contains a Pattern Match expression which is not valid."},
        {220, "The Replace With string contains a Pattern Match expression which is not valid."},
        {221, "Abort operation?"},
        {222, "Do you want to save the changes you made to file?"},
        {223, "Error load table!"},
        {224, "Error save table!"},
        {225, "Error was occured during saving a file with results!"},
        {226, "Please specify text in the \"Find this string\" field"},
        {227, "All files"},
        {228, "All unchanged"},
        {229, "All successful"},
        {230, "All failed"},
        {231, "Number of files"},
        {232, "Size before"},
        {233, "Size after"},
        {234, "Changed size"},
        {235, "Amount"},
        {236, "Status"},
        {BaseId + kTitle, "Batch Replacer"},
        {BaseId + kHint, "Replace strings in files"},
        {BaseId + kStart, "&Start Replace"},
        {BaseId + kHelp, "&Help"},
        {BaseId + kFindLabel, "&Find this string:"},
        {BaseId + kReplaceLabel, "and &Replace with:"},
        {BaseId + kCaseSensitive, "Cas&e sensitive"},
        {BaseId + kAdd, "A&dd"},
        {BaseId + kModify, "&Modify"},
        {BaseId + kDelete, "Delete"},
        {BaseId + kBackup, "Create files backup cop&y"},
        {BaseId + kLoad, "&Load from File"},
        {BaseId + kSave, "Sa&ve as File"},
        {BaseId + kColumnCase, "Case sensitive"},
        {BaseId + kColumnFind, "Find this"},
        {BaseId + kColumnReplace, "Replace with"},
        {BaseId + kCancel, "&Cancel"},
        {BaseId + kParameters, "Parameters"},
        {BaseId + kStatistics, "statistics"},
        {BaseId + kSaveResults, "Save &Results As..."},
    });
}

void TBatchReplacerForm::Translate(int BaseId)
{
    ui_->pnlNameTools->setText(text(BaseId + kTitle));
    ui_->btnStartOperation->setText(text(BaseId + kStart));
    ui_->btnHelpF->setText(text(BaseId + kHelp));
    ui_->lblFindStr->setText(text(BaseId + kFindLabel));
    ui_->lblReplaceStr->setText(text(BaseId + kReplaceLabel));
    ui_->chkCaseSensitive->setText(text(BaseId + kCaseSensitive));
    ui_->btnAdd->setText(text(BaseId + kAdd));
    ui_->btnModify->setText(text(BaseId + kModify));
    ui_->btnDelete->setText(text(BaseId + kDelete));
    ui_->chkbcopy->setText(text(BaseId + kBackup));
    ui_->btnLoad->setText(text(BaseId + kLoad));
    ui_->btnSave->setText(text(BaseId + kSave));
    setTitleRow(BaseId);

    // The flag column follows the new flag texts, so that no row changes its case sensitivity.
    const QString oldYes = QString::fromStdString(engines::YesText());
    const QString oldNo = QString::fromStdString(engines::NoText());
    engines::SetYesNoTexts(core::uiText(kTextSensitive), core::uiText(kTextInsensitive));
    const QString newYes = QString::fromStdString(engines::YesText());
    const QString newNo = QString::fromStdString(engines::NoText());
    for (int row = 1; row <= rowCount_; ++row) {
        const QString flag = ui_->sgBatch->Cells(kColFlag, row);
        if (flag == oldYes)
            ui_->sgBatch->setCells(kColFlag, row, newYes);
        else if (flag == oldNo)
            ui_->sgBatch->setCells(kColFlag, row, newNo);
    }
}

void TBatchReplacerForm::setTitleRow(int BaseId)
{
    ui_->sgBatch->setCells(kColFlag, 0, text(BaseId + kColumnCase));
    ui_->sgBatch->setCells(kColFind, 0, text(BaseId + kColumnFind));
    ui_->sgBatch->setCells(kColReplace, 0, text(BaseId + kColumnReplace));
}

void TBatchReplacerForm::LoadSettings()
{
    const platform::IniFile ini(settingsFilePath());
    LoadSettingsFrom(ini);
}

void TBatchReplacerForm::SaveSettings()
{
    platform::IniFile ini(settingsFilePath());
    SaveSettingsTo(ini);
}

void TBatchReplacerForm::LoadSettingsFrom(const platform::IniFile& ini)
{
    if (!parameters_)
        parameters_ = std::make_unique<core::TUserParameters>(kBatchReplacerSection);
    ui_->cmbFindString->LoadHistory(ini, kBatchReplacerSection, kKeyFindHistory);
    ui_->cmbReplaceString->LoadHistory(ini, kBatchReplacerSection, kKeyReplaceHistory);
    lastFile_ = ini.readString(kBatchReplacerSection, kKeyInitialDir, "");
    dialogFolder_ = lastFile_;
    parameters_->LoadFromIni(ini);
    parameters_->Remove(kKeyFindHistory);
    parameters_->Remove(kKeyReplaceHistory);
    parameters_->Remove(kKeyInitialDir);
    addWordProcessorDefaults(*parameters_);
}

platform::WinError TBatchReplacerForm::SaveSettingsTo(platform::IniFile& ini)
{
    platform::WinError first = ui_->cmbFindString->SaveHistory(ini, kBatchReplacerSection, kKeyFindHistory);
    const auto keep = [&first](platform::WinError error) {
        if (first == platform::WinError{})
            first = error;
    };
    keep(ui_->cmbReplaceString->SaveHistory(ini, kBatchReplacerSection, kKeyReplaceHistory));
    keep(ini.writeString(kBatchReplacerSection, kKeyInitialDir, folderOf(lastFile_)));
    if (parameters_)
        keep(parameters_->SaveToIni(ini));
    return first;
}

void TBatchReplacerForm::updateTableControls()
{
    const bool rows = rowCount_ >= 1;
    ui_->btnDelete->setEnabled(rows);
    ui_->btnSave->setEnabled(rows);
    ui_->sgBatch->setTag(rows ? 3 : 2);
    ui_->sgBatch->setEnabled(rows);
}

bool TBatchReplacerForm::CanStart(filelist::TstateOfBrowser* PanelState)
{
    updateTableControls();
    const bool ready = rowCount_ >= 1 && PanelState != nullptr && PanelState->selectedFiles != 0;
    if (!ready && ui_->btnStartOperation->hasFocus())
        ui_->sgBatch->setFocus();
    for (QComboBox* combo : std::initializer_list<QComboBox*>{ui_->cmbFindString, ui_->cmbReplaceString})
        if (!combo->hasFocus() && combo->lineEdit() != nullptr)
            combo->lineEdit()->deselect();
    ui_->btnStartOperation->setEnabled(ready);
    return ready;
}

void TBatchReplacerForm::StartOperation()
{
    StartBatchReplace();
}

void TBatchReplacerForm::ShowHelp()
{
    ui_->btnHelpF->click();
}

void TBatchReplacerForm::ShowTitle(bool Visible)
{
    ui_->pnlAlign->setVisible(Visible);
}

void TBatchReplacerForm::gridCells(engines::TableCells& Flags, engines::TableCells& Finds,
                                   engines::TableCells& Replaces) const
{
    Flags.clear();
    Finds.clear();
    Replaces.clear();
    for (int row = 1; row <= rowCount_; ++row) {
        Flags.push_back(ui_->sgBatch->Cells(kColFlag, row).toStdString());
        Finds.push_back(ui_->sgBatch->Cells(kColFind, row).toStdString());
        Replaces.push_back(ui_->sgBatch->Cells(kColReplace, row).toStdString());
    }
}

template <typename F> void TBatchReplacerForm::withoutSelectCell(F&& step)
{
    auto handler = std::move(ui_->sgBatch->OnSelectCell);
    ui_->sgBatch->OnSelectCell = nullptr;
    step();
    ui_->sgBatch->OnSelectCell = std::move(handler);
}

bool TBatchReplacerForm::ValidateCellText(QComboBox& Combo, int Message, int Kind)
{
    const std::string cell = Combo.currentText().toStdString();
    std::int32_t length = 0;
    std::int32_t mode = 0;
    const std::int32_t error = Kind == 1 ? engines::CheckFindText(cell, length)
                                         : engines::CheckReplaceText(cell, length, nullptr, mode);
    if (error < 0)
        return true;
    platform::showMessageBox(core::uiText(Message), applicationTitle(), platform::MsgButtons::Ok,
                             platform::MsgIcon::Information);
    const std::size_t startByte = error > 0 ? static_cast<std::size_t>(error - 1) : 0;
    const int start = characterPositionOfByte(cell, startByte);
    Combo.setFocus();
    if (QLineEdit* edit = Combo.lineEdit())
        edit->setSelection(start, static_cast<int>(Combo.currentText().size()) - start);
    return false;
}

bool TBatchReplacerForm::ValidateInputs()
{
    if (ui_->cmbFindString->currentText().isEmpty()) {
        ui_->cmbFindString->setFocus();
        platform::showMessageBox(core::uiText(kTextNoFindText), applicationTitle(), platform::MsgButtons::Ok,
                                 platform::MsgIcon::Information);
        return false;
    }
    return ValidateCellText(*ui_->cmbFindString, kTextBadFind, 1) &&
           ValidateCellText(*ui_->cmbReplaceString, kTextBadReplace, 2);
}

void TBatchReplacerForm::WriteCurrentRow()
{
    const int row = ui_->sgBatch->Row();
    ui_->sgBatch->setCells(
        kColFlag, row,
        QString::fromStdString(ui_->chkCaseSensitive->isChecked() ? engines::YesText() : engines::NoText()));
    ui_->sgBatch->setCells(kColFind, row, ui_->cmbFindString->currentText());
    ui_->sgBatch->setCells(kColReplace, row, ui_->cmbReplaceString->currentText());
}

void TBatchReplacerForm::btnAddClick()
{
    if (!ValidateInputs())
        return;
    withoutSelectCell([this] {
        ++rowCount_;
        ui_->sgBatch->setRowCount(rowCount_ + 1);
        ui_->sgBatch->setRow(rowCount_);
        WriteCurrentRow();
    });
    updateTableControls();
    updateLaunchAction();
    ui_->btnModify->setEnabled(false);
}

void TBatchReplacerForm::btnModifyClick()
{
    if (!ValidateInputs())
        return;
    WriteCurrentRow();
    ui_->cmbFindString->setEditText(QString());
    ui_->cmbReplaceString->setEditText(QString());
    ui_->cmbFindString->setFocus();
    ui_->btnModify->setEnabled(false);
    updateLaunchAction();
}

void TBatchReplacerForm::sgBatchSelectCell(int ARow)
{
    // The grid's empty row (no table row) is not a row of the table.
    if (ARow < 1 || ARow > rowCount_)
        return;
    ui_->btnModify->setEnabled(true);
    ui_->cmbFindString->setEditText(ui_->sgBatch->Cells(kColFind, ARow));
    ui_->cmbReplaceString->setEditText(ui_->sgBatch->Cells(kColReplace, ARow));
    ui_->chkCaseSensitive->setChecked(ui_->sgBatch->Cells(kColFlag, ARow).toStdString() ==
                                      engines::YesText());
}

void TBatchReplacerForm::btnDeleteClick()
{
    if (rowCount_ == 0)
        return;
    withoutSelectCell([this] {
        controls::TWUXStringGrid& grid = *ui_->sgBatch;
        ui_->btnModify->setEnabled(false);
        for (int row = grid.Row(); row < rowCount_; ++row)
            for (int col = kColFlag; col <= kColReplace; ++col)
                grid.setCells(col, row, grid.Cells(col, row + 1));
        for (int col = kColFlag; col <= kColReplace; ++col)
            grid.setCells(col, rowCount_, QString());
        --rowCount_;
        if (rowCount_ > 0)
            grid.setRowCount(rowCount_ + 1);
    });
    updateTableControls();
    updateLaunchAction();
    if (!ui_->btnDelete->hasFocus())
        ui_->cmbFindString->setFocus();
}

bool TBatchReplacerForm::LoadTableIntoGrid(const std::string& FileName)
{
    engines::TableCells flags, finds, replaces;
    // A table without rows (a spreadsheet can open and give none) is no table.
    if (!engines::LoadTable(FileName, flags, finds, replaces) || flags.empty())
        return false;
    controls::TWUXStringGrid& grid = *ui_->sgBatch;
    // Rows beyond the new table keep no old texts.
    for (int row = 1; row <= rowCount_; ++row)
        for (int col = kColFlag; col <= kColReplace; ++col)
            grid.setCells(col, row, QString());
    rowCount_ = static_cast<std::int32_t>(flags.size());
    grid.setRowCount(rowCount_ + 1);
    grid.setRow(1);
    for (std::size_t i = 0; i < flags.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        grid.setCells(kColFlag, row, QString::fromStdString(flags[i]));
        grid.setCells(kColFind, row, QString::fromStdString(finds[i]));
        grid.setCells(kColReplace, row, QString::fromStdString(replaces[i]));
    }
    return true;
}

void TBatchReplacerForm::setDialogFolder(const std::string& fileName)
{
    dialogFolder_ = folderOf(fileName);
}

void TBatchReplacerForm::btnLoadClick()
{
    ui_->btnModify->setEnabled(false);
    const std::string fileName = chooseTableFile(false, dialogFolder_, std::string());
    if (fileName.empty())
        return;
    bool loaded = false;
    withoutSelectCell([&] { loaded = LoadTableIntoGrid(fileName); });
    if (!loaded) {
        platform::showMessageBox(core::uiText(kTextErrorLoad), applicationTitle(), platform::MsgButtons::Ok,
                                 platform::MsgIcon::Error);
        return;
    }
    lastFile_ = fileName;
    setDialogFolder(fileName);
    updateTableControls();
    updateLaunchAction();
}

void TBatchReplacerForm::btnSaveClick()
{
    // The proposed name: the last file's name with the table extension.
    std::string name =
        lastFile_.substr(lastFile_.rfind('\\') == std::string::npos ? 0 : lastFile_.rfind('\\') + 1);
    name = engines::StripExtension(name);
    if (!name.empty())
        name += ".rtbl";
    const std::string fileName = chooseTableFile(true, dialogFolder_, name);
    if (fileName.empty())
        return;
    lastFile_ = fileName;
    engines::TableCells flags, finds, replaces;
    gridCells(flags, finds, replaces);
    if (!engines::SaveTable(lastFile_, flags, finds, replaces)) {
        platform::showMessageBox(core::uiText(kTextErrorSave), applicationTitle(), platform::MsgButtons::Ok,
                                 platform::MsgIcon::Error);
        return;
    }
    setDialogFolder(lastFile_);
    updateLaunchAction();
}

void TBatchReplacerForm::showBadRow(std::int32_t row, const engines::TableCells& Finds)
{
    const int gridRow = row + 1;
    withoutSelectCell([&] { ui_->sgBatch->setRow(gridRow); });
    sgBatchSelectCell(gridRow);
    std::int32_t length = 0;
    if (engines::CheckFindText(Finds[static_cast<std::size_t>(row)], length) >= 0)
        ValidateCellText(*ui_->cmbFindString, kTextBadFind, 1);
    else
        ValidateCellText(*ui_->cmbReplaceString, kTextBadReplace, 2);
}

void TBatchReplacerForm::StartBatchReplace()
{
    if (!filelist::PrepareOperationSource(filelist::kCheckNothing)) {
        showNoFilesSelected();
        return;
    }
    if (!parameters_)
        LoadSettingsFrom(platform::IniFile(settingsFilePath()));
    engines::TableCells flags, finds, replaces;
    gridCells(flags, finds, replaces);
    engines::TableBlock block;
    const std::int32_t badRow = engines::CheckAndBuildTableBlock(block, flags, finds, replaces);
    if (badRow >= 0) {
        showBadRow(badRow, finds);
    } else if (!block) {
        platform::showMessageBox(core::uiText(kTextNoData), "", platform::MsgButtons::Ok,
                                 platform::MsgIcon::Error);
    } else {
        engines::TBatchReplacer thread;
        thread_ = &thread;
        thread.Flags = flags;
        thread.Finds = finds;
        thread.Replaces = replaces;
        parameters_->SetInternalValue("CreateBackUpCopy", ui_->chkbcopy->isChecked() ? core::kParameterTrue
                                                                                     : core::kParameterFalse);
        thread.parameters = parameters_.get();
        thread.rowCount = static_cast<std::int32_t>(flags.size());
        thread.backupFlag = ui_->chkbcopy->isChecked();
        thread.tableBlock = block;
        runReplaceThread(thread, std::string());
        platform::movableFree(thread.tableBlock);
        thread_ = nullptr;
    }
    endRun();
}

void TBatchReplacerForm::resizeColumns()
{
    controls::TWUXStringGrid& grid = *ui_->sgBatch;
    const int clientWidth = grid.width() - 2 * grid.frameWidth();
    const int scrollBar = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int rest = (clientWidth - kFlagColumnWidth - (scrollBar + 4 * kEdgeWidth)) / 2;
    grid.setColWidths(kColFlag, kFlagColumnWidth);
    grid.setColWidths(kColFind, std::max(rest, 1));
    grid.setColWidths(kColReplace, std::max(rest, 1));
}

bool TBatchReplacerForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->sgBatch && event->type() == QEvent::Resize)
        resizeColumns();
    return QWidget::eventFilter(watched, event);
}

void TBatchReplacerForm::focusChanged(QWidget* old, QWidget* now)
{
    const bool wasInside = old != nullptr && isAncestorOf(old);
    const bool isInside = now != nullptr && isAncestorOf(now);
    if (isInside && !wasInside) {
        setActiveForm(this);
        paintToolCaption(*ui_->pnlNameTools, true);
    } else if (wasInside && !isInside) {
        paintToolCaption(*ui_->pnlNameTools, false);
    }
}

} // namespace wux::tools
