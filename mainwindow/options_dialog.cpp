#include "mainwindow/options_dialog.h"

#include "ui_TOptions.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QShowEvent>

#include <array>

#include "core/settings_path.h"
#include "core/text_table.h"
#include "filelist/general_options.h"
#include "filelist/item_actions.h"
#include "mainwindow/settings.h"
#include "platform/dialogs.h"
#include "platform/folder_listing.h"
#include "platform/text.h"

namespace wux::mainwindow {

namespace {

constexpr int kTextBase = 900;
const char* const kEnglishLanguage = "English language";

// Each control and the number of its text, in the order the dialog assigns them.
struct ControlText
{
    const char* name;
    int id;
};

constexpr ControlText kControlTexts[] = {
    {"Options", 900},
    {"btnOk", 901},
    {"btnCancel", 902},
    {"btnSaveSettings", 903},
    {"btnApply", 904},
    {"tsLayout", 905},
    {"gbScreenLayout", 906},
    {"chkShowMainToolbar", 907},
    {"chkShowDriveButtons", 908},
    {"chkShowDriveButtonsAboveBothWindow", 909},
    {"chkShowDriveCombobox", 910},
    {"chkShowCurrentDirectory", 912},
    {"chkShowTabStopHeader", 911},
    {"chkShowStatusLine", 913},
    {"chkShowInfoBasketLine", 977},
    {"chkFlatBtnSendToBasket", 978},
    {"chkShowFunctionsKeyButtons", 914},
    {"tsDisplay", 915},
    {"GroupBox2", 916},
    {"chkShowHidden", 917},
    {"tsLanguage", 975},
    {"Label1", 976},
    {"tsBrowserView", 918},
    {"gbxFileviewFont", 919},
    {"lblFileFont", 920},
    {"lblFileFontEx", 921},
    {"btnLCompareFont", 922},
    {"tsEditView", 923},
    {"gbViewer", 927},
    {"Label2", 928},
    {"btnSelectViewer", 929},
    {"gbEditor", 924},
    {"lblEditor", 925},
    {"btnSelectEditor", 926},
    {"tsColor", 930},
    {"gbColor", 931},
    {"lblFontColor", 932},
    {"lblBackground", 933},
    {"lblMarkColor", 934},
    {"lblCursorColor", 935},
    {"lblCursorFont", 936},
    {"lblExample", 937},
    {"cmbFontColor", 938},
    {"cmbBackground", 939},
    {"cmbMarkColor", 940},
    {"cmbCursorColor", 941},
    {"cmbCursorFont", 942},
    {"lblMark", 943},
    {"lblText", 944},
    {"lblCursor", 945},
    {"tsConfirmations", 946},
    {"gbGetConfirmationBefore", 947},
    {"chkDeleteNonEmptyDirs", 948},
    {"chkOverwritingFiles", 949},
    {"chkOverwritingReadOnlyFiles", 950},
    {"chkOverwritingHiddenSystemFiles", 951},
    {"tsOperation", 952},
    {"gbSelection", 953},
    {"rbtSelectedFilesOnly", 954},
    {"rbtAlsoSelectedDirectories", 955},
    {"gbQuickSearch", 956},
    {"rbtCtrlAltLetter", 957},
    {"rbtAltLetter", 958},
    {"gbMisc", 959},
    {"chkSelectoinWithSpace", 960},
    {"chkDeleteToRecycleBin", 961},
    {"chkSelectFilesInSearchResult", 979},
    {"chkSelectFilesWhileSendToBasket", 980},
    {"chkSaveSett", 962},
    {"chkRestoreRenStng", 981},
};

QString qText(int id)
{
    return QString::fromStdString(core::uiText(id));
}

// A text on a control of whatever kind it is.
void setControlText(QWidget* control, const QString& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setPlaceholderText(text);
    else
        control->setWindowTitle(text); // the dialog and its pages
}

void setBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setForeground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

std::uint32_t bitIf(bool condition, std::uint32_t bit)
{
    return condition ? bit : 0;
}

} // namespace

void RegisterOptionsTexts()
{
    core::registerDefaultTexts({
        {900, "Options"},
        {901, "&Ok"},
        {902, "&Cancel"},
        {903, "&Save settings"},
        {904, "&Apply"},
        {905, "Layout"},
        {906, "Screen layout"},
        {907, "Show &main toolbar"},
        {908, "Show &drive buttons"},
        {909, "Show drive buttons above &both window"},
        {910, "Show drive combobo&x"},
        {911, "Show &tabstop header"},
        {912, "Show cu&rrent directory"},
        {913, "Show status li&ne"},
        {914, "Show &functions key buttons"},
        {915, "Display"},
        {916, "Main program"},
        {917, "&Show Hidden/System files"},
        {918, "Browser fileview"},
        {919, "Font fileview, basketview panel"},
        {920, "Font name, Size, Style"},
        {921, "AaBbYyZz"},
        {922, "Change font"},
        {923, "Edit/View"},
        {924, "Editor for F4"},
        {925, "&Editor:"},
        {926, ">>"},
        {927, "Viewer for F3"},
        {928, "&Viewer:"},
        {929, ">>"},
        {930, "Colors"},
        {931, "Colors"},
        {932, "&Font color"},
        {933, "Background"},
        {934, "&Mark color"},
        {935, "&Cursor color"},
        {936, "Cu&rsor font"},
        {937, "Example"},
        {938, "default"},
        {939, "default"},
        {940, "default"},
        {941, "default"},
        {942, "default"},
        {943, "Mark"},
        {944, "Text"},
        {945, "Cursor"},
        {946, "Confirmations"},
        {947, "Get confirmation before"},
        {948, "Deleting &non-empty directories"},
        {949, "&Overwriting files"},
        {950, "Overwriting/Deleting &read-only files"},
        {951, "Overwriting/Deleting &hidden/system files"},
        {952, "Operation"},
        {953, "Selection (with Gray +)"},
        {954, "&Selected files only"},
        {955, "Also selected d&irectories"},
        {956, "Quick search (dir, file)"},
        {957, "&Ctrl+Alt+Letter"},
        {958, "Al&t+Letter"},
        {959, "Misc"},
        {960, "C&alculate space occupied by subdirectories when selection with <Space>"},
        {961, "&F8/Del deletes to Recycle Bin (Shift+F8 = delete directly)"},
        {962, "Save settings on exit"},
        {963, "default"},
        {964, "black"},
        {965, "white"},
        {966, "yellow"},
        {967, "green"},
        {968, "navy"},
        {969, "teal"},
        {970, "gray"},
        {971, "silver"},
        {972, "red"},
        {973, "blue"},
        {974, "aqua"},
        {975, "Language"},
        {976, "C&hange the language"},
        {977, "Show status of the bas&ket line"},
        {978, "F&lat button \"Send to Basket\""},
        {979, "Select the files on \"Search results\" window after searching finished"},
        {980, "Select the files while sending them to the Basket"},
        {981, "Restore the settings of Renamer utility on start up"},
    });
}

TOptions::TOptions(MainWindowHost& host, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TOptions>()), host_(host)
{
    ui_->setupUi(this);
    setObjectName(QStringLiteral("Options"));
    ui_->btnOk->setDefault(true);
    ui_->btnApply->setEnabled(false);
    // The tree lists the pages and nothing else: no editing, no collapsing.
    ui_->tvOptions->setRootIsDecorated(false);
    ui_->tvOptions->setItemsExpandable(false);
    ui_->tvOptions->installEventFilter(this);

    for (QCheckBox* box : findChildren<QCheckBox*>())
        connect(box, &QCheckBox::clicked, this, [this, box] {
            if (box == ui_->chkShowDriveButtons)
                chkShowDriveButtonsClick();
            else if (box == ui_->chkShowInfoBasketLine)
                chkShowInfoBasketLineClick();
            else if (box == ui_->chkSaveSett)
                chkSaveSettClick();
            else
                SettingChanged();
        });
    for (QRadioButton* radio : findChildren<QRadioButton*>())
        connect(radio, &QRadioButton::clicked, this, &TOptions::SettingChanged);
    connect(ui_->edtViewer, &QLineEdit::textEdited, this, &TOptions::SettingChanged);
    connect(ui_->edtEditor, &QLineEdit::textEdited, this, &TOptions::SettingChanged);
    connect(ui_->lstLanguage, &QListWidget::currentRowChanged, this, &TOptions::SettingChanged);
    int slot = 1;
    for (QComboBox* combo : {ui_->cmbFontColor, ui_->cmbBackground, ui_->cmbMarkColor, ui_->cmbCursorColor,
                             ui_->cmbCursorFont}) {
        combo->setProperty("tag", slot);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, slot] { cmbFontColorChange(slot); });
        ++slot;
    }
    connect(ui_->btnSelectViewer, &QPushButton::clicked, this, &TOptions::btnSelectViewerClick);
    connect(ui_->btnSelectEditor, &QPushButton::clicked, this, &TOptions::btnSelectEditorClick);
    connect(ui_->btnLCompareFont, &QPushButton::clicked, this, &TOptions::btnLCompareFontClick);
    connect(ui_->tvOptions, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { tvOptionsChange(node); });
    connect(ui_->btnApply, &QPushButton::clicked, this, &TOptions::btnApplyClick);
    connect(ui_->btnOk, &QPushButton::clicked, this, &TOptions::btnOkClick);
    connect(ui_->btnSaveSettings, &QPushButton::clicked, this, &TOptions::btnSaveSettingsClick);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TOptions::~TOptions() = default;

void TOptions::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TOptions::FormShow()
{
    OptionsChangeFlags = 0;
    ApplyTexts(kTextBase);
    FillLanguageList();
    SetCurSettingInComponents();
}

void TOptions::ApplyTexts(int baseId)
{
    for (const ControlText& entry : kControlTexts) {
        QWidget* control =
            entry.id == kTextBase ? this : findChild<QWidget*>(QString::fromLatin1(entry.name));
        if (control)
            setControlText(control, qText(baseId + (entry.id - kTextBase)));
    }
    for (QComboBox* combo : {ui_->cmbFontColor, ui_->cmbBackground, ui_->cmbMarkColor, ui_->cmbCursorColor,
                             ui_->cmbCursorFont}) {
        const QSignalBlocker blocker(combo);
        const int index = combo->currentIndex();
        combo->clear();
        for (int i = 0; i < kColorListCount; ++i)
            combo->addItem(qText(kColorNameBaseId + i));
        combo->setCurrentIndex(index);
    }
    const QSignalBlocker blocker(ui_->tvOptions);
    ui_->tvOptions->clear();
    for (int page = 0; page < ui_->OptionsPages->count(); ++page) {
        auto* node = new QTreeWidgetItem(ui_->tvOptions);
        node->setText(0, ui_->OptionsPages->widget(page)->windowTitle().remove(QLatin1Char('&')));
        node->setData(0, Qt::UserRole, page);
    }
    ui_->tvOptions->setCurrentItem(ui_->tvOptions->topLevelItem(0));
    tvOptionsChange(ui_->tvOptions->topLevelItem(0));
}

void TOptions::FillLanguageList()
{
    const QSignalBlocker blocker(ui_->lstLanguage);
    ui_->lstLanguage->clear();
    ui_->lstLanguage->addItem(QString::fromLatin1(kEnglishLanguage));
    platform::FolderListing listing;
    platform::FindData data;
    const std::string pattern = core::withTrailingBackslash(core::ProgramFolder()) + "*.lng";
    for (platform::WinError error = listing.findFirst(pattern, data); error == platform::kErrorSuccess;
         error = listing.findNext(data)) {
        if ((data.attributes & 0x10) == 0)
            ui_->lstLanguage->addItem(QString::fromStdString(data.name));
    }
    const std::string& current = core::classTranslator().LanguageName;
    shownLanguageRow_ = current.empty() ? 0 : -1;
    for (int row = 1; row < ui_->lstLanguage->count() && shownLanguageRow_ < 0; ++row)
        if (platform::equalNoCase(ui_->lstLanguage->item(row)->text().toStdString(), current))
            shownLanguageRow_ = row;
    ui_->lstLanguage->setCurrentRow(shownLanguageRow_);
}

void TOptions::SetCurSettingInComponents()
{
    const std::uint32_t options = filelist::GeneralCheckContainer.load();
    const auto has = [&](std::uint32_t bit) { return (options & bit) != 0; };
    const auto shows = [](std::uint32_t bit) { return (Layout & bit) != 0; };

    ui_->chkShowMainToolbar->setChecked(shows(kLayoutMainToolbar));
    ui_->chkShowFunctionsKeyButtons->setChecked(shows(kLayoutFunctionKeys));
    ui_->chkShowDriveButtonsAboveBothWindow->setChecked(shows(kLayoutPanelDriveBars));
    ui_->chkShowDriveButtons->setChecked(shows(kLayoutSharedDriveBar) ||
                                         ui_->chkShowDriveButtonsAboveBothWindow->isChecked());
    ui_->chkShowDriveButtonsAboveBothWindow->setEnabled(ui_->chkShowDriveButtons->isChecked());
    ui_->chkShowDriveCombobox->setChecked(shows(kLayoutDriveCombo));
    ui_->chkShowTabStopHeader->setChecked(shows(kLayoutHeader));
    ui_->chkShowCurrentDirectory->setChecked(shows(kLayoutCurrentDirectory));
    ui_->chkShowStatusLine->setChecked(shows(kLayoutStatusLine));
    ui_->chkShowInfoBasketLine->setChecked(!shows(kLayoutNoBasketLine));
    ui_->chkFlatBtnSendToBasket->setChecked(shows(kLayoutFlatSendToBasket));
    ui_->chkFlatBtnSendToBasket->setEnabled(ui_->chkShowInfoBasketLine->isChecked());

    ui_->chkSelectoinWithSpace->setChecked(has(kOptionSpaceMeasuresFolders));
    ui_->chkDeleteNonEmptyDirs->setChecked(!has(kOptionNoNonEmptyFolderConfirmation));
    ui_->chkDeleteToRecycleBin->setChecked(has(kOptionRecycleBin));
    ui_->rbtSelectedFilesOnly->setChecked(has(kOptionFilesOnlyMaskSelection));
    ui_->rbtAlsoSelectedDirectories->setChecked(!ui_->rbtSelectedFilesOnly->isChecked());
    ui_->chkOverwritingFiles->setChecked(has(kOptionConfirmOverwrite));
    ui_->chkOverwritingHiddenSystemFiles->setChecked(has(kOptionConfirmHiddenSystem));
    ui_->chkOverwritingReadOnlyFiles->setChecked(has(kOptionConfirmReadOnly));
    ui_->chkShowHidden->setChecked(has(kOptionShowHiddenFiles));
    // Two radio buttons of one group: neither is ticked when the word holds neither bit, and Ctrl+Alt,
    // the default, when it holds both.
    ui_->rbtAltLetter->setAutoExclusive(false);
    ui_->rbtCtrlAltLetter->setAutoExclusive(false);
    ui_->rbtAltLetter->setChecked(has(kOptionQuickSearchAlt) && !has(kOptionQuickSearchCtrlAlt));
    ui_->rbtCtrlAltLetter->setChecked(has(kOptionQuickSearchCtrlAlt));
    ui_->rbtAltLetter->setAutoExclusive(true);
    ui_->rbtCtrlAltLetter->setAutoExclusive(true);
    ui_->chkSaveSett->setChecked(has(kOptionSaveOnExit));
    ui_->chkRestoreRenStng->setChecked(has(kOptionRestoreRenamer) && ui_->chkSaveSett->isChecked());
    ui_->chkRestoreRenStng->setEnabled(ui_->chkSaveSett->isChecked());
    ui_->chkSelectFilesInSearchResult->setChecked(has(kOptionSelectSearchResults));
    ui_->chkSelectFilesWhileSendToBasket->setChecked(has(kOptionSelectBasketSends));

    ui_->edtEditor->setText(QString::fromStdString(filelist::EditorProgram));
    ui_->edtViewer->setText(QString::fromStdString(filelist::ViewerProgram));
    showFont(BrowserFont());

    int slot = 1;
    for (QComboBox* combo : {ui_->cmbFontColor, ui_->cmbBackground, ui_->cmbMarkColor, ui_->cmbCursorColor,
                             ui_->cmbCursorFont}) {
        const int index = MainColorIndexes[static_cast<std::size_t>(slot - 1)];
        {
            const QSignalBlocker blocker(combo);
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        }
        showExampleColor(slot, index);
        ++slot;
    }
    ui_->btnApply->setEnabled(false);
    ui_->btnSaveSettings->setEnabled(OptionsApplied == 1);
}

void TOptions::showFont(const QFont& font)
{
    ui_->lblFileFont->setText(QString::fromStdString(fntCaption(font)));
    ui_->lblFileFontEx->setFont(font);
}

void TOptions::showExampleColor(int slot, int index)
{
    const QColor color = colorFromBgr(ColorOfIndex(index, slot));
    switch (slot) {
    case 1:
        setForeground(ui_->lblText, color);
        break;
    case 2:
        setBackground(ui_->pnlExample, color);
        break;
    case 3:
        setForeground(ui_->lblMark, color);
        break;
    case 4:
        setBackground(ui_->lblCursor, color);
        break;
    case 5:
        setForeground(ui_->lblCursor, color);
        break;
    default:
        break;
    }
}

void TOptions::SettingChanged()
{
    ui_->btnApply->setEnabled(true);
    ui_->btnSaveSettings->setEnabled(true);
}

void TOptions::chkShowDriveButtonsClick()
{
    const bool on = ui_->chkShowDriveButtons->isChecked();
    if (!on)
        ui_->chkShowDriveButtonsAboveBothWindow->setChecked(false);
    ui_->chkShowDriveButtonsAboveBothWindow->setEnabled(on);
    SettingChanged();
}

void TOptions::chkShowInfoBasketLineClick()
{
    ui_->chkFlatBtnSendToBasket->setEnabled(ui_->chkShowInfoBasketLine->isChecked());
    SettingChanged();
}

void TOptions::chkSaveSettClick()
{
    SettingChanged();
    const bool on = ui_->chkSaveSett->isChecked();
    ui_->chkRestoreRenStng->setEnabled(on);
    if (!on)
        ui_->chkRestoreRenStng->setChecked(false);
}

std::string TOptions::chooseProgram(const std::string& current)
{
    (void)current;
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Open;
    request.filter = "All files (*)";
    request.parent = this;
    return platform::dialogService().fileDialog(request);
}

void TOptions::btnSelectViewerClick()
{
    const std::string chosen = chooseProgram(filelist::ViewerProgram);
    if (chosen.empty())
        return;
    ui_->edtViewer->setText(QString::fromStdString(chosen));
    filelist::ViewerProgram = chosen;
    SettingChanged();
}

void TOptions::btnSelectEditorClick()
{
    const std::string chosen = chooseProgram(filelist::EditorProgram);
    if (chosen.empty())
        return;
    ui_->edtEditor->setText(QString::fromStdString(chosen));
    filelist::EditorProgram = chosen;
    SettingChanged();
}

void TOptions::btnLCompareFontClick()
{
    platform::FontDialogRequest request;
    request.initial = ui_->lblFileFontEx->font();
    request.parent = this;
    QFont chosen;
    if (!platform::dialogService().fontDialog(request, chosen))
        return;
    showFont(chosen);
    BrowserFont() = chosen;
    OptionsChangeFlags |= kOptionsFontChanged;
    SettingChanged();
}

void TOptions::cmbFontColorChange(int slot)
{
    QComboBox* const combos[] = {ui_->cmbFontColor, ui_->cmbBackground, ui_->cmbMarkColor,
                                 ui_->cmbCursorColor, ui_->cmbCursorFont};
    showExampleColor(slot, combos[slot - 1]->currentIndex());
    SettingChanged();
}

void TOptions::tvOptionsChange(QTreeWidgetItem* node)
{
    if (node)
        ui_->OptionsPages->setCurrentIndex(node->data(0, Qt::UserRole).toInt());
}

bool TOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->tvOptions && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        int step = 0;
        if (key == Qt::Key_Down || key == Qt::Key_Right)
            step = 1;
        else if (key == Qt::Key_Up || key == Qt::Key_Left)
            step = -1;
        if (step != 0) {
            QTreeWidget* tree = ui_->tvOptions;
            const int row = tree->indexOfTopLevelItem(tree->currentItem()) + step;
            if (row >= 0 && row < tree->topLevelItemCount())
                tree->setCurrentItem(tree->topLevelItem(row));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TOptions::PressedApply()
{
    // The two drive boxes choose one of the bars; a stored layout with both keeps them while the boxes
    // still show what it gave them.
    const bool showDrives = ui_->chkShowDriveButtons->isChecked();
    const bool panelBars = ui_->chkShowDriveButtonsAboveBothWindow->isChecked();
    const std::uint32_t driveBars = Layout & (kLayoutPanelDriveBars | kLayoutSharedDriveBar);
    const bool boxesAsShown =
        showDrives == (driveBars != 0) && panelBars == ((driveBars & kLayoutPanelDriveBars) != 0);
    Layout = bitIf(ui_->chkShowStatusLine->isChecked(), kLayoutStatusLine) |
             bitIf(ui_->chkShowMainToolbar->isChecked(), kLayoutMainToolbar) |
             (boxesAsShown ? driveBars
              : showDrives ? (panelBars ? kLayoutPanelDriveBars : kLayoutSharedDriveBar)
                           : 0) |
             bitIf(ui_->chkShowDriveCombobox->isChecked(), kLayoutDriveCombo) |
             bitIf(ui_->chkShowCurrentDirectory->isChecked(), kLayoutCurrentDirectory) |
             bitIf(ui_->chkShowTabStopHeader->isChecked(), kLayoutHeader) |
             bitIf(ui_->chkShowFunctionsKeyButtons->isChecked(), kLayoutFunctionKeys) |
             bitIf(!ui_->chkShowInfoBasketLine->isChecked(), kLayoutNoBasketLine) |
             bitIf(ui_->chkFlatBtnSendToBasket->isChecked(), kLayoutFlatSendToBasket);
    ApplyScreenLayout(host_);

    if (ui_->chkShowHidden->isChecked() != filelist::HasGeneralOption(kOptionShowHiddenFiles))
        OptionsChangeFlags |= kOptionsHiddenFilesChanged;

    filelist::EditorProgram = ui_->edtEditor->text().toStdString();
    filelist::ViewerProgram = ui_->edtViewer->text().toStdString();

    filelist::GeneralCheckContainer =
        bitIf(ui_->chkDeleteToRecycleBin->isChecked(), kOptionRecycleBin) |
        bitIf(ui_->chkSelectoinWithSpace->isChecked(), kOptionSpaceMeasuresFolders) |
        bitIf(!ui_->chkDeleteNonEmptyDirs->isChecked(), kOptionNoNonEmptyFolderConfirmation) |
        bitIf(ui_->rbtSelectedFilesOnly->isChecked(), kOptionFilesOnlyMaskSelection) |
        bitIf(ui_->chkOverwritingFiles->isChecked(), kOptionConfirmOverwrite) |
        bitIf(ui_->chkOverwritingReadOnlyFiles->isChecked(), kOptionConfirmReadOnly) |
        bitIf(ui_->chkOverwritingHiddenSystemFiles->isChecked(), kOptionConfirmHiddenSystem) |
        bitIf(ui_->chkShowHidden->isChecked(), kOptionShowHiddenFiles) |
        bitIf(ui_->rbtCtrlAltLetter->isChecked(), kOptionQuickSearchCtrlAlt) |
        bitIf(ui_->rbtAltLetter->isChecked(), kOptionQuickSearchAlt) |
        bitIf(ui_->chkSaveSett->isChecked(), kOptionSaveOnExit) |
        bitIf(ui_->chkRestoreRenStng->isChecked(), kOptionRestoreRenamer) |
        bitIf(ui_->chkSelectFilesInSearchResult->isChecked(), kOptionSelectSearchResults) |
        bitIf(ui_->chkSelectFilesWhileSendToBasket->isChecked(), kOptionSelectBasketSends);

    int slot = 1;
    for (QComboBox* combo : {ui_->cmbFontColor, ui_->cmbBackground, ui_->cmbMarkColor, ui_->cmbCursorColor,
                             ui_->cmbCursorFont}) {
        const std::size_t i = static_cast<std::size_t>(slot - 1);
        MainColorIndexes[i] = combo->currentIndex();
        MainColors[i] = colorFromBgr(ColorOfIndex(MainColorIndexes[i], slot));
        ++slot;
    }

    if (OptionsChangeFlags & kOptionsHiddenFilesChanged)
        host_.refreshPanels();
    host_.updatePanelGrids();

    // The language changes only when the user picked another item than the one shown.
    const int row = ui_->lstLanguage->currentRow();
    if (row >= 0 && row != shownLanguageRow_) {
        shownLanguageRow_ = row;
        const std::string name = row == 0 ? std::string() : ui_->lstLanguage->item(row)->text().toStdString();
        core::TClassTranslator& texts = core::classTranslator();
        if (name != texts.LanguageName) {
            texts.LanguageName = name;
            texts.ResetTranslations();
            if (!name.empty())
                texts.LoadFromFile(core::withTrailingBackslash(core::ProgramFolder()) + name);
            host_.applyLanguage();
        }
    }
}

void TOptions::btnApplyClick()
{
    OptionsApplied = 1;
    PressedApply();
    ui_->btnOk->setFocus();
    ui_->btnApply->setEnabled(false);
}

void TOptions::btnOkClick()
{
    if (ui_->btnApply->isEnabled()) {
        PressedApply();
        OptionsApplied = 1;
    }
    accept();
}

void TOptions::btnSaveSettingsClick()
{
    PressedApply();
    ui_->btnOk->setFocus();
    ui_->btnApply->setEnabled(false);
    ui_->btnSaveSettings->setEnabled(false);
    OptionsApplied = 0;
    SaveAllSettings(host_);
}

void ShowOptionsDialog(MainWindowHost& host, QWidget* parent)
{
    {
        TOptions dialog(host, parent);
        dialog.exec();
    }
    host.updatePanelGrids();
}

} // namespace wux::mainwindow
