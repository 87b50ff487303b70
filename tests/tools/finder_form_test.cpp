#include "tools/finder_form.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include <algorithm>
#include <functional>
#include <string>

#include "core/text_table.h"
#include "engines/search_thread.h"
#include "filelist/browser_state.h"
#include "filelist/file_operations.h"
#include "platform/dialogs.h"
#include "platform/filetime.h"
#include "platform/ini_file.h"
#include "platform/shell/folder_browser.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tools/query_dialog.h"
#include "tools/search_results.h"
#include "tools/tool_test_host.h"

namespace wux::tools {
namespace {

using filelist::TBrowserFilter;

platform::FileTime utcTime(int year, int month, int day, int hour = 0, int minute = 0)
{
    platform::CalendarTime time{};
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    return platform::calendarToFileTime(time).value();
}

// ---- The filter of the conditions ----

constexpr Qt::CheckState G = Qt::PartiallyChecked;
constexpr Qt::CheckState Y = Qt::Checked;
constexpr Qt::CheckState N = Qt::Unchecked;

// Every field of a filter but its times.
std::string describe(const TBrowserFilter& f)
{
    return "on=" + std::to_string(f.enabled) + " dup=" + std::to_string(f.findDuplicates) + "/" +
           std::to_string(f.duplicateMode) + " date=" + std::to_string(f.dateMode) + " " +
           std::to_string(f.count) + "/" + std::to_string(f.unit) + " size=" + std::to_string(f.size) + "/" +
           std::to_string(f.sizeTest) + " attr=+" + std::to_string(f.attributesPresent) + "-" +
           std::to_string(f.attributesAbsent);
}

TEST(FinderFilter, EachConditionReachesItsField)
{
    using Set = std::function<void(FinderConditions&)>;
    const auto attributes = [](std::array<Qt::CheckState, 5> states) {        // archive, read-only, system,
        return Set([states](FinderConditions& c) { c.attributes = states; }); // hidden, directory
    };
    const auto size = [](bool on, int sign, int unit) {
        return Set([=](FinderConditions& c) {
            c.sizeOn = on;
            c.size = on ? 1234 : 99;
            c.signIndex = sign;
            c.unitIndex = unit;
        });
    };
    const auto duplicates = [](bool on, bool name, bool size) {
        return Set([=](FinderConditions& c) {
            c.duplicates = on;
            c.sameName = name;
            c.sameSize = size;
        });
    };
    const Set notOlder = [](FinderConditions& c) {
        c.dateBetween = true;
        c.firstDay = QDate(2024, 3, 5);
        c.lastDay = QDate(2024, 3, 6);
        c.notOlder = true;
        c.notOlderCount = 3;
        c.rangeIndex = 2;
    };
    const std::pair<Set, const char*> rows[] = {
        {attributes({G, G, G, G, G}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+0-0"},
        {attributes({Y, G, G, G, G}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+32-0"},
        {attributes({G, N, G, G, G}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+0-1"},
        {attributes({G, G, Y, N, G}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+4-2"},
        {attributes({G, G, G, G, Y}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+16-0"},
        {attributes({Y, Y, Y, Y, Y}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+55-0"},
        {attributes({N, N, N, N, N}), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+0-55"},
        // Size: the kind in the low bits, the unit above; off leaves no size test.
        {size(true, 0, 0), "on=1 dup=0/0 date=0 0/0 size=1234/5 attr=+0-0"},
        {size(true, 1, 0), "on=1 dup=0/0 date=0 0/0 size=1234/7 attr=+0-0"},
        {size(true, 2, 0), "on=1 dup=0/0 date=0 0/0 size=1234/6 attr=+0-0"},
        {size(true, 0, 1), "on=1 dup=0/0 date=0 0/0 size=1234/9 attr=+0-0"},
        {size(true, 1, 1), "on=1 dup=0/0 date=0 0/0 size=1234/11 attr=+0-0"},
        {size(true, 2, 2), "on=1 dup=0/0 date=0 0/0 size=1234/14 attr=+0-0"},
        {size(true, -1, -1), "on=1 dup=0/0 date=0 0/0 size=1234/5 attr=+0-0"},
        {size(false, 2, 0), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+0-0"},
        // "Not older than" wins over "date between".
        {notOlder, "on=1 dup=0/0 date=2 3/2 size=0/0 attr=+0-0"},
        {duplicates(false, true, true), "on=1 dup=0/0 date=0 0/0 size=0/0 attr=+0-0"},
        {duplicates(true, true, false), "on=1 dup=1/1 date=0 0/0 size=0/0 attr=+0-0"},
        {duplicates(true, false, true), "on=1 dup=1/2 date=0 0/0 size=0/0 attr=+0-0"},
        {duplicates(true, true, true), "on=1 dup=1/3 date=0 0/0 size=0/0 attr=+0-0"},
    };
    for (const auto& [set, expected] : rows) {
        FinderConditions conditions;
        set(conditions);
        EXPECT_EQ(describe(BuildFinderFilter(conditions)), expected);
    }
}

TEST(FinderFilter, DateBetweenCoversBothDaysWhole)
{
    FinderConditions conditions;
    conditions.dateBetween = true;
    conditions.firstDay = QDate(2024, 3, 5);
    conditions.lastDay = QDate(2024, 3, 6);
    const TBrowserFilter filter = BuildFinderFilter(conditions);
    EXPECT_EQ(filter.dateMode, 1);
    EXPECT_EQ(filter.from, utcTime(2024, 3, 5));
    EXPECT_EQ(filter.to, utcTime(2024, 3, 7) - 1);
    // One day: a file written at 23:59 of that day is inside.
    conditions.lastDay = conditions.firstDay;
    const TBrowserFilter oneDay = BuildFinderFilter(conditions);
    EXPECT_LE(oneDay.from, utcTime(2024, 3, 5, 23, 59));
    EXPECT_GE(oneDay.to, utcTime(2024, 3, 5, 23, 59));
    EXPECT_LT(oneDay.to, utcTime(2024, 3, 6));
}

// ---- The window ----

class FinderFormTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerSearchResultsTexts();
        registerQueryDialogTexts();
        SetSettingsFileName(path("wux.ini"));
        form.RegisterDefaultTexts(800);
        form.InitTool();
        form.Translate(800);
    }
    void TearDown() override { SetSettingsFileName(""); }

    template <typename T> T* child(const char* name) { return form.findChild<T*>(name); }

    test::TestHost host;
    TFinderForm form;
};

TEST_F(FinderFormTest, ControlsReachTheStoreFilter)
{
    child<QListWidget>("lbSearchPaths")->addItem(QString::fromStdString(path("none")));
    child<QCheckBox>("chkArchive")->setCheckState(Qt::Checked);
    child<QCheckBox>("chkHidden")->setCheckState(Qt::Unchecked);
    child<QCheckBox>("chkFindFilesSize")->click();
    child<QComboBox>("cmbSign")->setCurrentIndex(1);
    child<QComboBox>("cmbSize")->setCurrentIndex(1);
    child<QSpinBox>("spSize")->setValue(7);
    child<QCheckBox>("chkDuplicates")->click();
    child<QCheckBox>("chkSameName")->click(); // same size stays
    child<QCheckBox>("chkDateBetween")->click();
    child<QDateEdit>("dtpDateFirst")->setDate(QDate(2023, 1, 2));
    child<QDateEdit>("dtpDateEnd")->setDate(QDate(2023, 1, 2));
    EXPECT_TRUE(form.CanStart(nullptr));

    TBrowserFilter seen;
    std::string mask;
    form.onResultsShown = [&](TSrchRes& results) {
        seen = engines::FinderStore.filter;
        mask = engines::FinderStore.maskText;
        EXPECT_EQ(engines::FinderStore.mode, 2u);
        test::onNextModal([&results](QDialog&) {
            QTRY_VERIFY(results.searchFinished());
            results.close();
        });
    };
    child<QComboBox>("cmbSearchFor")->setEditText("*.txt;*.doc");
    child<QPushButton>("btnStartOperation")->click();

    EXPECT_EQ(mask, "*.txt;*.doc");
    EXPECT_EQ(seen.attributesPresent, 32u);
    EXPECT_EQ(seen.attributesAbsent, 2u);
    EXPECT_EQ(seen.sizeTest, 11u);
    EXPECT_EQ(seen.size, 7u);
    EXPECT_EQ(seen.findDuplicates, 1);
    EXPECT_EQ(seen.duplicateMode, 2u);
    EXPECT_EQ(seen.dateMode, 1);
    EXPECT_EQ(seen.from, utcTime(2023, 1, 2));
    EXPECT_EQ(seen.to, utcTime(2023, 1, 3) - 1);
    EXPECT_EQ(engines::ResultListState, nullptr);
    EXPECT_FALSE(filelist::OperationBusy.load());
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_EQ(host.enableCalls, (std::vector<bool>{false, true}));
}

// Ticked without touching the pickers, "Date between" searches today: both pickers start at today's
// date.
TEST_F(FinderFormTest, DateBetweenStartsAtTodayInBothPickers)
{
    const QDate today = QDate::currentDate();
    EXPECT_EQ(child<QDateEdit>("dtpDateFirst")->date(), today);
    EXPECT_EQ(child<QDateEdit>("dtpDateEnd")->date(), today);
    child<QListWidget>("lbSearchPaths")->addItem(QString::fromStdString(path("none")));
    child<QCheckBox>("chkDateBetween")->click();
    TBrowserFilter seen;
    form.onResultsShown = [&](TSrchRes& results) {
        seen = engines::FinderStore.filter;
        test::onNextModal([&results](QDialog&) {
            QTRY_VERIFY(results.searchFinished());
            results.close();
        });
    };
    ASSERT_TRUE(form.CanStart(nullptr));
    child<QPushButton>("btnStartOperation")->click();
    EXPECT_EQ(seen.dateMode, 1);
    EXPECT_EQ(seen.from, utcTime(today.year(), today.month(), today.day()));
    const QDate tomorrow = today.addDays(1);
    EXPECT_EQ(seen.to, utcTime(tomorrow.year(), tomorrow.month(), tomorrow.day()) - 1);
}

TEST_F(FinderFormTest, CanStartFollowsPathsAndSelection)
{
    auto* start = child<QPushButton>("btnStartOperation");
    auto* inSelection = child<QCheckBox>("chkFindInSelDirs");
    filelist::TstateOfBrowser panelList;
    panelList.selectedCount = 2;

    // No paths, a selection: the selection option checks itself.
    EXPECT_TRUE(form.CanStart(&panelList));
    EXPECT_TRUE(inSelection->isEnabled());
    EXPECT_TRUE(inSelection->isChecked());
    // The selection cleared: option disabled and unchecked, nothing to start.
    panelList.selectedCount = 0;
    EXPECT_FALSE(form.CanStart(&panelList));
    EXPECT_FALSE(inSelection->isEnabled());
    EXPECT_FALSE(inSelection->isChecked());
    EXPECT_FALSE(start->isEnabled());
    // A path: start without a selection.
    child<QListWidget>("lbSearchPaths")->addItem("c:\\data");
    EXPECT_TRUE(form.CanStart(&panelList));
    EXPECT_FALSE(child<QPushButton>("btnEdit")->isEnabled()); // no path chosen yet
    child<QListWidget>("lbSearchPaths")->setCurrentRow(0);
    EXPECT_TRUE(child<QPushButton>("btnEdit")->isEnabled());
    // With paths and a selection the option is offered but not forced.
    panelList.selectedCount = 1;
    EXPECT_TRUE(form.CanStart(&panelList));
    EXPECT_TRUE(inSelection->isEnabled());
    EXPECT_FALSE(inSelection->isChecked());
}

TEST_F(FinderFormTest, DateConditionsExcludeEachOtherAndCriteriaKeepOne)
{
    form.show();
    QApplication::setActiveWindow(&form);
    auto* between = child<QCheckBox>("chkDateBetween");
    auto* notOlder = child<QCheckBox>("chkNotOlderThen");
    child<QTabWidget>("pcFinder")->setCurrentIndex(1);
    between->setFocus();
    between->click();
    EXPECT_TRUE(child<QDateEdit>("dtpDateFirst")->isEnabled());
    notOlder->setFocus();
    notOlder->click();
    EXPECT_TRUE(notOlder->isChecked());
    EXPECT_FALSE(between->isChecked());
    EXPECT_FALSE(child<QDateEdit>("dtpDateFirst")->isEnabled());
    EXPECT_TRUE(child<QSpinBox>("spNotOlder")->isEnabled());
    EXPECT_TRUE(child<QComboBox>("cmbRange")->isEnabled());
    between->setFocus();
    between->click();
    EXPECT_FALSE(notOlder->isChecked());

    auto* sameName = child<QCheckBox>("chkSameName");
    auto* sameSize = child<QCheckBox>("chkSameSize");
    EXPECT_EQ(sameName->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(sameName->isEnabled());
    child<QCheckBox>("chkDuplicates")->click();
    EXPECT_EQ(sameName->checkState(), Qt::Checked);
    EXPECT_EQ(sameSize->checkState(), Qt::Checked);
    sameName->click();
    sameSize->click(); // the last criterion: the other comes back
    EXPECT_EQ(sameName->checkState(), Qt::Checked);
    EXPECT_EQ(sameSize->checkState(), Qt::Unchecked);

    child<QSpinBox>("spSize")->setValue(-5);
    EXPECT_EQ(child<QSpinBox>("spSize")->value(), 0);
    EXPECT_FALSE(child<QCheckBox>("chkWholeWords")->isVisible());
}

TEST_F(FinderFormTest, PathListThroughTheQueryWithBrowse)
{
    platform::shell::ScriptedFolderBrowser browser;
    browser.answer(QString::fromStdString(posix("music")));
    platform::shell::ScopedFolderBrowser scope(browser);
    wux::test::makeFolder(path("music"));

    // Add: the query proposes c:\, Browse replaces the line, OK appends and selects.
    test::onNextModal([](QDialog& dialog) {
        auto& query = static_cast<TStandardQuery&>(dialog);
        EXPECT_EQ(query.lblInfo()->text().toStdString(), "Add directory or drive for search in");
        EXPECT_EQ(query.edInfo()->text().toStdString(), "c:\\");
        EXPECT_TRUE(query.btnBrowse()->isVisible());
        query.btnBrowse()->click();
        query.btnOK()->click();
    });
    child<QPushButton>("btnAdd")->click();
    auto* paths = child<QListWidget>("lbSearchPaths");
    ASSERT_EQ(paths->count(), 1);
    EXPECT_EQ(paths->item(0)->text().toStdString(), path("music") + "\\");
    EXPECT_EQ(paths->currentRow(), 0);
    EXPECT_GE(host.launchUpdates, 1);

    // Edit with the selected path; an empty answer changes nothing.
    test::onNextModal([](QDialog& dialog) {
        auto& query = static_cast<TStandardQuery&>(dialog);
        EXPECT_EQ(query.lblInfo()->text().toStdString(), "Edit directory or drive for search in");
        query.edInfo()->clear();
        query.btnOK()->click();
    });
    child<QPushButton>("btnEdit")->click();
    EXPECT_EQ(paths->item(0)->text().toStdString(), path("music") + "\\");
    test::onNextModal([](QDialog& dialog) {
        static_cast<TStandardQuery&>(dialog).edInfo()->setText("d:\\docs");
        static_cast<TStandardQuery&>(dialog).btnOK()->click();
    });
    child<QPushButton>("btnEdit")->click();
    EXPECT_EQ(paths->item(0)->text().toStdString(), "d:\\docs");

    // Delete: the selection stays at its index or moves to the new last entry.
    paths->addItem("e:\\a");
    paths->addItem("e:\\b");
    paths->setCurrentRow(2);
    child<QPushButton>("btnDelete")->click();
    EXPECT_EQ(paths->count(), 2);
    EXPECT_EQ(paths->currentRow(), 1);
    paths->setCurrentRow(0);
    QTest::keyClick(paths, Qt::Key_Delete);
    ASSERT_EQ(paths->count(), 1);
    EXPECT_EQ(paths->item(0)->text().toStdString(), "e:\\a");
}

// "Search in" takes a folder typed the Linux way through the drive map, and the search finds what is
// in it; a folder that no drive holds is said and not added.
TEST_F(FinderFormTest, SearchInTakesAFolderTypedTheLinuxWay)
{
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService dialogScope(dialogs);
    wux::test::createFile(path("Documents\\letter.txt"), "x");
    wux::test::createFile(path("Documents\\old\\memo.txt"), "y");
    wux::test::createFile(path("other.txt"), "z");
    const auto typeAndOk = [](const std::string& typed) {
        test::onNextModal([typed](QDialog& dialog) {
            auto& query = static_cast<TStandardQuery&>(dialog);
            query.edInfo()->setText(QString::fromStdString(typed));
            query.btnOK()->click();
        });
    };
    auto* paths = child<QListWidget>("lbSearchPaths");
    typeAndOk(drive.base() + "/elsewhere");
    child<QPushButton>("btnAdd")->click();
    EXPECT_EQ(paths->count(), 0);
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{drive.base() + "/elsewhere\r\nThe system cannot find the drive specified."});
    typeAndOk(posix("documents") + "/");
    child<QPushButton>("btnAdd")->click();
    ASSERT_EQ(paths->count(), 1);
    EXPECT_EQ(paths->item(0)->text().toStdString(), path("Documents") + "\\");

    // A hand-edited entry of the Linux form is searched too.
    paths->addItem(QString::fromStdString(posix("Documents/old")));
    std::vector<std::string> found;
    form.onResultsShown = [&](TSrchRes& results) {
        test::onNextModal([&](QDialog&) {
            QTRY_VERIFY(results.searchFinished());
            filelist::StateAccess access(engines::FinderStore);
            for (std::int32_t i = 0; i < engines::FinderStore.itemCount; ++i)
                found.emplace_back(access.Name(access.items[static_cast<std::size_t>(i)]));
            results.close();
        });
    };
    child<QCheckBox>("chkRecurse")->setChecked(false);
    child<QComboBox>("cmbSearchFor")->setEditText("*.txt");
    child<QPushButton>("btnStartOperation")->click();
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"letter.txt", "memo.txt"}));
}

TEST_F(FinderFormTest, TranslateReachesEveryCaption)
{
    // clang-format off
    test::expectTranslatedCaptions(form, 800, {
        {"pnlNameTools", 0}, {"lblSearchFor", 2}, {"lblSearchIn", 3}, {"btnAdd", 4}, {"btnDelete", 5},
        {"btnEdit", 6}, {"tsAdvansed", 7}, {"lblAnd", 8}, {"chkDateBetween", 9}, {"chkNotOlderThen", 10},
        {"chkFindFilesSize", 11}, {"chkSameSize", 12}, {"chkSameName", 13}, {"chkDuplicates", 14},
        {"gbxAttributes", 15}, {"chkArchive", 16}, {"chkReadOnly", 17}, {"chkHidden", 18},
        {"chkDirectory", 19}, {"chkSystem", 20}, {"tsByText", 21}, {"lblType", 22}, {"chkFindText", 23},
        {"chkCaseSensitive", 24}, {"rbPhrase", 25}, {"rbOr", 26}, {"rbAnd", 27}, {"chkWholeWords", 28},
        {"tsGeneral", 29}, {"chkFindInSelDirs", 30}, {"btnStartOperation", 31}, {"btnHelpFinder", 32},
        {"chkRecurse", 44}
    });
    // clang-format on
}

TEST_F(FinderFormTest, TranslateKeepsChosenItems)
{
    child<QComboBox>("cmbRange")->setCurrentIndex(3);
    child<QComboBox>("cmbSize")->setCurrentIndex(2);
    child<QComboBox>("cmbSign")->setCurrentIndex(-1);
    core::classTranslator().SetTranslation(800 + 36, "Monate");
    form.Translate(800);
    EXPECT_EQ(child<QComboBox>("cmbRange")->currentIndex(), 3);
    EXPECT_EQ(child<QComboBox>("cmbRange")->currentText().toStdString(), "Monate");
    EXPECT_EQ(child<QComboBox>("cmbSize")->currentIndex(), 2);
    EXPECT_EQ(child<QComboBox>("cmbSign")->currentIndex(), 0);
    EXPECT_EQ(child<QComboBox>("cmbSign")->itemText(1).toStdString(), "more than");
    core::classTranslator().ResetTranslations();
}

TEST_F(FinderFormTest, SettingsRoundTrip)
{
    auto* masks = child<QComboBox>("cmbSearchFor");
    masks->setEditText("*.cpp");
    child<QComboBox>("cmbTextToFind")->setEditText("needle");
    child<QListWidget>("lbSearchPaths")->addItem("c:\\src");
    child<QListWidget>("lbSearchPaths")->addItem("d:\\Docs Ü");
    child<QCheckBox>("chkRecurse")->setChecked(false);
    form.SaveSettings();
    EXPECT_EQ(wux::test::readFileBytes(path("wux.ini")),
              "[Finder]\r\nMASK_FINDER=2A2E6370700D0A310D0A\r\nFIND_TEXT=6E6565646C650D0A310D0A\r\n"
              "SEARCH_PATHS=633A5C7372630D0A643A5C446F637320C39C0D0A\r\nRECURSE_SUBDIRECTORIES=0\r\n");

    TFinderForm other;
    other.LoadSettings();
    auto* paths = other.findChild<QListWidget*>("lbSearchPaths");
    ASSERT_EQ(paths->count(), 2);
    EXPECT_EQ(paths->item(1)->text().toStdString(), "d:\\Docs Ü");
    EXPECT_EQ(paths->currentRow(), 0);
    EXPECT_FALSE(other.findChild<QCheckBox*>("chkRecurse")->isChecked());
    EXPECT_EQ(other.findChild<QComboBox*>("cmbSearchFor")->itemText(0).toStdString(), "*.cpp");
    // Saved again with the same text, the file is the same byte for byte.
    const std::string before = wux::test::readFileBytes(path("wux.ini"));
    other.findChild<QComboBox*>("cmbSearchFor")->setEditText("*.cpp");
    other.findChild<QComboBox*>("cmbTextToFind")->setEditText("needle");
    other.SaveSettings();
    EXPECT_EQ(wux::test::readFileBytes(path("wux.ini")), before);
}

} // namespace
} // namespace wux::tools
