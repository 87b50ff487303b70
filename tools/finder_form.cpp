#include "tools/finder_form.h"

#include "ui_TFinderForm.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <initializer_list>
#include <iterator>

#include "controls/system_colors.h"
#include "core/display_helpers.h"
#include "core/system_error.h"
#include "core/ring_list.h"
#include "core/text_table.h"
#include "engines/search_thread.h"
#include "filelist/file_operations.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/string_list.h"
#include "platform/text.h"
#include "tools/query_dialog.h"
#include "tools/replace_window_support.h"
#include "tools/search_results.h"
#include "tools/tool_host.h"

namespace wux::tools {

using controls::SysColor;
using controls::sysColor;

namespace {

constexpr const char* kSection = "Finder";
constexpr const char* kKeyMasks = "MASK_FINDER";
constexpr const char* kKeyText = "FIND_TEXT";
constexpr const char* kKeyPaths = "SEARCH_PATHS";
constexpr const char* kKeyRecurse = "RECURSE_SUBDIRECTORIES";
// General texts of the path query.
constexpr int kTextAddPath = 108;
constexpr int kTextEditPath = 109;

// Offsets of the window's texts from its base.
enum FinderText : int
{
    kTitle = 0,
    kHint = 1,
    kSearchFor = 2,
    kSearchIn = 3,
    kAdd = 4,
    kDelete = 5,
    kEdit = 6,
    kAdvanced = 7,
    kAnd = 8,
    kDateBetween = 9,
    kNotOlder = 10,
    kFileSize = 11,
    kSameSize = 12,
    kSameName = 13,
    kDuplicates = 14,
    kAttributes = 15,
    kArchive = 16,
    kReadOnly = 17,
    kHidden = 18,
    kDirectory = 19,
    kSystem = 20,
    kByContent = 21,
    kType = 22,
    kFindText = 23,
    kCaseSensitive = 24,
    kPhrase = 25,
    kOr = 26,
    kAndTerms = 27,
    kWholeWords = 28,
    kGeneral = 29,
    kInSelection = 30,
    kStartFind = 31,
    kHelp = 32,
    kRanges = 33,
    kSizes = 38,
    kSigns = 41,
    kRecurse = 44,
};

constexpr const char* kDefaultTexts[] = {"Finder",
                                         "Find files",
                                         "Search f&or:",
                                         "Search in:",
                                         "A&dd",
                                         "Delete",
                                         "Edit",
                                         "&Advanced",
                                         "and:",
                                         "Date &between:",
                                         "&Not older than:",
                                         "File si&ze:",
                                         "Same size",
                                         "Same name",
                                         "Duplicates",
                                         "Attributes",
                                         "Archive",
                                         "Read only",
                                         "Hidden",
                                         "Directory",
                                         "System",
                                         "By Con&tent",
                                         "Type:",
                                         "Find te&xt:",
                                         "Cas&e sensitive",
                                         "&Phrase",
                                         "&OR",
                                         "A&ND",
                                         "Whole wor&ds only",
                                         "&General",
                                         "Onl&y search in selected directories and files",
                                         "&Start Find",
                                         "Help",
                                         "hour(s)",
                                         "day(s)",
                                         "week(s)",
                                         "month(s)",
                                         "year(s)",
                                         "bytes",
                                         "Kbytes",
                                         "Mbytes",
                                         "equal",
                                         "more than",
                                         "less than",
                                         "Recurse subdirectories"};
constexpr int kTextCount = int(std::size(kDefaultTexts));

// Size test kinds by the sign box's item: equal 1, more than 3 (larger), less than 2 (smaller).
constexpr std::array<std::uint32_t, 3> kSizeTests = {1, 3, 2};

// The search folders drawn in caption colours when selected, 3 pixels from the left.
class SearchPathDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QWidget* list = option.widget;
        const bool focused = list != nullptr && list->hasFocus();
        QColor background = sysColor(SysColor::Window);
        QColor text = sysColor(SysColor::WindowText);
        if (option.state & QStyle::State_Selected) {
            background = sysColor(focused ? SysColor::ActiveCaption : SysColor::InactiveCaption);
            text = sysColor(focused ? SysColor::CaptionText : SysColor::InactiveCaptionText);
        }
        painter->save();
        painter->fillRect(option.rect, background);
        painter->setClipRect(option.rect);
        painter->setPen(text);
        painter->setFont(option.font);
        const int height = QFontMetrics(option.font).height();
        painter->drawText(QRect(option.rect.left() + 3,
                                option.rect.top() + (option.rect.height() - height) / 2,
                                option.rect.width() - 3, height),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data().toString());
        painter->restore();
    }
};

QString qText(int id)
{
    return platform::toQString(core::uiText(id));
}

// Refills a drop-down list from texts first .. first + count - 1, keeping its index (none becomes 0).
void refillCombo(QComboBox& box, int first, int count)
{
    const int index = std::max(box.currentIndex(), 0);
    QSignalBlocker block(&box);
    box.clear();
    for (int i = 0; i < count; ++i)
        box.addItem(qText(first + i));
    box.setCurrentIndex(std::min(index, count - 1));
}

bool isInside(const QWidget* widget, const QWidget* ancestor)
{
    return widget != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

} // namespace

// ---- The filter ----

filelist::TBrowserFilter BuildFinderFilter(const FinderConditions& conditions)
{
    filelist::TBrowserFilter filter;
    if (conditions.duplicates) {
        filter.duplicateMode = (conditions.sameName ? 1u : 0u) + (conditions.sameSize ? 2u : 0u);
        filter.findDuplicates = 1;
    }
    for (std::size_t i = 0; i < kFinderAttributeBits.size(); ++i) {
        if (conditions.attributes[i] == Qt::Checked)
            filter.attributesPresent |= kFinderAttributeBits[i];
        else if (conditions.attributes[i] == Qt::Unchecked)
            filter.attributesAbsent |= kFinderAttributeBits[i];
    }
    filter.enabled = 1;
    if (conditions.sizeOn) {
        filter.size = std::uint64_t(std::max<std::int64_t>(conditions.size, 0));
        const int sign = conditions.signIndex >= 0 && conditions.signIndex < 3 ? conditions.signIndex : 0;
        const int unit = conditions.unitIndex >= 0 && conditions.unitIndex < 3 ? conditions.unitIndex : 0;
        filter.sizeTest = kSizeTests[std::size_t(sign)] + 4u * std::uint32_t(unit + 1);
        filter.enabled = filter.sizeTest != 0 ? 1 : 0;
    }
    if (conditions.dateBetween) {
        filter.enabled = 1;
        filter.dateMode = 1;
        platform::FileTime from = 0;
        platform::FileTime dayAfter = 0;
        core::DateTimeToUtcFileTime(QDateTime(conditions.firstDay, QTime(0, 0)), from);
        core::DateTimeToUtcFileTime(QDateTime(conditions.lastDay.addDays(1), QTime(0, 0)), dayAfter);
        filter.from = from;
        filter.to = dayAfter > 0 ? dayAfter - 1 : 0;
    }
    if (conditions.notOlder) {
        filter.enabled = 1;
        filter.dateMode = 2;
        filter.count = conditions.notOlderCount;
        filter.unit = conditions.rangeIndex;
    }
    return filter;
}

// ---- Window ----

TFinderForm::TFinderForm(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TFinderForm>())
{
    ui_->setupUi(this);
    ui_->lbSearchPaths->setItemDelegate(new SearchPathDelegate(ui_->lbSearchPaths));
    ui_->lbSearchPaths->installEventFilter(this);
    onLabelClick(*ui_->pnlNameTools, [this] { pnlAddressLineClick(); });
    for (QCheckBox* box : {ui_->chkArchive, ui_->chkReadOnly, ui_->chkHidden, ui_->chkDirectory,
                           ui_->chkSystem, ui_->chkSameName, ui_->chkSameSize})
        box->setCheckState(Qt::PartiallyChecked);
    ui_->chkWholeWords->hide();
    ui_->cmbSearchFor->setEditText(QStringLiteral("*.*"));

    for (controls::TVYKComboBox* box : {ui_->cmbSearchFor, ui_->cmbTextToFind}) {
        box->OnKeyDown = [this](int& key, Qt::KeyboardModifiers) {
            if (key != Qt::Key_Return && key != Qt::Key_Enter)
                return;
            key = 0;
            if (ui_->btnStartOperation->isEnabled())
                ui_->btnStartOperation->click();
        };
        connect(box, &QComboBox::editTextChanged, this, [this] { updateLaunchAction(); });
    }
    connect(ui_->btnStartOperation, &QPushButton::clicked, this, &TFinderForm::btnStartOperationClick);
    connect(ui_->btnHelpFinder, &QPushButton::clicked, this, [] { showToolHelp("FINDER.htm"); });
    connect(ui_->btnAdd, &QPushButton::clicked, this, &TFinderForm::btnAddClick);
    connect(ui_->btnEdit, &QPushButton::clicked, this, &TFinderForm::btnEditClick);
    connect(ui_->btnDelete, &QPushButton::clicked, this, &TFinderForm::btnDeleteClick);
    connect(ui_->lbSearchPaths, &QListWidget::itemDoubleClicked, this, [this] {
        if (ui_->btnEdit->isEnabled())
            ui_->btnEdit->click();
    });
    connect(ui_->lbSearchPaths, &QListWidget::currentRowChanged, this, [this] { refreshEnabledStates(); });
    connect(ui_->chkFindInSelDirs, &QCheckBox::clicked, this, [this] {
        refreshEnabledStates();
        updateLaunchAction();
    });
    connect(ui_->chkRecurse, &QCheckBox::clicked, this, [this] {
        refreshEnabledStates();
        updateLaunchAction();
    });
    connect(ui_->chkFindText, &QCheckBox::clicked, this, &TFinderForm::chkFindTextClick);
    connect(ui_->chkDateBetween, &QCheckBox::clicked, this, &TFinderForm::chkDateBetweenClick);
    connect(ui_->chkNotOlderThen, &QCheckBox::clicked, this, &TFinderForm::chkNotOlderThenClick);
    connect(ui_->chkFindFilesSize, &QCheckBox::clicked, this, &TFinderForm::chkFindFilesSizeClick);
    connect(ui_->chkDuplicates, &QCheckBox::clicked, this, &TFinderForm::chkDuplicatesClick);
    connect(ui_->chkSameName, &QCheckBox::clicked, this, [this] { criterionClick(true); });
    connect(ui_->chkSameSize, &QCheckBox::clicked, this, [this] { criterionClick(false); });
    for (QSpinBox* spin : {ui_->spSize, ui_->spNotOlder})
        connect(spin, &QSpinBox::valueChanged, spin, [spin](int value) {
            if (value < 0)
                spin->setValue(0);
        });
    // The two date and size boxes start unchecked: their controls wait until they are checked.
    chkFindTextClick();
    chkDateBetweenClick();
    chkNotOlderThenClick();
    chkFindFilesSizeClick();
    chkDuplicatesClick();
    connect(qApp, &QApplication::focusChanged, this, &TFinderForm::focusChanged);
    paintToolCaption(*ui_->pnlNameTools, false);
    refreshEnabledStates();
}

TFinderForm::~TFinderForm()
{
    // The focus signal must not reach the form while its base class is being destroyed.
    disconnect(qApp, nullptr, this, nullptr);
}

void TFinderForm::InitTool()
{
    setHelpGlyph(*ui_->btnHelpFinder);
    setStartGlyph(*ui_->btnStartOperation);
    const QDate today = QDate::currentDate();
    ui_->dtpDateFirst->setDate(today);
    ui_->dtpDateEnd->setDate(today);
    const int width = std::max(layout()->minimumSize().width(), 300);
    setMinimumSize(width, 425);
}

void TFinderForm::RegisterDefaultTexts(int baseId)
{
    baseId_ = baseId;
    for (int i = 0; i < kTextCount; ++i)
        core::registerDefaultTexts({{baseId + i, kDefaultTexts[i]}});
}

void TFinderForm::Translate(int baseId)
{
    baseId_ = baseId;
    auto text = [baseId](int offset) { return qText(baseId + offset); };
    ui_->pnlNameTools->setText(text(kTitle));
    ui_->lblSearchFor->setText(text(kSearchFor));
    ui_->lblSearchIn->setText(text(kSearchIn));
    ui_->btnAdd->setText(text(kAdd));
    ui_->btnDelete->setText(text(kDelete));
    ui_->btnEdit->setText(text(kEdit));
    ui_->pcFinder->setTabText(ui_->pcFinder->indexOf(ui_->tsGeneral), text(kGeneral));
    ui_->pcFinder->setTabText(ui_->pcFinder->indexOf(ui_->tsAdvansed), text(kAdvanced));
    ui_->pcFinder->setTabText(ui_->pcFinder->indexOf(ui_->tsByText), text(kByContent));
    ui_->lblAnd->setText(text(kAnd));
    ui_->chkDateBetween->setText(text(kDateBetween));
    ui_->chkNotOlderThen->setText(text(kNotOlder));
    ui_->chkFindFilesSize->setText(text(kFileSize));
    ui_->chkSameSize->setText(text(kSameSize));
    ui_->chkSameName->setText(text(kSameName));
    ui_->chkDuplicates->setText(text(kDuplicates));
    ui_->gbxAttributes->setTitle(text(kAttributes));
    ui_->chkArchive->setText(text(kArchive));
    ui_->chkReadOnly->setText(text(kReadOnly));
    ui_->chkHidden->setText(text(kHidden));
    ui_->chkDirectory->setText(text(kDirectory));
    ui_->chkSystem->setText(text(kSystem));
    ui_->lblType->setText(text(kType));
    ui_->chkFindText->setText(text(kFindText));
    ui_->chkCaseSensitive->setText(text(kCaseSensitive));
    ui_->rbPhrase->setText(text(kPhrase));
    ui_->rbOr->setText(text(kOr));
    ui_->rbAnd->setText(text(kAndTerms));
    ui_->chkWholeWords->setText(text(kWholeWords));
    ui_->chkFindInSelDirs->setText(text(kInSelection));
    ui_->btnStartOperation->setText(text(kStartFind));
    ui_->btnHelpFinder->setText(text(kHelp));
    ui_->chkRecurse->setText(text(kRecurse));
    refillCombo(*ui_->cmbRange, baseId + kRanges, 5);
    refillCombo(*ui_->cmbSize, baseId + kSizes, 3);
    refillCombo(*ui_->cmbSign, baseId + kSigns, 3);
}

void TFinderForm::LoadSettings()
{
    const platform::IniFile ini = SettingsIni();
    ui_->cmbSearchFor->LoadHistory(ini, kSection, kKeyMasks);
    ui_->cmbTextToFind->LoadHistory(ini, kSection, kKeyText);
    platform::StringList paths;
    core::ReadStringsFromIni(ini, paths, kSection, kKeyPaths);
    ui_->lbSearchPaths->clear();
    for (int i = 0; i < paths.count(); ++i)
        ui_->lbSearchPaths->addItem(platform::toQString(paths.at(i)));
    ui_->chkRecurse->setChecked(ini.readBool(kSection, kKeyRecurse, true));
    if (ui_->lbSearchPaths->count() > 0)
        ui_->lbSearchPaths->setCurrentRow(0);
    refreshEnabledStates();
}

void TFinderForm::SaveSettings()
{
    platform::IniFile ini = SettingsIni();
    ui_->cmbSearchFor->SaveHistory(ini, kSection, kKeyMasks);
    ui_->cmbTextToFind->SaveHistory(ini, kSection, kKeyText);
    platform::StringList paths;
    for (const std::string& path : searchPaths())
        paths.add(path);
    core::WriteStringsToIni(ini, paths, kSection, kKeyPaths);
    ini.writeBool(kSection, kKeyRecurse, ui_->chkRecurse->isChecked());
}

bool TFinderForm::CanStart(filelist::TstateOfBrowser* panelState)
{
    selectionPresent_ = panelState != nullptr && panelState->selectedCount > 0;
    refreshEnabledStates();
    return ui_->btnStartOperation->isEnabled();
}

void TFinderForm::refreshEnabledStates()
{
    const bool startFocused = ui_->btnStartOperation->hasFocus();
    const bool selectionFocused = ui_->chkFindInSelDirs->hasFocus();
    ui_->chkFindInSelDirs->setEnabled(selectionPresent_);
    if (!selectionPresent_)
        ui_->chkFindInSelDirs->setChecked(false);
    const int paths = ui_->lbSearchPaths->count();
    const bool pathChosen = paths > 0 && ui_->lbSearchPaths->currentRow() >= 0;
    ui_->btnDelete->setEnabled(pathChosen);
    ui_->btnEdit->setEnabled(pathChosen);
    ui_->lbSearchPaths->setEnabled(paths > 0);
    if (paths == 0 && ui_->chkFindInSelDirs->isEnabled())
        ui_->chkFindInSelDirs->setChecked(true);
    ui_->btnStartOperation->setEnabled(paths > 0 || ui_->chkFindInSelDirs->isChecked());
    if ((startFocused && !ui_->btnStartOperation->isEnabled()) ||
        (selectionFocused && !ui_->chkFindInSelDirs->isEnabled()))
        pnlAddressLineClick();
    for (controls::TVYKComboBox* box : {ui_->cmbSearchFor, ui_->cmbTextToFind})
        if (!box->hasFocus() && box->lineEdit() != nullptr)
            box->lineEdit()->deselect();
}

void TFinderForm::StartOperation()
{
    if (ui_->btnStartOperation->isEnabled())
        ui_->btnStartOperation->click();
}

void TFinderForm::ShowHelp()
{
    ui_->btnHelpFinder->click();
}

void TFinderForm::ShowTitle(bool visible)
{
    ui_->pnlAlign->setVisible(visible);
}

FinderConditions TFinderForm::conditions() const
{
    FinderConditions c;
    c.duplicates = ui_->chkDuplicates->isChecked();
    c.sameName = ui_->chkSameName->checkState() == Qt::Checked;
    c.sameSize = ui_->chkSameSize->checkState() == Qt::Checked;
    const std::array<QCheckBox*, 5> boxes = {ui_->chkArchive, ui_->chkReadOnly, ui_->chkSystem,
                                             ui_->chkHidden, ui_->chkDirectory};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        c.attributes[i] = boxes[i]->checkState();
    c.sizeOn = ui_->chkFindFilesSize->isChecked();
    c.size = ui_->spSize->value();
    c.signIndex = ui_->cmbSign->currentIndex();
    c.unitIndex = ui_->cmbSize->currentIndex();
    c.dateBetween = ui_->chkDateBetween->isChecked();
    c.firstDay = ui_->dtpDateFirst->date();
    c.lastDay = ui_->dtpDateEnd->date();
    c.notOlder = ui_->chkNotOlderThen->isChecked();
    c.notOlderCount = ui_->spNotOlder->value();
    c.rangeIndex = ui_->cmbRange->currentIndex();
    return c;
}

std::vector<std::string> TFinderForm::searchPaths() const
{
    std::vector<std::string> paths;
    for (int i = 0; i < ui_->lbSearchPaths->count(); ++i)
        paths.push_back(platform::toUtf8(ui_->lbSearchPaths->item(i)->text()));
    return paths;
}

// ---- The run ----

void TFinderForm::btnStartOperationClick()
{
    using engines::FinderStore;
    const std::string mask = platform::toUtf8(ui_->cmbSearchFor->currentText());
    filelist::CreateBrowserState(FinderStore, 10, 300, mask, 10000);
    FinderStore.filter = BuildFinderFilter(conditions());
    engines::ResultListState = &FinderStore;
    FinderStore.mode = 2;
    // Typed or stored folders: written either way, their names perhaps in another letter case.
    std::vector<std::string> paths = searchPaths();
    for (std::string& path : paths) {
        std::string typed = std::move(path);
        if (platform::pathFromOutside(typed, path, platform::TypedName::kExisting) != platform::kErrorSuccess)
            path = std::move(typed); // (not found there)
    }
    {
        IToolHost* host = toolHost();
        TSrchRes results(host != nullptr && host->MainWidget() != nullptr ? host->MainWidget() : window());
        results.InitSearch();
        engines::TFinder finder;
        finder.setPriority(platform::ThreadPriority::Normal);
        if (!ui_->chkFindInSelDirs->isChecked()) {
            finder.pathList = &paths;
            finder.recurse = ui_->chkRecurse->isChecked();
        }
        if (ui_->chkFindText->isChecked()) {
            finder.PrepareTextSearch(platform::toUtf8(ui_->cmbTextToFind->currentText()),
                                     ui_->chkCaseSensitive->isChecked(), ui_->rbPhrase->isChecked());
            finder.allTerms = ui_->rbAnd->isChecked();
        }
        finder.view = &results;
        finder.OnTerminate = [&results](platform::WuxThread&) { results.SearchDone(); };
        results.setSearchThread(&finder);
        finder.Start();
        filelist::OperationBusy = true;
        if (onResultsShown)
            onResultsShown(results);
        results.exec();
        finder.Terminate();
        finder.WaitFor();
        results.setSearchThread(nullptr);
    }
    filelist::FreeBrowserState(FinderStore);
    engines::ResultListState = nullptr;
    filelist::OperationBusy = false;
    if (IToolPanelsHost* host = toolPanelsHost())
        host->RefreshPanels();
}

// ---- Path list ----

bool TFinderForm::askPath(int promptId, std::string& path)
{
    TStandardQuery query(this);
    query.lblInfo()->setText(qText(promptId));
    query.edInfo()->setText(platform::toQString(path));
    query.ShowBrowseButton();
    if (query.exec() != QDialog::Accepted)
        return false;
    const std::string typed = platform::toUtf8(query.edInfo()->text());
    if (const platform::WinError error = platform::pathFromOutside(typed, path, platform::TypedName::kExisting)) {
        std::string reason;
        const IToolHost* host = toolHost();
        core::ShowSystemError(true, error, host != nullptr ? host->MainCaption() : std::string(), typed, reason);
        return false;
    }
    return !path.empty();
}

void TFinderForm::btnAddClick()
{
    std::string path = "c:\\";
    if (askPath(kTextAddPath, path)) {
        ui_->lbSearchPaths->addItem(platform::toQString(path));
        ui_->lbSearchPaths->setCurrentRow(ui_->lbSearchPaths->count() - 1);
    }
    refreshEnabledStates();
    updateLaunchAction();
}

void TFinderForm::btnEditClick()
{
    const int row = ui_->lbSearchPaths->currentRow();
    if (row < 0)
        return;
    std::string path = platform::toUtf8(ui_->lbSearchPaths->item(row)->text());
    if (askPath(kTextEditPath, path))
        ui_->lbSearchPaths->item(row)->setText(platform::toQString(path));
}

void TFinderForm::btnDeleteClick()
{
    const int row = ui_->lbSearchPaths->currentRow();
    if (row < 0)
        return;
    delete ui_->lbSearchPaths->takeItem(row);
    const int count = ui_->lbSearchPaths->count();
    if (count > 0)
        ui_->lbSearchPaths->setCurrentRow(std::min(row, count - 1));
    refreshEnabledStates();
    updateLaunchAction();
    if (!ui_->btnDelete->isEnabled())
        ui_->cmbSearchFor->setFocus();
}

// ---- Condition boxes ----

void TFinderForm::chkFindTextClick()
{
    const bool on = ui_->chkFindText->isChecked();
    for (QWidget* widget :
         std::initializer_list<QWidget*>{ui_->cmbTextToFind, ui_->chkCaseSensitive, ui_->chkWholeWords,
                                         ui_->rbPhrase, ui_->rbOr, ui_->rbAnd, ui_->lblType})
        widget->setEnabled(on);
    if (on && ui_->chkFindText->hasFocus())
        ui_->cmbTextToFind->setFocus();
}

void TFinderForm::chkDateBetweenClick()
{
    const bool on = ui_->chkDateBetween->isChecked();
    ui_->dtpDateFirst->setEnabled(on);
    ui_->dtpDateEnd->setEnabled(on);
    if (on && ui_->chkDateBetween->hasFocus() && ui_->chkNotOlderThen->isChecked()) {
        ui_->chkNotOlderThen->setChecked(false);
        chkNotOlderThenClick();
    }
}

void TFinderForm::chkNotOlderThenClick()
{
    const bool on = ui_->chkNotOlderThen->isChecked();
    ui_->spNotOlder->setEnabled(on);
    ui_->cmbRange->setEnabled(on);
    if (on && ui_->chkNotOlderThen->hasFocus() && ui_->chkDateBetween->isChecked()) {
        ui_->chkDateBetween->setChecked(false);
        chkDateBetweenClick();
    }
}

void TFinderForm::chkFindFilesSizeClick()
{
    const bool on = ui_->chkFindFilesSize->isChecked();
    for (QWidget* widget : std::initializer_list<QWidget*>{ui_->cmbSign, ui_->spSize, ui_->cmbSize})
        widget->setEnabled(on);
}

void TFinderForm::chkDuplicatesClick()
{
    const bool on = ui_->chkDuplicates->isChecked();
    for (QCheckBox* box : {ui_->chkSameName, ui_->chkSameSize}) {
        box->setTristate(!on);
        box->setCheckState(on ? Qt::Checked : Qt::PartiallyChecked);
        box->setEnabled(on);
    }
}

void TFinderForm::criterionClick(bool sameName)
{
    QCheckBox* clicked = sameName ? ui_->chkSameName : ui_->chkSameSize;
    QCheckBox* other = sameName ? ui_->chkSameSize : ui_->chkSameName;
    if (clicked->checkState() != Qt::Checked && other->checkState() != Qt::Checked)
        other->setCheckState(Qt::Checked);
}

// ---- Focus, title and keys ----

void TFinderForm::pnlAddressLineClick()
{
    switch (ui_->pcFinder->currentIndex()) {
    case 1:
        ui_->chkDateBetween->setFocus();
        break;
    case 2:
        ui_->chkFindText->setFocus();
        break;
    default:
        ui_->cmbSearchFor->setFocus();
        break;
    }
}

void TFinderForm::focusChanged(QWidget* old, QWidget* now)
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

bool TFinderForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->lbSearchPaths && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            if (ui_->btnDelete->isEnabled())
                ui_->btnDelete->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFinderForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshEnabledStates();
}

void TFinderForm::updateLaunchAction()
{
    if (IToolPanelsHost* host = toolPanelsHost())
        host->UpdateLaunchAction();
}

} // namespace wux::tools
