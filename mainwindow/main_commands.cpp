#include "mainwindow/main_commands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

#include "core/gui_helpers.h"
#include "core/system_error.h"
#include "core/text_table.h"
#include "filelist/browser_state.h"
#include "filelist/file_operations.h"
#include "filelist/item_actions.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "mainwindow/main_menus.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/query_dialog.h"

namespace wux::mainwindow {

namespace {

constexpr int kTextCopyPrefix = 42;
constexpr int kTextMovePrefix = 43;
constexpr int kTextDirectory = 44;
constexpr int kTextFile = 45;
constexpr int kTextFiles = 46;
constexpr int kTextTo = 47;
constexpr int kTextDeletePrefix = 49;
constexpr int kTextRemovePrefix = 50;
constexpr int kTextFromBasket = 51;
constexpr int kCopyNameReserve = 25;
constexpr int kDeleteNameReserve = 65;

int objectTextId(const SelectionSummary& selection)
{
    if (selection.count > 1) {
        return kTextFiles;
    }
    return selection.singleIsFolder ? kTextDirectory : kTextFile;
}

// prefix + the object part (count or shortened name) + suffix.
Prompt composePrompt(const std::string& prefix, const SelectionSummary& selection, const std::string& suffix,
                     int reserve, int dialogWidth, const QFont& font)
{
    const int objectId = objectTextId(selection);
    if (objectId == kTextFiles) {
        return {prefix + core::formatUiText(kTextFiles, {selection.count}) + suffix, dialogWidth};
    }
    const QFontMetrics metrics(font);
    const int fixed =
        metrics.horizontalAdvance(platform::toQString(prefix + core::formatUiText(objectId, {""}) + suffix));
    const QString shownName = platform::toQString(platform::displayPath(selection.singleName));
    const int wanted = metrics.horizontalAdvance(shownName);
    int room = dialogWidth - fixed - reserve;
    if (room < wanted) {
        // The dialog grows for the whole name, up to the widest prompt dialog.
        dialogWidth = std::max(dialogWidth, std::min(dialogWidth + wanted - room, kWidestPromptDialog));
        room = dialogWidth - fixed - reserve;
    }
    if (room < kMinimumNameRoom) {
        dialogWidth += kMinimumNameRoom - room;
        room = kMinimumNameRoom;
    }
    const QString name = wanted <= room ? shownName : metrics.elidedText(shownName, Qt::ElideMiddle, room);
    return {prefix + core::formatUiText(objectId, {platform::toUtf8(name)}) + suffix, dialogWidth};
}

} // namespace

Prompt copyMovePrompt(std::int32_t kind, const SelectionSummary& selection, int dialogWidth,
                      const QFont& font)
{
    return composePrompt(core::uiText(kind == 4 ? kTextMovePrefix : kTextCopyPrefix), selection,
                         core::uiText(kTextTo), kCopyNameReserve, dialogWidth, font);
}

Prompt deletePrompt(bool basket, const SelectionSummary& selection, int dialogWidth, const QFont& font)
{
    return composePrompt(core::uiText(basket ? kTextRemovePrefix : kTextDeletePrefix), selection,
                         basket ? core::uiText(kTextFromBasket) : std::string("?"), kDeleteNameReserve,
                         dialogWidth, font);
}

std::string copyMoveInput(bool inPlace, bool sourceIsBasket, const SelectionSummary& selection,
                          std::string_view targetFolder)
{
    const std::string namePart = selection.count == 1 ? selection.singleName : std::string("*.*");
    if (inPlace) {
        return namePart;
    }
    if (sourceIsBasket) {
        return {};
    }
    const bool singleFile = selection.count == 1 && !selection.singleIsFolder;
    return std::string(targetFolder) + "\\" + (singleFile ? selection.singleName : std::string("*.*"));
}

// ---- The commands of the main window ----

namespace {

constexpr int kTextEditFileName = 5;
constexpr int kTextDirectoryNotCreated = 41;
constexpr int kTextDeleteFromDisk = 48;
constexpr int kTextWarning = 52;
constexpr int kTextNewDirectory = 53;
constexpr std::uint32_t kSelectionRequired = 8;
constexpr int kWarningIconSize = 32;

// The selection the operation cursor holds: its count and, for one item, its name and kind.
SelectionSummary summarizeSelection()
{
    SelectionSummary summary;
    filelist::TstateOfBrowser* list = filelist::PluginStructure.state;
    summary.count = list != nullptr ? list->selectedCount : 0;
    if (summary.count == 1) {
        if (const filelist::TOperationFileInfo* info = filelist::NextOperationFile(filelist::kNextNormal)) {
            summary.singleName = info->name;
            summary.singleIsFolder = (info->attributes & filelist::kDirectoryAttribute) != 0;
        }
        filelist::ResetOperationCursor();
    }
    return summary;
}

std::string lineText(const QLineEdit* edit)
{
    return platform::toUtf8(edit->text());
}

// Moves a widget by dy pixels.
void shiftDown(QWidget* widget, int dy)
{
    widget->move(widget->x(), widget->y() + dy);
}

// Widens the dialog to width (never narrower), the prompt and the input line with it; the buttons keep
// their distance from the right edge.
void widenQuery(tools::TStandardQuery& dialog, int width)
{
    const int delta = width - dialog.width();
    if (delta <= 0) {
        return;
    }
    dialog.setFixedSize(width, dialog.height());
    dialog.lblInfo()->resize(dialog.lblInfo()->width() + delta, dialog.lblInfo()->height());
    dialog.edInfo()->resize(dialog.edInfo()->width() + delta, dialog.edInfo()->height());
    for (QWidget* button : {static_cast<QWidget*>(dialog.btnOK()), static_cast<QWidget*>(dialog.btnCancel()),
                            static_cast<QWidget*>(dialog.btnBrowse())})
        button->move(button->x() + delta, button->y());
}

} // namespace

void TMainForm::bottomButtonsClick(int tag)
{
    switch (tag) {
    case kTagView:
    case kTagEdit: {
        TBrowserForm* browser = nullptr;
        if (GetActiveBrowser(browser)) {
            int key = tag == kTagView ? Qt::Key_F3 : Qt::Key_F4;
            browser->sgBrowserKeyDown(key, Qt::NoModifier);
        }
        break;
    }
    case kTagCopy:
        CopyMoveSelected(static_cast<std::int32_t>(filelist::TFileOperationKind::Copy), false);
        break;
    case kTagRenMove:
        CopyMoveSelected(static_cast<std::int32_t>(filelist::TFileOperationKind::Move), false);
        break;
    case kTagDelete:
        DeleteSelected();
        break;
    case kTagExit:
        ExitApplication();
        break;
    default:
        break;
    }
}

void TMainForm::CopyMoveSelected(std::int32_t kind, bool inPlace)
{
    if (!filelist::PrepareOperationSource(kSelectionRequired)) {
        return;
    }
    TBrowserForm* source = nullptr;
    GetActiveBrowser(source);
    TBrowserForm* target = source == leftBrowser_.data() ? rightBrowser_.data() : leftBrowser_.data();
    const bool fromBasket = source->BrowserMode() == filelist::kViewBasket;
    const SelectionSummary selection = summarizeSelection();

    tools::TStandardQuery dialog(this);
    dialog.ShowBrowseButton();
    // The Send box below the input line; the buttons move below it with the same gap.
    QLineEdit* input = dialog.edInfo();
    QCheckBox* send = dialog.chkSend();
    const int gap = send->y() - (input->y() + input->height());
    const int dy = send->y() + send->height() + gap - dialog.btnOK()->y();
    for (QWidget* button : {static_cast<QWidget*>(dialog.btnOK()), static_cast<QWidget*>(dialog.btnCancel()),
                            static_cast<QWidget*>(dialog.btnBrowse())})
        shiftDown(button, dy);
    dialog.setFixedSize(dialog.width(), dialog.height() + dy);

    const std::string targetFolder =
        target != nullptr ? filelist::FolderPathAsStored(1, target->Listing()) : "";
    input->setText(platform::toQString(copyMoveInput(inPlace, fromBasket, selection, targetFolder)));
    send->setChecked(false);
    send->setEnabled(!fromBasket);
    send->show();
    const Prompt prompt = copyMovePrompt(kind, selection, dialog.width(), dialog.lblInfo()->font());
    widenQuery(dialog, prompt.dialogWidth);
    dialog.lblInfo()->setText(platform::toQString(prompt.text));

    if (dialog.exec() == QDialog::Accepted) {
        if (send->isChecked()) {
            kind = static_cast<std::int32_t>(filelist::TFileOperationKind::SendToBasket);
        }
        filelist::StartFileOperation(lineText(input), static_cast<filelist::TFileOperationKind>(kind), this);
    } else if (filelist::PluginStructure.autoSelected != 0) {
        source->SelectCursorItem(filelist::kActionUnmark);
    }
    filelist::EndStateHandOver();
    RefreshPanels();
    UpdateLaunchAction();
}

void TMainForm::DeleteSelected()
{
    if (!activeFormIsPanel()) {
        return;
    }
    if (!filelist::PrepareOperationSource(kSelectionRequired)) {
        return;
    }
    auto* panel = static_cast<TBrowserForm*>(activeForm_.data());
    const bool fromBasket = panel->BrowserMode() == filelist::kViewBasket;
    const SelectionSummary selection = summarizeSelection();

    auto dialog = std::make_unique<tools::TStandardQuery>(this);
    dialog->setWindowTitle(uiQText(kTextWarning));
    dialog->edInfo()->hide();
    dialog->cbForSelectFiles()->hide();
    auto* icon = new QLabel(dialog.get());
    icon->setObjectName(QStringLiteral("imgWarning"));
    // The icon keeps clear of the prompt, which starts at x 55.
    const int iconSize =
        std::min(dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, dialog.get()), kWarningIconSize);
    icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));
    icon->setGeometry(10, 10, iconSize, iconSize);
    dialog->lblInfo()->move(55, 15);
    QCheckBox* fromDisk = dialog->chkSend();
    // Under the prompt, clear of the warning icon.
    fromDisk->move(55, std::max(48, icon->geometry().bottom() + 1 + 6));
    fromDisk->setText(uiQText(kTextDeleteFromDisk));
    fromDisk->setChecked(false);
    fromDisk->setVisible(fromBasket);

    const Prompt prompt = deletePrompt(fromBasket, selection, dialog->width(), dialog->lblInfo()->font());
    widenQuery(*dialog, prompt.dialogWidth);
    dialog->lblInfo()->resize(dialog->width() - 55 - 8, dialog->lblInfo()->height());
    dialog->lblInfo()->setText(platform::toQString(prompt.text));
    // OK and Cancel centred, three times their former gap apart.
    QPushButton* ok = dialog->btnOK();
    QPushButton* cancel = dialog->btnCancel();
    const int gap = 3 * (cancel->x() - (ok->x() + ok->width()));
    const int top = fromBasket ? fromDisk->y() + fromDisk->height() + 8 : 45;
    const int left = (dialog->width() - ok->width() - gap - cancel->width()) / 2;
    ok->move(left, top);
    cancel->move(left + ok->width() + gap, top);
    dialog->setFixedSize(dialog->width(), top + ok->height() + 7);
    ok->setDefault(true);
    ok->setFocus();

    if (dialog->exec() == QDialog::Accepted) {
        const auto kind = fromBasket && !fromDisk->isChecked()
                              ? filelist::TFileOperationKind::RemoveFromBasket
                              : filelist::TFileOperationKind::Delete;
        panel->Listing().cursorName = std::string(1, '\x01');
        filelist::StartFileOperation(std::string(), kind, this);
    } else if (filelist::PluginStructure.autoSelected != 0) {
        panel->SelectCursorItem(filelist::kActionUnmark);
    }
    filelist::EndStateHandOver();
    dialog.reset();
    RefreshPanels();
    UpdateLaunchAction();
}

void TMainForm::btnMkDirClick()
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser) || browser->BrowserMode() == filelist::kViewTree ||
        browser->BrowserMode() == filelist::kViewBasket) {
        return;
    }
    tools::TStandardQuery dialog(this);
    dialog.lblInfo()->setText(uiQText(kTextNewDirectory));
    dialog.edInfo()->clear();
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string name = lineText(dialog.edInfo());
    platform::WinError reason = platform::kErrorSuccess;
    std::string itemName;
    if (filelist::CreateSubfolder(name, browser->Listing(), &reason, &itemName)) {
        browser->Listing().cursorName = itemName;
        RefreshPanels();
    } else if (reason != platform::kErrorSuccess) {
        std::string text;
        core::ShowSystemError(true, reason, MainCaption(), core::formatUiText(kTextDirectoryNotCreated, {name}),
                              text);
    } else {
        platform::showMessageBox(core::formatUiText(kTextDirectoryNotCreated, {name}), MainCaption(),
                                 platform::MsgButtons::Ok, platform::MsgIcon::Warning);
    }
}

void TMainForm::NewFileForEdit()
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser) || browser->BrowserMode() == filelist::kViewTree ||
        browser->BrowserMode() == filelist::kViewBasket) {
        return;
    }
    tools::TStandardQuery dialog(this);
    dialog.lblInfo()->setText(uiQText(kTextEditFileName));
    dialog.edInfo()->clear();
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string name = lineText(dialog.edInfo());
    if (filelist::EditFile(name, browser->Listing())) {
        browser->Listing().cursorName = name;
    }
    RefreshPanels();
}

void TMainForm::SendSelectionToBasket()
{
    if (!filelist::PrepareOperationSource(kSelectionRequired)) {
        return;
    }
    filelist::StartFileOperation(std::string(), filelist::TFileOperationKind::SendToBasket, this);
    filelist::EndStateHandOver();
    RefreshPanels();
    UpdateLaunchAction();
}

} // namespace wux::mainwindow
