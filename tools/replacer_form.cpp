#include "tools/replacer_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextDocument>

#include "core/text_table.h"
#include "engines/replace_threads.h"
#include "filelist/browser_state.h"
#include "filelist/operation_cursor.h"
#include "platform/codepage.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/movable_memory.h"
#include "tools/replace_window_support.h"
#include "ui_TReplacerForm.h"

namespace wux::tools {

namespace {

// Offsets of the window's texts from its BaseId.
enum ReplacerText : int
{
    kTitle = 0,
    kHint,
    kBackup,
    kFindLabel,
    kReplaceLabel,
    kEndingLabel,
    kReplace,
    kInsBefore,
    kInsAfter,
    kInsBetween,
    kDelete,
    kInsToHead,
    kInsToFoot,
    kCaseSensitive,
    kWholeWord,
    kDosCharset,
    kJustFind,
    kStart,
    kHelp,
};

// General texts.
constexpr int kTextJustFindSuffix = 8;
constexpr int kTextNoFindText = 19;

// Modes with an empty replace text.
constexpr std::int32_t kModesWithoutReplace = 198;

QString text(int id)
{
    return QString::fromStdString(core::uiText(id));
}

} // namespace

void addWordProcessorDefaults(core::TUserParameters& parameters)
{
    parameters.AddDefault("MSWORD_USEWILDCARDS", core::kParameterFalse);
    parameters.AddDefault("MSWORD_WHOLEWORD", core::kParameterFalse);
    parameters.AddDefault("MSWORD_REPLACE_IN_MAINDOCUMENT", core::kParameterTrue);
    parameters.AddDefault("MSWORD_REPLACE_IN_HEADERSFOOTERS", core::kParameterTrue);
    parameters.AddDefault("MSWORD_REPLACE_IN_FOOTNOTES", core::kParameterTrue);
    parameters.AddDefault("MSWORD_REPLACE_IN_HYPERLINKS", core::kParameterTrue);
}

std::string memoText(const QPlainTextEdit& memo)
{
    // The raw text keeps every character as typed (plain text would turn no-break spaces into blanks);
    // its blocks are separated by paragraph separators.
    QString raw = memo.document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    raw.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return raw.toStdString();
}

TReplacerForm::TReplacerForm(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TReplacerForm>())
{
    ui_->setupUi(this);
    auto* modes = new QButtonGroup(this);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             ui_->rbReplace, ui_->rbInsBefore, ui_->rbInsAfter, ui_->rbInsBeetween, ui_->rbDelete,
             ui_->rbInsToHead, ui_->rbInsToFoot, ui_->rbJustFind})
        modes->addButton(button);
    connect(modes, &QButtonGroup::buttonClicked, this, &TReplacerForm::modeClicked);
    connect(ui_->memFind, &QPlainTextEdit::textChanged, this, &TReplacerForm::memFindChange);
    connect(ui_->btnStartOperation, &QAbstractButton::clicked, this, &TReplacerForm::btnStartOperationClick);
    connect(ui_->btnHelpReplacer, &QAbstractButton::clicked, this, [] { openHelpTopic(kReplacerHelpTopic); });
    connect(qApp, &QApplication::focusChanged, this, &TReplacerForm::focusChanged);
    onLabelClick(*ui_->pnlNameTools, [this] { ui_->rbReplace->setFocus(); });
    setCaptionActive(false);

    // Initial splitter shares: the replace and ending texts 58 pixels high, the find text the rest.
    ui_->TextSplitter->setStretchFactor(0, 1);
    ui_->TextSplitter->setStretchFactor(1, 0);
    ui_->TextSplitter->setSizes({126, 58});
    ui_->TextEndingSplitter->setStretchFactor(0, 1);
    ui_->TextEndingSplitter->setStretchFactor(1, 0);
    ui_->TextEndingSplitter->setSizes({126, 58});
    ui_->pnlEnding->hide();

    // The width fits the option boxes and stays fixed; the height is at least 425.
    const int width = fixedToolWidth(*this);
    setMinimumWidth(width);
    setMaximumWidth(width);
    setMinimumHeight(425);
}

TReplacerForm::~TReplacerForm()
{
    // The focus leaves the window's controls while it is destroyed: no more caption changes then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TReplacerForm::InitTool()
{
    setStartGlyph(*ui_->btnStartOperation);
    setHelpGlyph(*ui_->btnHelpReplacer);
}

void TReplacerForm::RegisterDefaultTexts(int BaseId)
{
    core::registerDefaultTexts({
        {BaseId + kTitle, "Replacer"},
        {BaseId + kHint, "Replace text in files"},
        {BaseId + kBackup, "&Create files backup copy"},
        {BaseId + kFindLabel, "  Find te&xt below"},
        {BaseId + kReplaceLabel, "  &Replace / Insert text below"},
        {BaseId + kEndingLabel, "  E&nding with"},
        {BaseId + kReplace, "Re&place with"},
        {BaseId + kInsBefore, "Insert before"},
        {BaseId + kInsAfter, "Insert after"},
        {BaseId + kInsBetween, "Insert between"},
        {BaseId + kDelete, "Delete"},
        {BaseId + kInsToHead, "Insert to head file"},
        {BaseId + kInsToFoot, "Insert to foot file"},
        {BaseId + kCaseSensitive, "Cas&e sensitive"},
        {BaseId + kWholeWord, "Whole Wor&d"},
        {BaseId + kDosCharset, "&ASCII charset (DOS)"},
        {BaseId + kJustFind, "Just Find"},
        {BaseId + kStart, "&Start Replace"},
        {BaseId + kHelp, "Help"},
    });
}

void TReplacerForm::Translate(int BaseId)
{
    ui_->pnlNameTools->setText(text(BaseId + kTitle));
    ui_->chkBkCopy->setText(text(BaseId + kBackup));
    ui_->lblFindText->setText(text(BaseId + kFindLabel));
    ui_->lblReplaceText->setText(text(BaseId + kReplaceLabel));
    ui_->lblEnding->setText(text(BaseId + kEndingLabel));
    ui_->rbReplace->setText(text(BaseId + kReplace));
    ui_->rbInsBefore->setText(text(BaseId + kInsBefore));
    ui_->rbInsAfter->setText(text(BaseId + kInsAfter));
    ui_->rbInsBeetween->setText(text(BaseId + kInsBetween));
    ui_->rbDelete->setText(text(BaseId + kDelete));
    ui_->rbInsToHead->setText(text(BaseId + kInsToHead));
    ui_->rbInsToFoot->setText(text(BaseId + kInsToFoot));
    ui_->chkCaseSensitive->setText(text(BaseId + kCaseSensitive));
    ui_->chkWholeWord->setText(text(BaseId + kWholeWord));
    ui_->chkCHSDOS->setText(text(BaseId + kDosCharset));
    ui_->rbJustFind->setText(text(BaseId + kJustFind));
    ui_->btnStartOperation->setText(text(BaseId + kStart));
    ui_->btnHelpReplacer->setText(text(BaseId + kHelp));
}

void TReplacerForm::LoadSettings()
{
    const platform::IniFile ini(settingsFilePath());
    LoadSettingsFrom(ini);
}

void TReplacerForm::SaveSettings()
{
    platform::IniFile ini(settingsFilePath());
    SaveSettingsTo(ini);
}

void TReplacerForm::LoadSettingsFrom(const platform::IniFile& ini)
{
    if (!parameters_)
        parameters_ = std::make_unique<core::TUserParameters>(kReplacerSection);
    parameters_->LoadFromIni(ini);
    addWordProcessorDefaults(*parameters_);
}

platform::WinError TReplacerForm::SaveSettingsTo(platform::IniFile& ini) const
{
    return parameters_ ? parameters_->SaveToIni(ini) : platform::WinError{};
}

bool TReplacerForm::CanStart(filelist::TstateOfBrowser* PanelState)
{
    const bool ready =
        !ui_->memFind->document()->isEmpty() && PanelState != nullptr && PanelState->selectedFiles != 0;
    if (!ready && ui_->btnStartOperation->hasFocus()) {
        for (QAbstractButton* button :
             ui_->rbReplace->group() ? ui_->rbReplace->group()->buttons() : QList<QAbstractButton*>{})
            if (button->isChecked())
                button->setFocus();
    }
    ui_->btnStartOperation->setEnabled(ready);
    return ready;
}

void TReplacerForm::StartOperation()
{
    if (ui_->btnStartOperation->isEnabled())
        ui_->btnStartOperation->click();
}

void TReplacerForm::ShowHelp()
{
    ui_->btnHelpReplacer->click();
}

void TReplacerForm::ShowTitle(bool Visible)
{
    ui_->pnlAlign->setVisible(Visible);
}

std::int32_t TReplacerForm::SelectedMode() const
{
    std::int32_t mode = engines::kModeInsertHead;
    const std::pair<const QAbstractButton*, std::int32_t> order[] = {
        {ui_->rbInsToFoot, engines::kModeInsertFoot},
        {ui_->rbReplace, engines::kModeReplace},
        {ui_->rbDelete, engines::kModeDelete},
        {ui_->rbInsBefore, engines::kModeInsertBefore},
        {ui_->rbInsAfter, engines::kModeInsertAfter},
        {ui_->rbJustFind, engines::kModeJustFind},
        {ui_->rbInsBeetween, engines::kModeInsertBetween}};
    for (const auto& [button, value] : order)
        if (button->isChecked())
            mode = value;
    return mode;
}

void TReplacerForm::SetEnabledDisabled(int Tag)
{
    ui_->chkWholeWord->setEnabled(Tag != 0);
    ui_->chkCaseSensitive->setEnabled(Tag != 0);
    if (Tag == 0) {
        ui_->chkWholeWord->setChecked(false);
        ui_->chkCaseSensitive->setChecked(false);
    }
    ui_->chkBkCopy->setVisible(Tag != 2);
}

void TReplacerForm::modeClicked(QAbstractButton* button)
{
    if (button == ui_->rbReplace || button == ui_->rbInsBefore || button == ui_->rbInsAfter) {
        SetEnabledDisabled(1);
        ui_->pnlEnding->hide();
        ui_->pnlTextToReplace->show();
    } else if (button == ui_->rbInsBeetween) {
        SetEnabledDisabled(1);
        ui_->pnlTextToReplace->show();
        ui_->pnlEnding->show();
    } else {
        SetEnabledDisabled(button->property("tag").toInt());
        ui_->pnlTextToReplace->hide();
        ui_->pnlEnding->hide();
    }
}

engines::ReplacerStructure TReplacerForm::InitReplacerStructure(std::string_view Find,
                                                                std::string_view Replace) const
{
    // Modes 4 and 64 disable the case box: their text is inserted as typed.
    const std::int32_t mode = ui_->chkCaseSensitive->isEnabled() ? engines::kModeReplace : SelectedMode();
    return engines::BuildReplacerStructure(Find, Replace, ui_->chkCaseSensitive->isChecked(),
                                           ui_->chkWholeWord->isChecked(), mode, ui_->chkCHSDOS->isChecked());
}

bool TReplacerForm::SetUpRun(engines::TReplacer& thread, bool& justFind)
{
    std::string find = memoText(*ui_->memFind);
    std::string replace = memoText(*ui_->mmReplace);
    if (find.empty()) {
        platform::showMessageBox(core::uiText(kTextNoFindText), "");
        return false;
    }
    const bool oem = ui_->chkCHSDOS->isChecked();
    const std::int32_t mode = SelectedMode();
    justFind = mode == engines::kModeJustFind;
    thread.sizeOfFirstPart = 0;
    if (mode == engines::kModeInsertBetween) {
        // The first part's length as the search block holds it.
        thread.sizeOfFirstPart =
            static_cast<std::int32_t>(oem ? platform::toCp437(find).size() : find.size());
        find += memoText(*ui_->memEnding);
        parameters_->SetInternalValue("sizeOfFirstPart", std::to_string(thread.sizeOfFirstPart));
    }
    if ((mode & kModesWithoutReplace) != 0)
        replace.clear();
    thread.backupFlag = ui_->chkBkCopy->isChecked();
    thread.TypeOfReplacing = mode;
    thread.oemTexts = oem;
    thread.searchBlock = InitReplacerStructure(find, replace);

    parameters_->SetInternalValue("TypeOfReplacing", std::to_string(mode));
    parameters_->SetInternalValue("CreateBackUpCopy",
                                  ui_->chkBkCopy->isChecked() ? core::kParameterTrue : core::kParameterFalse);
    parameters_->SetValue("MSWORD_WHOLEWORD",
                          ui_->chkWholeWord->isChecked() ? core::kParameterTrue : core::kParameterFalse);
    thread.parameters = parameters_.get();
    return true;
}

void TReplacerForm::btnStartOperationClick()
{
    if (!filelist::PrepareOperationSource(filelist::kCheckNothing)) {
        showNoFilesSelected();
        return;
    }
    StartSimpleReplace();
    endRun();
}

void TReplacerForm::StartSimpleReplace()
{
    if (!parameters_)
        LoadSettingsFrom(platform::IniFile(settingsFilePath()));
    engines::TReplacer thread;
    bool justFind = false;
    if (!SetUpRun(thread, justFind))
        return;
    runReplaceThread(thread, justFind ? core::uiText(kTextJustFindSuffix) : std::string());
    platform::movableFree(thread.searchBlock);
}

void TReplacerForm::memFindChange()
{
    updateLaunchAction();
}

void TReplacerForm::focusChanged(QWidget* old, QWidget* now)
{
    const bool wasInside = old != nullptr && isAncestorOf(old);
    const bool isInside = now != nullptr && isAncestorOf(now);
    if (isInside && !wasInside) {
        setActiveForm(this);
        setCaptionActive(true);
    } else if (wasInside && !isInside) {
        setCaptionActive(false);
    }
}

void TReplacerForm::setCaptionActive(bool active)
{
    paintToolCaption(*ui_->pnlNameTools, active);
}

} // namespace wux::tools
