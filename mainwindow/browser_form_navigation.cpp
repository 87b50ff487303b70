// The browser panel: the cursor, keys and mouse, marking, quick search, opening items, and changing
// folder and drive.
#include "mainwindow/browser_form.h"

#include "ui_TBrowserForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cctype>

#include "controls/speed_button_new.h"
#include "controls/wux_string_grid.h"
#include "core/hourglass.h"
#include "filelist/drive_list.h"
#include "filelist/file_operations.h"
#include "filelist/folder_reader.h"
#include "filelist/general_options.h"
#include "filelist/item_actions.h"
#include "filelist/list_operations.h"
#include "filelist/text_storage.h"
#include "mainwindow/browser_host.h"
#include "mainwindow/choice_drive.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/settings.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::mainwindow {

using filelist::kViewBasket;
using filelist::kViewBrief;
using filelist::kViewFull;
using filelist::kViewTree;

namespace {

// The panel's own message: take the drive box back into the panel's toolbar.
const QEvent::Type kRestoreDriveComboEvent = QEvent::Type(QEvent::User + 0x0F);

constexpr int kArmed = 2;
constexpr int kAccepted = 1;

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool isNumpadAsterisk(int key, Qt::KeyboardModifiers shift)
{
    return key == Qt::Key_Asterisk && (shift & Qt::KeypadModifier);
}

std::int32_t folderItemCount(std::int32_t folder, filelist::TstateOfBrowser& state)
{
    filelist::StateAccess access(state);
    return access.HasFolder(folder) ? access.Folder(folder).count : 0;
}

bool hasFolderOne(filelist::TstateOfBrowser& state)
{
    return state.folders && state.folderCount >= 1;
}

// A new listing for a re-read of folder 1: capacities from the old one, its mask, drive and sort word.
void createSuccessor(filelist::TstateOfBrowser& fresh, filelist::TstateOfBrowser& old)
{
    const std::int64_t textCapacity = old.text != nullptr ? std::int64_t(old.text->Capacity()) : 10000;
    filelist::CreateBrowserState(fresh, old.folderCount + 1, old.itemCount + 1, old.maskText, textCapacity);
    fresh.driveIndex = old.driveIndex;
    fresh.filter = old.filter;
    fresh.mode = old.mode;
}

void freeListing(filelist::TstateOfBrowser& state)
{
    filelist::ReleaseStateItemIds(state);
    filelist::FreeBrowserState(state);
}

} // namespace

// ---- Cursor ----------------------------------------------------------------------------------

std::int32_t TBrowserForm::rangeCount() const
{
    switch (BrowserMode_) {
    case kViewTree:
        return treeRows_;
    case kViewBasket:
        return basketRows_;
    default:
        return listing_->rowCount;
    }
}

bool TBrowserForm::rowToItem(std::int32_t index, std::int32_t& folder, std::int32_t& position)
{
    folder = 0;
    position = 0;
    if (index < 0 || index >= rangeCount())
        return false;
    switch (BrowserMode_) {
    case kViewTree:
        filelist::TreeRowToItem(index + 1, folder, position, *listing_);
        break;
    case kViewBasket:
        filelist::RowToItem(index + 1, BasketMode_ == 2, folder, *basketView_, position);
        break;
    default:
        folder = 1;
        position = filelist::GetFolderDepth(1, *listing_) == 0 ? index + 1 : index;
        break;
    }
    return folder > 0;
}

void TBrowserForm::armGrid()
{
    ui_->sgBrowser->setTag(kArmed);
}

void TBrowserForm::sgBrowserSelectCell(int col, int row, bool& canSelect)
{
    briefCol_ = col;
    briefRow_ = row;
    const std::int32_t index = BrowserMode_ == kViewBrief ? ui_->sgBrowser->RowCount() * col + row : row;
    canSelect = ui_->sgBrowser->Tag() == kArmed && index >= 0 && index < rangeCount();
    if (canSelect)
        ui_->sgBrowser->setTag(kAccepted);
}

bool TBrowserForm::PositionCursor(std::int32_t index, std::int32_t col, std::int32_t row)
{
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    const bool brief = BrowserMode_ == kViewBrief;
    const int gridRows = grid->RowCount();
    if (index == -1) {
        if (col == -1 && row == -1)
            index = brief ? gridRows * briefCol_ + briefRow_ : briefRow_;
        else
            index = brief ? gridRows * col + row : row;
    }
    const std::int32_t range = rangeCount();
    bool valid = false;
    if (index >= 0 && index < range) {
        cursor_ = index;
        valid = true;
    }
    if (cursor_ < 0 || cursor_ >= range) {
        cursor_ = std::max(0, range - 1);
        valid = false;
    }
    armGrid();
    int targetCol = brief ? cursor_ / gridRows : 0;
    int targetRow = brief ? cursor_ % gridRows : cursor_;
    targetCol = std::clamp(targetCol, 0, grid->ColCount() - 1);
    targetRow = std::clamp(targetRow, 0, grid->RowCount() - 1);
    grid->FocusCell(targetCol, targetRow, true);
    briefCol_ = grid->Col();
    briefRow_ = grid->Row();
    return valid;
}

bool TBrowserForm::CursorToItem(std::int32_t& folder, std::int32_t& position)
{
    const controls::TWUXStringGrid* grid = ui_->sgBrowser;
    const std::int32_t index =
        BrowserMode_ == kViewBrief ? grid->Col() * grid->RowCount() + grid->Row() : grid->Row();
    if (BrowserMode_ == kViewTree && treeRows_ == 0)
        return false;
    return rowToItem(index, folder, position);
}

// ---- Marks -----------------------------------------------------------------------------------

void TBrowserForm::SelectCurrentItem(bool countFolder, std::int32_t action)
{
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    const bool basket = BrowserMode_ == kViewBasket;
    if (!basket && listing_->itemCount == 0)
        return;
    filelist::TstateOfBrowser& list = basket ? *basketView_ : *listing_;
    if (BrowserMode_ == kViewBrief || BrowserMode_ == kViewFull) {
        const std::int32_t row =
            (BrowserMode_ == kViewBrief ? grid->Col() * grid->RowCount() : 0) + grid->Row() + 1;
        if (row <= listing_->rowCount)
            filelist::SelectItem(1, row, *listing_, action,
                                 countFolder && filelist::HasGeneralOption(kOptionSpaceMeasuresFolders));
    } else if (basket) {
        if (grid->Row() >= basketRows_)
            return;
        std::int32_t folder = 0;
        std::int32_t position = 0;
        filelist::RowToItem(grid->Row() + 1, BasketMode_ == 2, folder, list, position);
        if (position == 0)
            return;
        if (filelist::GetFolderDepth(folder, list) > 0)
            ++position;
        filelist::SelectItem(folder, position, list, action, false);
    } else {
        return;
    }
    if (BrowserMode_ == kViewBrief)
        grid->InvalidateCell(grid->Col(), grid->Row());
    else
        grid->InvalidateRow(grid->Row());
    filelist::RecalcSelection(list);
    UpdateStatusLine(cursor_ + 1);
    host_.UpdateLaunchAction();
}

// ---- Search and names ------------------------------------------------------------------------

std::int32_t TBrowserForm::QuickSearch(std::string_view text, bool backward)
{
    const bool basket = BrowserMode_ == kViewBasket;
    filelist::TstateOfBrowser& list = basket ? *basketView_ : *listing_;
    if (BrowserMode_ == kViewTree)
        return 0;
    std::int32_t folder = 0;
    std::int32_t position = 0;
    if (!CursorToItem(folder, position)) {
        folder = 1;
        position = 0;
    }
    // From a "[..]" or header row the search starts at the folder's first (or last) item.
    const std::int32_t start = position > 0 ? position : (backward ? 1 : folderItemCount(folder, list));
    const std::int32_t found = filelist::FindItemByName(folder, start, text, list, backward);
    if (found == 0)
        return 0;
    std::int32_t index = 0;
    if (!basket)
        index = filelist::GetFolderDepth(1, list) == 0 ? found - 1 : found;
    else if (BasketMode_ == 1)
        index = found - 1;
    else
        index = cursor_ + found - position;
    if (isVisible()) {
        PositionCursor(index, -1, -1);
        if (basket && BasketMode_ == 1)
            UpdateStatusLine(cursor_ + 1);
    }
    return index;
}

std::int32_t TBrowserForm::FindRowOfName(std::string_view name)
{
    const bool basket = BrowserMode_ == kViewBasket;
    if (BrowserMode_ == kViewTree)
        return 0;
    filelist::TstateOfBrowser& list = basket ? *basketView_ : *listing_;
    if (!basket || BasketMode_ == 1)
        return filelist::FindItemPosition(1, name, list, false);
    std::int32_t folder = 0;
    std::int32_t position = 0;
    if (!CursorToItem(folder, position))
        return 0;
    const std::int32_t found = filelist::FindItemPosition(folder, name, list, false);
    return found == 0 ? 0 : cursor_ + 1 + found - position;
}

void TBrowserForm::GetItemNameAt(std::int32_t index, std::string& name)
{
    name.clear();
    if (BrowserMode_ != kViewBrief && BrowserMode_ != kViewFull)
        return;
    std::int32_t folder = 0;
    std::int32_t position = 0;
    if (rowToItem(index, folder, position) && position > 0)
        filelist::GetCellText(filelist::kColumnStoredName, folder, position, name, *listing_);
}

void TBrowserForm::PlaceCursorOnName(std::string_view name)
{
    if (BrowserMode_ != kViewBrief && BrowserMode_ != kViewFull)
        return;
    const std::int32_t position = name.empty() ? 0 : filelist::FindItemPosition(1, name, *listing_, true);
    if (position == 0)
        return;
    cursor_ = filelist::GetFolderDepth(1, *listing_) == 0 ? position - 1 : position;
}

// ---- Opening items ---------------------------------------------------------------------------

bool TBrowserForm::OpenCurrentItem(std::int32_t folder, std::int32_t row, std::int32_t mode)
{
    const std::int32_t position = filelist::GetFolderDepth(folder, *listing_) > 0 ? row - 1 : row;
    switch (mode) {
    case 1:
        filelist::ShowPropertiesDialog(folder, position, *listing_, this);
        return true;
    case 2:
        filelist::OpenItem(folder, position, *listing_, false);
        return true;
    case 3:
        filelist::OpenItem(folder, position, *listing_, true);
        return true;
    default:
        break;
    }
    if (filelist::RunItem(folder, position, *listing_))
        return true;

    bool entered = true;
    {
        core::HourglassCursor hourglass;
        PaintingSuppressed suppressed(*this);
        StopWorker();
        if (position > 0)
            entered = enterFolder(position);
        else
            leaveToParent();
        if (entered) {
            RememberDriveDirectory();
            filelist::RecalcSelection(*listing_);
            UpdateGrid();
        }
    }
    if (entered) {
        ui_->sgBrowser->InvalidateGrid();
        setAddressLine();
        host_.UpdateLaunchAction();
    }
    return entered;
}

bool TBrowserForm::enterFolder(std::int32_t position)
{
    filelist::TstateOfBrowser old = *listing_;
    filelist::TstateOfBrowser fresh;
    createSuccessor(fresh, old);
    filelist::AddChildFolder(1, position, old, filelist::kChildEnter, fresh, 1);
    fresh.folderCount = 1;
    fresh.sortWord = old.sortWord;
    if (!filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, fresh)) {
        freeListing(fresh);
        return false;
    }
    filelist::UnselectFolderItems(1, 4, old);
    freeListing(old);
    *listing_ = fresh;
    filelist::SortFolder(1, listing_->sortWord, *listing_);
    cursor_ = 0;
    return true;
}

// Climbs from folder 1 to the nearest parent that reads; the cursor goes to the folder that was left.
// False when no level up to the drive root reads.
static bool climbToReadableParent(filelist::TstateOfBrowser& state, std::int32_t& cursor)
{
    while (filelist::GetFolderDepth(1, state) > 0) {
        std::string leftName;
        state.itemCount = 0;
        filelist::GoToParentFolder(state, leftName);
        if (filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, state)) {
            filelist::SortFolder(1, state.sortWord, state);
            const std::int32_t position = filelist::FindSubfolderPosition(leftName, state);
            cursor = filelist::GetFolderDepth(1, state) == 0 ? position - 1 : position;
            return true;
        }
    }
    return false;
}

void TBrowserForm::leaveToParent()
{
    if (!climbToReadableParent(*listing_, cursor_))
        JumpToRoot();
}

// ---- Folders ---------------------------------------------------------------------------------

void TBrowserForm::ChangeDirectory(const std::string& path, const std::string& selectName)
{
    StopWorker();
    PaintingSuppressed suppressed(*this);
    if (!path.empty() && platform::pathExists(path) && filelist::SetStateToPath(path, *listing_))
        driveLetter_ = path.front();
    else
        ensureListingExists();
    const bool read = filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, *listing_);
    if (read) {
        filelist::SortFolder(1, listing_->sortWord, *listing_);
    } else {
        // A folder that cannot be read: its nearest readable parent, else the drive's root.
        std::int32_t ignored = 0;
        if (!climbToReadableParent(*listing_, ignored)) {
            ensureListingExists();
            filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, *listing_);
            filelist::SortFolder(1, listing_->sortWord, *listing_);
        }
    }
    filelist::RecalcSelection(*listing_);
    if (BrowserMode_ == kViewBasket)
        placeBasketInfo(false);
    if (BrowserMode_ == kViewBasket || BrowserMode_ == kViewTree)
        SetBrowserMode(OldBrowserMode_);
    cursor_ = 0;
    UpdateGrid();
    listing_->busy = 0;
    setAddressLine();
    UpdateDriveInfo();

    const std::int32_t position =
        selectName.empty() ? 0 : filelist::FindItemPosition(1, selectName, *listing_, true);
    cursor_ = position > 0 && filelist::GetFolderDepth(1, *listing_) == 0 ? position - 1 : position;
    PositionCursor(cursor_, -1, -1);

    const std::int32_t driveIndex = filelist::FindDriveIndex(driveLetter_, filelist::DriveList);
    if (ui_->cmbDrives->count() != int(filelist::DriveList.size()))
        RebuildDriveControls();
    ui_->cmbDrives->setCurrentIndex(driveIndex);
    pressDriveButtons(driveIndex);
    host_.UpdateLaunchAction();
    RememberDriveDirectory();
    ui_->sgBrowser->InvalidateGrid();
}

void TBrowserForm::Refresh()
{
    {
        PaintingSuppressed suppressed(*this);
        StopWorker();
        PositionCursor(-1, -1, -1);
        if (BrowserMode_ == kViewTree) {
            if (filelist::RereadState(*listing_))
                treeRows_ = filelist::CountExpandedItems(*listing_);
            else
                JumpToRoot();
        } else if (BrowserMode_ != kViewBasket && hasFolderOne(*listing_)) {
            if (listing_->cursorName.empty())
                GetItemNameAt(cursor_, listing_->cursorName);
            filelist::TstateOfBrowser old = *listing_;
            filelist::TstateOfBrowser fresh;
            createSuccessor(fresh, old);
            filelist::CopyFolderRecord(1, fresh, 1, old);
            fresh.folderCount = 1;
            fresh.sortWord = old.sortWord;
            bool jump = false;
            if (filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, fresh)) {
                filelist::SortFolder(1, filelist::kSortMerge, fresh);
                filelist::SortFolder(1, filelist::kSortMerge, old);
                filelist::CarryOverSelection(old, fresh, 1, 1);
                filelist::SortFolder(1, fresh.sortWord, fresh);
                *listing_ = fresh;
                PlaceCursorOnName(old.cursorName);
            } else {
                *listing_ = fresh;
                jump = !climbToReadableParent(*listing_, cursor_);
            }
            freeListing(old);
            if (jump)
                JumpToRoot();
        }
        if (BrowserMode_ != kViewBasket) {
            filelist::RecalcSelection(*listing_);
            setAddressLine();
            UpdateBasketInfo();
        }
    }
    UpdateDriveInfo();
    UpdateGrid();
    ui_->sgBrowser->InvalidateGrid();
    host_.UpdateLaunchAction();
}

void TBrowserForm::JumpToRoot()
{
    QComboBox* box = ui_->cmbDrives;
    if (box->count() != int(filelist::DriveList.size())) {
        const int wanted = box->currentIndex();
        RebuildDriveControls();
        if (wanted >= 0 && wanted < box->count())
            box->setCurrentIndex(wanted);
    }
    {
        PaintingSuppressed suppressed(*this);
        StopWorker();
        listing_->busy = 1;
        const std::int32_t d0 = filelist::FindDriveIndex(driveLetter_, filelist::DriveList);
        for (;;) {
            const std::int32_t i = box->currentIndex();
            const bool basketDrive = i >= 0 && std::size_t(i) < filelist::DriveList.size() &&
                                     filelist::DriveList[std::size_t(i)]->letter == '*';
            // The Basket is shown in the Basket view; the listing stays as it is.
            if (basketDrive || filelist::SetStateToDrive(i, *listing_)) {
                driveLetter_ = filelist::DriveList[std::size_t(i)]->letter;
                if (!basketDrive) {
                    filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, *listing_);
                    filelist::SortFolder(1, listing_->sortWord, *listing_);
                    filelist::RecalcSelection(*listing_);
                    if (BrowserMode_ == kViewBasket)
                        SetBrowserMode(OldBrowserMode_);
                } else {
                    SetBrowserMode(kViewBasket);
                }
                UpdateDriveInfo();
                placeBasketInfo(basketDrive);
                break;
            }
            int choice = i;
            if (ChooseDrive(this, choice)) {
                box->setCurrentIndex(choice);
                continue;
            }
            if (i == d0) {
                const std::int32_t first = filelist::FirstReadyFixedDrive(filelist::DriveList);
                if (first >= 0 && first != i) {
                    box->setCurrentIndex(first);
                    continue;
                }
                // No other drive to fall back on: the listing stays.
                break;
            }
            box->setCurrentIndex(d0);
            break;
        }
        pressDriveButtons(box->currentIndex());
        listing_->busy = 0;
        cursor_ = 0;
        UpdateGrid();
        if (isVisible())
            ui_->sgBrowser->setFocus();
    }
    ui_->sgBrowser->InvalidateGrid();
    setAddressLine();
    host_.UpdateLaunchAction();
}

void TBrowserForm::SelectDrive(std::int32_t driveIndex)
{
    if (ui_->pnlBrowserToolbar->isHidden() && ui_->cmbDrives->isVisible())
        QCoreApplication::postEvent(this, new QEvent(kRestoreDriveComboEvent));
    if (driveIndex < 0 || std::size_t(driveIndex) >= filelist::DriveList.size())
        return;
    const char letter = filelist::DriveList[std::size_t(driveIndex)]->letter;
    std::string remembered;
    for (const std::string& entry : DriveDirectories) {
        if (!entry.empty() && std::tolower(static_cast<unsigned char>(entry.front())) ==
                                  std::tolower(static_cast<unsigned char>(letter))) {
            remembered = platform::spelledOnDisk(entry);
            break;
        }
    }
    if (driveLetter_ != '*')
        RememberDriveDirectory();
    if (!remembered.empty() && platform::pathExists(remembered) && BrowserMode_ != kViewTree) {
        ChangeDirectory(remembered, "");
        if (isVisible())
            ui_->sgBrowser->setFocus();
    } else {
        if (ui_->cmbDrives->count() != int(filelist::DriveList.size()))
            RebuildDriveControls();
        ui_->cmbDrives->setCurrentIndex(driveIndex);
        JumpToRoot();
    }
}

void TBrowserForm::RememberDriveDirectory()
{
    if (!hasFolderOne(*listing_))
        return;
    const std::string path = filelist::FolderPathAsStored(1, *listing_);
    if (path.size() < 2 || path[1] != ':')
        return;
    const auto letter = std::tolower(static_cast<unsigned char>(path.front()));
    for (int i = 0; i < DriveDirectories.count(); ++i) {
        const std::string& entry = DriveDirectories[i];
        if (!entry.empty() && std::tolower(static_cast<unsigned char>(entry.front())) == letter) {
            DriveDirectories.set(i, path);
            return;
        }
    }
    DriveDirectories.add(path);
}

// ---- Buttons ---------------------------------------------------------------------------------

void TBrowserForm::btnRUpOneLevelClick()
{
    if ((BrowserMode_ == kViewBrief || BrowserMode_ == kViewFull) && hasFolderOne(*listing_) &&
        filelist::GetFolderDepth(1, *listing_) > 0)
        OpenCurrentItem(1, 1, 0);
}

void TBrowserForm::btnRJumpToRootClick()
{
    JumpToRoot();
}

void TBrowserForm::btnSetDrive(int tag)
{
    core::HourglassCursor hourglass;
    if (ui_->cmbDrives->count() != int(filelist::DriveList.size()))
        RebuildDriveControls();
    ui_->cmbDrives->setCurrentIndex(tag);
    SelectDrive(tag);
}

void TBrowserForm::btnSendTobasketClick()
{
    ui_->sgBrowser->setFocus();
    if (listing_->itemCount > 0)
        host_.SendSelectionToBasket();
}

void TBrowserForm::pnlAddressLineClick()
{
    ui_->sgBrowser->setFocus();
}

// ---- Keys ------------------------------------------------------------------------------------

void TBrowserForm::sgBrowserKeyDown(int& key, Qt::KeyboardModifiers shift)
{
    timerForCM_->stop();
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    const int pressed = key;

    if (BrowserMode_ != kViewBasket) {
        if (rangeCount() < 1)
            return;
        if (BrowserMode_ == kViewBrief) {
            const int gridRows = grid->RowCount();
            const int gridCols = grid->ColCount();
            if ((key == Qt::Key_Right || key == Qt::Key_Down) &&
                gridRows * briefCol_ + briefRow_ >= listing_->rowCount)
                key = Qt::Key_End;
            if (key == Qt::Key_PageUp) {
                if (PositionCursor(cursor_ - gridRows + 1, -1, -1))
                    key = 0;
                else
                    key = Qt::Key_Home;
            }
            if (key == Qt::Key_PageDown) {
                if (PositionCursor(cursor_ + gridRows - 1, -1, -1))
                    key = 0;
                else
                    key = Qt::Key_End;
            }
            if (key == Qt::Key_Right && gridRows * gridCols - cursor_ - 1 < gridRows)
                key = Qt::Key_End;
            if (key == Qt::Key_Left && cursor_ < gridRows)
                key = Qt::Key_Home;
            if (key == Qt::Key_Home) {
                PositionCursor(0, -1, -1);
                key = 0;
            } else if (key == Qt::Key_End) {
                PositionCursor(listing_->rowCount - 1, -1, -1);
                key = 0;
            } else if (key == Qt::Key_Down && grid->Row() == gridRows - 1) {
                PositionCursor(cursor_ + 1, -1, -1);
                key = 0;
            } else if (key == Qt::Key_Up && grid->Row() == 0) {
                PositionCursor(cursor_ - 1, -1, -1);
                key = 0;
            }
        }
        if (isNavigationKey(pressed))
            PositionCursor(-1, -1, -1);

        if (key == Qt::Key_Insert || key == Qt::Key_Space) {
            const bool space = key == Qt::Key_Space;
            {
                std::unique_ptr<core::HourglassCursor> hourglass;
                if (space)
                    hourglass = std::make_unique<core::HourglassCursor>();
                SelectCurrentItem(space && filelist::HasGeneralOption(kOptionSpaceMeasuresFolders), 1);
            }
            key = 0;
            if (!space) {
                int down = Qt::Key_Down;
                grid->KeyDown(down, Qt::NoModifier);
            }
        } else if (key == Qt::Key_Backspace) {
            key = 0;
            btnRUpOneLevelClick();
        } else if (isEnter(key) || key == Qt::Key_F3 || key == Qt::Key_F4) {
            int mode = 0;
            if (key == Qt::Key_F3)
                mode = 2;
            else if (key == Qt::Key_F4)
                mode = 3;
            else if (shift & Qt::AltModifier)
                mode = 1;
            key = 0;
            if (cursor_ + 1 <= listing_->rowCount)
                OpenCurrentItem(1, cursor_ + 1, mode);
        } else if (isNumpadAsterisk(key, shift)) {
            key = 0;
            filelist::SelectFolderItems(
                1, *listing_, !filelist::HasGeneralOption(filelist::kOptionMaskSelectsFilesOnly), 1);
            filelist::RecalcSelection(*listing_);
            UpdateStatusLine(cursor_ + 1);
            host_.UpdateLaunchAction();
            grid->InvalidateGrid();
        }
        return;
    }

    // The Basket view.
    if (basketRows_ <= 0 || basketRows_ <= grid->Row())
        return;
    std::int32_t folder = 0;
    std::int32_t position = 0;
    filelist::RowToItem(grid->Row() + 1, BasketMode_ == 2, folder, *basketView_, position);
    if (isEnter(key)) {
        key = 0;
        if (position != 0) {
            if (shift & Qt::AltModifier)
                filelist::ShowPropertiesDialog(folder, position, *basketView_, this);
            else
                filelist::RunItem(folder, position, *basketView_);
        }
    } else if (key == Qt::Key_F3 || key == Qt::Key_F4) {
        const bool editor = key == Qt::Key_F4;
        key = 0;
        filelist::OpenItem(folder, position, *basketView_, editor);
    } else if (isNumpadAsterisk(key, shift)) {
        key = 0;
        const bool withFolders = !filelist::HasGeneralOption(filelist::kOptionMaskSelectsFilesOnly);
        for (std::int32_t f = 1; f <= basketView_->folderCount; ++f)
            filelist::SelectFolderItems(f, *basketView_, withFolders, 1);
        grid->InvalidateGrid();
        filelist::RecalcSelection(*basketView_);
        UpdateStatusLine(cursor_ + 1);
        host_.UpdateLaunchAction();
    } else if (key == Qt::Key_Insert || key == Qt::Key_Space) {
        const bool insert = key == Qt::Key_Insert;
        key = 0;
        SelectCurrentItem(false, 1);
        if (insert) {
            int down = Qt::Key_Down;
            grid->KeyDown(down, Qt::NoModifier);
        }
    } else if (isNavigationKey(key)) {
        PositionCursor(-1, -1, -1);
    }
    if (BasketMode_ == 1 && basketView_->selectedCount == 0)
        UpdateStatusLine(cursor_ + 1);
}

// ---- Mouse -----------------------------------------------------------------------------------

void TBrowserForm::sgBrowserMouseDown(Qt::MouseButton button, bool doubleClick, int x, int y)
{
    timerForCM_->stop();
    // While an operation or a plug-in walks the lists, a click neither opens nor marks: the keys are
    // held off the same way.
    if (filelist::OperationBusy)
        return;
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    if (button == Qt::LeftButton) {
        if (doubleClick) {
            int enter = Qt::Key_Return;
            grid->KeyDown(enter, Qt::NoModifier);
        } else {
            PositionCursor(-1, -1, -1);
        }
        return;
    }
    if (button != Qt::RightButton)
        return;
    undoAction_ = 8;
    int col = -1;
    int row = -1;
    grid->MouseToCell(x, y, col, row);
    // Only a cell that holds an item is marked: a click below the last item changes nothing.
    if (col < 0 || row < 0 || !PositionCursor(-1, col, row))
        return;
    SelectCurrentItem(false, 1);
    std::int32_t folder = 0;
    std::int32_t position = 0;
    if (!CursorToItem(folder, position))
        return;
    filelist::TstateOfBrowser& list = BrowserMode_ == kViewBasket ? *basketView_ : *listing_;
    if (position > 0) {
        undoAction_ = filelist::IsItemSelected(folder, position, list) ? 2 : 4;
        menuList_ = &list;
        menuFolder_ = folder;
        menuPosition_ = position;
        menuPoint_ = QPoint(x, y);
        timerForCM_->start();
    } else {
        undoAction_ = 2;
    }
}

void TBrowserForm::sgBrowserMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    if (timerForCM_->isActive() && QPoint(x, y) != menuPoint_)
        timerForCM_->stop();
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    // The grid's own move under a held left button was vetoed (the cursor stays where the press put
    // it): the cell it asked for is forgotten, so that no later placing of the cursor (the refresh
    // after a file operation) goes there.
    briefCol_ = grid->Col();
    briefRow_ = grid->Row();
    if (!(buttons & Qt::RightButton) || !grid->hasFocus() || filelist::OperationBusy)
        return;
    int col = -1;
    int row = -1;
    grid->MouseToCell(x, y, col, row);
    if (col < 0 || row < 0 || (col == grid->Col() && row == grid->Row()))
        return;
    if (PositionCursor(-1, col, row))
        SelectCurrentItem(false, undoAction_);
}

void TBrowserForm::timerForCMTimer()
{
    timerForCM_->stop();
    if (menuList_ == nullptr)
        return;
    SelectCurrentItem(false, 2);
    controls::TWUXStringGrid* grid = ui_->sgBrowser;
    filelist::ShowShellContextMenu(grid, menuFolder_, menuPosition_, *menuList_,
                                   grid->viewport()->mapToGlobal(menuPoint_));
    SelectCurrentItem(false, undoAction_ == 2 ? 4 : 2);
}

// ---- Drive box -------------------------------------------------------------------------------

bool TBrowserForm::cmbDrivesKeyDown(QKeyEvent* event)
{
    QComboBox* box = ui_->cmbDrives;
    comboKeysMoving_ = true;
    if (isEnter(event->key())) {
        SelectDrive(box->currentIndex());
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        ui_->sgBrowser->setFocus();
        return true;
    }
    const QString text = event->text();
    if (text.size() == 1 && text.front().isPrint()) {
        const char typed = char(std::tolower(text.front().toLatin1()));
        for (std::size_t i = 0; i < filelist::DriveList.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(filelist::DriveList[i]->letter)) == typed) {
                box->setCurrentIndex(int(i));
                SelectDrive(std::int32_t(i));
                break;
            }
        }
        return true;
    }
    return false;
}

void TBrowserForm::cmbDrivesExit()
{
    const QSignalBlocker blocker(ui_->cmbDrives);
    ui_->cmbDrives->setCurrentIndex(filelist::FindDriveIndex(driveLetter_, filelist::DriveList));
    comboKeysMoving_ = false;
    if (ui_->pnlBrowserToolbar->isHidden())
        QCoreApplication::postEvent(this, new QEvent(kRestoreDriveComboEvent));
}

void TBrowserForm::drivePopupClosed()
{
    // The box that Alt+F1 or Alt+F2 showed over the panel: back into its bar, the list has the keyboard.
    if (ui_->cmbDrives->parentWidget() == ui_->pnlBrowserToolbar || ui_->cmbDrives->view()->isVisible())
        return;
    if (ui_->cmbDrives->hasFocus() && isVisible())
        ui_->sgBrowser->setFocus();
    else
        cmbDrivesExit();
}

bool TBrowserForm::event(QEvent* event)
{
    if (event->type() == kRestoreDriveComboEvent) {
        // WMRestoreDriveCombo: the drive box goes back into the toolbar.
        if (ui_->cmbDrives->parentWidget() != ui_->pnlBrowserToolbar) {
            ui_->cmbDrives->setParent(ui_->pnlBrowserToolbar);
            ui_->cmbDrives->move(0, 1);
            ui_->cmbDrives->show();
        }
        return true;
    }
    return QWidget::event(event);
}

} // namespace wux::mainwindow
