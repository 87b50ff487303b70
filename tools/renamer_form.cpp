#include "tools/renamer_form.h"

#include "ui_TRenamerForm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>

#include <iterator>

#include "core/text_table.h"
#include "engines/rename_thread.h"
#include "filelist/active_panel.h"
#include "filelist/basket.h"
#include "filelist/file_operations.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "tools/replace_window_support.h"
#include "tools/run_window.h"
#include "tools/search_results.h"
#include "tools/tool_host.h"

namespace wux::tools {

namespace {

constexpr const char* kSection = "Renamer";
constexpr std::uint32_t kOptionRestoreCounter = 0x1000;
constexpr int kTextNoFilesSelected = 39;
constexpr int kDigitEntries = 10;
constexpr int kCaseEntries = 5;
constexpr int kRenameListMode = 4;

enum RenamerText : int
{
    kTitle = 0,
    kHint = 1,
    kPreviewTitle = 2,
    kRunTitle = 3,
    kNameGroup = 4,
    kExtensionGroup = 5,
    kName = 6,
    kRange = 7,
    kCounter = 8,
    kTime = 9,
    kDate = 10,
    kExt = 11,
    kExtRange = 12,
    kSearchGroup = 13,
    kSearchFor = 14,
    kReplaceWith = 15,
    kCaseGroup = 16,
    kCounterGroup = 17,
    kStartAt = 18,
    kStepBy = 19,
    kDigits = 20,
    kPreview = 21,
    kHelp = 22,
    kCaseModes = 23,
};

constexpr const char* kDefaultTexts[] = {"Renamer",
                                         "Rename files",
                                         "Preview Multi-Rename Tool",
                                         "Multi-Rename Tool",
                                         " &Rename mask: file name ",
                                         " E&xtension ",
                                         "[N] Name",
                                         "[N #-#] Range",
                                         "[C] Counter",
                                         "[hms] Time",
                                         "[YMD] Date",
                                         "[E] Ext",
                                         "[E #-#] Range",
                                         " Se&arch && Replace ",
                                         "Search for:",
                                         "Replace with:",
                                         " Cas&e sensitive ",
                                         " &Define counter [C] ",
                                         "Start at:",
                                         "Step by:",
                                         "Digits:",
                                         "&Preview Rename",
                                         "Help",
                                         "Unchanged",
                                         "all lowercase",
                                         "ALL UPPERCASE",
                                         "First letter uppercase",
                                         "First Of Each Word Uppercase"};
constexpr int kTextCount = int(std::size(kDefaultTexts));

QString qText(int id)
{
    return platform::toQString(core::uiText(id));
}

bool isInside(const QWidget* widget, const QWidget* ancestor)
{
    return widget != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

std::string applicationTitle()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? std::string("Wuxtool") : platform::toUtf8(name);
}

} // namespace

// ---- Pure parts ----

const RenamerToken* renamerToken(int tag)
{
    for (const RenamerToken& token : kRenamerTokens)
        if (token.tag == tag)
            return &token;
    return nullptr;
}

std::int32_t packRnStatus(int digitsIndex, int caseIndex)
{
    return std::int32_t(digitsIndex + 16 * caseIndex);
}

void unpackRnStatus(std::int32_t value, int& digitsIndex, int& caseIndex)
{
    digitsIndex = int(value & 15);
    caseIndex = int((value >> 4) & 7);
    if (digitsIndex >= kDigitEntries)
        digitsIndex = 0;
    if (caseIndex >= kCaseEntries)
        caseIndex = 0;
}

engines::TRenamerFileStructure buildRenameRequest(const RenamerInputs& inputs)
{
    engines::TRenamerFileStructure request;
    request.mask = inputs.nameMask + "." + inputs.extensionMask;
    request.start = inputs.start;
    request.digits = inputs.digitsIndex + 1;
    request.step = inputs.step;
    request.replaceOn = !inputs.find.empty();
    request.find = inputs.find;
    request.replace = inputs.replace;
    request.caseMode = inputs.caseIndex + 1;
    return request;
}

// ---- Window ----

TRenamerForm::TRenamerForm(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TRenamerForm>())
{
    ui_->setupUi(this);
    ui_->cmbFileName->setEditText(QStringLiteral("[N]"));
    ui_->cmbFileExt->setEditText(QStringLiteral("[E]"));
    onLabelClick(*ui_->pnlNameTools, [this] { pnlAddressLineClick(); });
    for (controls::TWUXBitBtn* button :
         {ui_->btnName, ui_->btnRange, ui_->btnCounter, ui_->btnDate, ui_->btnTima, ui_->WUXBitBtn1,
          ui_->btnExt, ui_->btnExtRange, ui_->btnExtCounter})
        connect(button, &QPushButton::clicked, this,
                [this, button] { btnNameClick(button->property("Tag").toInt()); });
    connect(ui_->btnStartOperation, &QPushButton::clicked, this, &TRenamerForm::btnStartOperationClick);
    connect(ui_->btnHelpRenamer, &QPushButton::clicked, this, [] { showToolHelp("RENAMER.htm"); });
    connect(qApp, &QApplication::focusChanged, this, &TRenamerForm::focusChanged);
    paintToolCaption(*ui_->pnlNameTools, false);
    // The width fits the groups; the height may grow.
    const int width = layout()->minimumSize().width();
    setMinimumWidth(width);
    setMaximumWidth(width);
    setMinimumHeight(425);
}

TRenamerForm::~TRenamerForm()
{
    // The focus signal must not reach the form while its base class is being destroyed.
    disconnect(qApp, nullptr, this, nullptr);
}

void TRenamerForm::InitTool()
{
    setHelpGlyph(*ui_->btnHelpRenamer);
    setStartGlyph(*ui_->btnStartOperation);
}

void TRenamerForm::RegisterDefaultTexts(int baseId)
{
    previewTitleId_ = baseId + kPreviewTitle;
    runTitleId_ = baseId + kRunTitle;
    for (int i = 0; i < kTextCount; ++i)
        core::registerDefaultTexts({{baseId + i, kDefaultTexts[i]}});
}

void TRenamerForm::Translate(int baseId)
{
    auto text = [baseId](int offset) { return qText(baseId + offset); };
    ui_->pnlNameTools->setText(text(kTitle));
    ui_->dbName->setTitle(text(kNameGroup));
    ui_->gbExtension->setTitle(text(kExtensionGroup));
    ui_->btnName->setText(text(kName));
    ui_->btnRange->setText(text(kRange));
    ui_->btnCounter->setText(text(kCounter));
    ui_->btnExtCounter->setText(text(kCounter));
    ui_->btnTima->setText(text(kTime));
    ui_->btnDate->setText(text(kDate));
    ui_->btnExt->setText(text(kExt));
    ui_->btnExtRange->setText(text(kExtRange));
    ui_->gbSearchAndReplase->setTitle(text(kSearchGroup));
    ui_->lblSearch->setText(text(kSearchFor));
    ui_->lblReplace->setText(text(kReplaceWith));
    ui_->gbSensitive->setTitle(text(kCaseGroup));
    ui_->gbCounter->setTitle(text(kCounterGroup));
    ui_->lblStart->setText(text(kStartAt));
    ui_->lblStep->setText(text(kStepBy));
    ui_->lblDigits->setText(text(kDigits));
    ui_->btnStartOperation->setText(text(kPreview));
    ui_->btnHelpRenamer->setText(text(kHelp));
    QComboBox& box = *ui_->cmbCaseSensitive;
    const int index = std::max(box.currentIndex(), 0);
    QSignalBlocker block(&box);
    box.clear();
    for (int i = 0; i < kCaseEntries; ++i)
        box.addItem(text(kCaseModes + i));
    box.setCurrentIndex(std::min(index, kCaseEntries - 1));
}

void TRenamerForm::LoadSettings()
{
    const platform::IniFile ini = SettingsIni();
    struct Box
    {
        controls::TVYKComboBox* box;
        const char* history;
        const char* value;
    };
    const std::array<Box, 4> boxes = {{{ui_->cmbFileName, "MASK_NAME", "MASK_NAME_VALUE"},
                                       {ui_->cmbFileExt, "MASK_EXT", "MASK_EXT_VALUE"},
                                       {ui_->cmbSearch, "SEARCH_FOR", "SEARCH_FOR_VALUE"},
                                       {ui_->cmbReplace, "REPLACE_TO", "REPLACE_TO_VALUE"}}};
    for (const Box& entry : boxes) {
        entry.box->LoadHistory(ini, kSection, entry.history);
        const std::string current = platform::toUtf8(entry.box->currentText());
        entry.box->setEditText(platform::toQString(ini.readString(kSection, entry.value, current)));
    }
    if (filelist::HasGeneralOption(kOptionRestoreCounter)) {
        ui_->spStart->setValue(ini.readInteger(kSection, "RnStartAt", 0));
        ui_->spStep->setValue(ini.readInteger(kSection, "RnStepBy", 0));
        int digits = 0;
        int caseMode = 0;
        unpackRnStatus(ini.readInteger(kSection, "RnStatus", 0), digits, caseMode);
        ui_->cmbDigits->setCurrentIndex(digits);
        ui_->cmbCaseSensitive->setCurrentIndex(caseMode);
    }
}

void TRenamerForm::SaveSettings()
{
    platform::IniFile ini = SettingsIni();
    if (filelist::HasGeneralOption(kOptionRestoreCounter)) {
        ini.writeInteger(kSection, "RnStartAt", ui_->spStart->value());
        ini.writeInteger(kSection, "RnStepBy", ui_->spStep->value());
        ini.writeInteger(kSection, "RnStatus",
                         packRnStatus(std::max(ui_->cmbDigits->currentIndex(), 0),
                                      std::max(ui_->cmbCaseSensitive->currentIndex(), 0)));
    }
    ui_->cmbFileName->SaveHistory(ini, kSection, "MASK_NAME");
    ui_->cmbFileExt->SaveHistory(ini, kSection, "MASK_EXT");
    ui_->cmbSearch->SaveHistory(ini, kSection, "SEARCH_FOR");
    ui_->cmbReplace->SaveHistory(ini, kSection, "REPLACE_TO");
    ini.writeString(kSection, "MASK_NAME_VALUE", platform::toUtf8(ui_->cmbFileName->currentText()));
    ini.writeString(kSection, "MASK_EXT_VALUE", platform::toUtf8(ui_->cmbFileExt->currentText()));
    ini.writeString(kSection, "SEARCH_FOR_VALUE", platform::toUtf8(ui_->cmbSearch->currentText()));
    ini.writeString(kSection, "REPLACE_TO_VALUE", platform::toUtf8(ui_->cmbReplace->currentText()));
}

bool TRenamerForm::CanStart(filelist::TstateOfBrowser* panelState)
{
    const bool ready = panelState != nullptr && panelState->selectedCount != 0;
    if (!ready && ui_->btnStartOperation->hasFocus())
        ui_->cmbFileName->setFocus();
    ui_->btnStartOperation->setEnabled(ready);
    return ready;
}

void TRenamerForm::StartOperation()
{
    if (ui_->btnStartOperation->isEnabled())
        ui_->btnStartOperation->click();
}

void TRenamerForm::ShowHelp()
{
    ui_->btnHelpRenamer->click();
}

void TRenamerForm::ShowTitle(bool visible)
{
    ui_->pnlAlign->setVisible(visible);
}

RenamerInputs TRenamerForm::inputs() const
{
    RenamerInputs in;
    in.nameMask = platform::toUtf8(ui_->cmbFileName->currentText());
    in.extensionMask = platform::toUtf8(ui_->cmbFileExt->currentText());
    in.start = ui_->spStart->value();
    in.step = ui_->spStep->value();
    in.digitsIndex = std::max(ui_->cmbDigits->currentIndex(), 0);
    in.caseIndex = std::max(ui_->cmbCaseSensitive->currentIndex(), 0);
    in.find = platform::toUtf8(ui_->cmbSearch->currentText());
    in.replace = platform::toUtf8(ui_->cmbReplace->currentText());
    return in;
}

void TRenamerForm::btnNameClick(int tag)
{
    const RenamerToken* token = renamerToken(tag);
    if (token == nullptr)
        return;
    QComboBox* box = token->extensionBox ? ui_->cmbFileExt : ui_->cmbFileName;
    box->setEditText(box->currentText() + platform::toQString(token->token));
}

// ---- The rename ----

void TRenamerForm::btnStartOperationClick()
{
    IToolPanelsHost* host = toolPanelsHost();
    filelist::IBrowserPanel* panel = host != nullptr ? host->PanelBesideTools() : nullptr;
    if (panel == nullptr)
        return;
    filelist::BasketState.mode = panel->BasketView().mode;
    filelist::TstateOfBrowser& source =
        panel->ViewMode() == filelist::kViewBasket ? filelist::BasketState : panel->Listing();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (!filelist::CopySelectedToState(engines::RenameStore, source)) {
        QGuiApplication::restoreOverrideCursor();
        platform::showMessageBox(core::uiText(kTextNoFilesSelected), applicationTitle(),
                                 platform::MsgButtons::Ok, platform::MsgIcon::Warning);
        return;
    }
    source.busy = 1;
    filelist::BeginFlatView(engines::RenameStore, engines::RenameStore.itemCount);
    filelist::SortAllFolders(engines::RenameStore);
    engines::renamerFileStructure() = buildRenameRequest(inputs());
    QGuiApplication::restoreOverrideCursor();

    engines::ResultListState = &engines::RenameStore;
    engines::RenameStore.mode = kRenameListMode;
    bool confirmed = false;
    {
        IToolHost* toolHostNow = toolHost();
        TSrchRes preview(toolHostNow != nullptr && toolHostNow->MainWidget() != nullptr
                             ? toolHostNow->MainWidget()
                             : window());
        preview.setWindowTitle(qText(previewTitleId_));
        preview.InitRenamePreview();
        filelist::OperationBusy = true;
        if (onPreviewShown)
            onPreviewShown(preview);
        preview.exec();
        confirmed = preview.StartRenamePressed();
        if (confirmed)
            runRename(source);
        filelist::EndFlatView(engines::RenameStore);
        filelist::FreeBrowserState(engines::RenameStore);
        engines::ResultListState = nullptr;
        engines::RenameList = nullptr;
        if (source.mode & 1)
            filelist::RecalcAllPanels();
        panel->Repaint();
        filelist::OperationBusy = false;
        source.busy = 0;
    }
    host->RefreshPanels();
}

void TRenamerForm::runRename(filelist::TstateOfBrowser& source)
{
    engines::RenameList = &engines::RenameStore;
    IToolHost* host = toolHost();
    TViewRenReplacer view(host != nullptr && host->MainWidget() != nullptr ? host->MainWidget() : window());
    view.setWindowTitle(qText(runTitleId_));
    engines::TRenamer thread;
    thread.setPriority(platform::ThreadPriority::Normal);
    view.thread = &thread;
    thread.mask = platform::toUtf8(ui_->cmbFileName->currentText()) + "." +
                  platform::toUtf8(ui_->cmbFileExt->currentText());
    thread.start = ui_->spStart->value();
    thread.step = ui_->spStep->value();
    thread.sourceList = &source;
    view.connectRenameThread(thread);
    view.Init(kRunRename);
    thread.Resume();
    if (onRunShown)
        onRunShown(view);
    view.exec();
    thread.Terminate();
    thread.WaitFor();
}

// ---- Focus and title ----

void TRenamerForm::pnlAddressLineClick()
{
    ui_->cmbFileName->setFocus();
}

void TRenamerForm::focusChanged(QWidget* old, QWidget* now)
{
    const bool wasInside = isInside(old, this);
    const bool isNowInside = isInside(now, this);
    if (wasInside == isNowInside)
        return;
    paintToolCaption(*ui_->pnlNameTools, isNowInside);
    if (isNowInside) {
        if (IToolPanelsHost* host = toolPanelsHost())
            host->SetActiveForm(this);
    }
}

} // namespace wux::tools
