#include "mainwindow/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "settings_fixture.h"

namespace wux::mainwindow::test {
namespace {

class OptionsTest : public SettingsTest
{
protected:
    OptionsTest()
    {
        static const bool registered = (RegisterOptionsTexts(), true);
        (void)registered;
    }

    // A dialog as the options command shows it (FormShow runs on showing).
    std::unique_ptr<TOptions> open()
    {
        auto dialog = std::make_unique<TOptions>(host);
        dialog->show();
        host.calls.clear();
        return dialog;
    }

    template <typename T = QWidget> static T* part(QWidget& dialog, const char* name)
    {
        T* found = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Brings the control's page up through the tree.
    static void showPageOf(QWidget& dialog, QWidget* control)
    {
        auto* pages = part<QStackedWidget>(dialog, "OptionsPages");
        auto* tree = part<QTreeWidget>(dialog, "tvOptions");
        for (int page = 0; page < pages->count(); ++page)
            if (pages->widget(page)->isAncestorOf(control))
                tree->setCurrentItem(tree->topLevelItem(page));
        ASSERT_TRUE(control->isVisible());
    }
    // Clicks the control where its box is drawn, on its page.
    static void click(QWidget& dialog, QWidget* control)
    {
        showPageOf(dialog, control);
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(6, control->height() / 2));
    }
    static void click(QWidget& dialog, const char* name) { click(dialog, part(dialog, name)); }
    // Picks a language of the list with the mouse.
    static void pick(QWidget& dialog, const char* name)
    {
        auto* list = part<QListWidget>(dialog, "lstLanguage");
        const QList<QListWidgetItem*> found = list->findItems(QString::fromLatin1(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        showPageOf(dialog, list);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
    }

    static bool checked(QWidget& dialog, const char* name)
    {
        return part<QAbstractButton>(dialog, name)->isChecked();
    }
    static bool enabled(QWidget& dialog, const char* name) { return part(dialog, name)->isEnabled(); }

    int count(const std::string& call) const
    {
        return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), call));
    }
};

// One control clicked from the first-start words (unless given) and applied.
struct BitCase
{
    const char* control;
    bool checkedAtStart;
    std::uint32_t layoutAfter;
    std::uint32_t optionsAfter;
    std::uint32_t layoutBefore = kDefaultLayout;
    std::uint32_t optionsBefore = filelist::kDefaultGeneralCheckContainer;
};

void PrintTo(const BitCase& c, std::ostream* os)
{
    *os << c.control;
}

class OptionsBitTest : public OptionsTest, public ::testing::WithParamInterface<BitCase>
{
};

TEST_P(OptionsBitTest, ShowsItsBitAndAppliesTheClick)
{
    const BitCase& c = GetParam();
    Layout = c.layoutBefore;
    filelist::GeneralCheckContainer = c.optionsBefore;
    auto dialog = open();
    EXPECT_EQ(checked(*dialog, c.control), c.checkedAtStart);
    EXPECT_FALSE(enabled(*dialog, "btnApply"));

    click(*dialog, c.control);
    EXPECT_NE(checked(*dialog, c.control), c.checkedAtStart);
    EXPECT_TRUE(enabled(*dialog, "btnApply"));
    EXPECT_TRUE(enabled(*dialog, "btnSaveSettings"));
    click(*dialog, "btnApply");
    EXPECT_EQ(Layout, c.layoutAfter) << std::hex << Layout;
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), c.optionsAfter)
        << std::hex << filelist::GeneralCheckContainer.load();
    EXPECT_FALSE(enabled(*dialog, "btnApply"));

    // And back: the next showing shows the new state.
    dialog = open();
    EXPECT_NE(checked(*dialog, c.control), c.checkedAtStart);
}

INSTANTIATE_TEST_SUITE_P(Controls, OptionsBitTest,
                         ::testing::Values(BitCase{"chkShowMainToolbar", true, 0xF0, 0x7A7D},
                                           BitCase{"chkShowFunctionsKeyButtons", false, 0xF3, 0x7A7D},
                                           BitCase{"chkShowDriveButtons", true, 0x71, 0x7A7D},
                                           BitCase{"chkShowDriveButtonsAboveBothWindow", false, 0x75, 0x7A7D},
                                           BitCase{"chkShowDriveButtonsAboveBothWindow", true, 0xF1, 0x7A7D,
                                                   0x75},
                                           BitCase{"chkShowDriveCombobox", false, 0xF9, 0x7A7D},
                                           BitCase{"chkShowTabStopHeader", true, 0xE1, 0x7A7D},
                                           BitCase{"chkShowCurrentDirectory", true, 0xD1, 0x7A7D},
                                           BitCase{"chkShowStatusLine", true, 0xB1, 0x7A7D},
                                           BitCase{"chkShowInfoBasketLine", true, 0x1F1, 0x7A7D},
                                           BitCase{"chkFlatBtnSendToBasket", false, 0x2F1, 0x7A7D},
                                           BitCase{"chkSelectoinWithSpace", true, 0xF1, 0x7A7C},
                                           BitCase{"chkDeleteNonEmptyDirs", true, 0xF1, 0x7A7F},
                                           BitCase{"chkDeleteToRecycleBin", true, 0xF1, 0x7A79},
                                           BitCase{"rbtAlsoSelectedDirectories", false, 0xF1, 0x7A75},
                                           BitCase{"rbtSelectedFilesOnly", false, 0xF1, 0x7A7D, 0xF1, 0x7A75},
                                           BitCase{"chkOverwritingFiles", true, 0xF1, 0x7A6D},
                                           BitCase{"chkOverwritingHiddenSystemFiles", true, 0xF1, 0x7A5D},
                                           BitCase{"chkOverwritingReadOnlyFiles", true, 0xF1, 0x7A3D},
                                           BitCase{"chkShowHidden", false, 0xF1, 0x7AFD},
                                           BitCase{"rbtAltLetter", false, 0xF1, 0x797D},
                                           BitCase{"rbtCtrlAltLetter", false, 0xF1, 0x7A7D, 0xF1, 0x797D},
                                           BitCase{"chkSaveSett", true, 0xF1, 0x627D},
                                           BitCase{"chkRestoreRenStng", true, 0xF1, 0x6A7D},
                                           BitCase{"chkSelectFilesInSearchResult", true, 0xF1, 0x5A7D},
                                           BitCase{"chkSelectFilesWhileSendToBasket", true, 0xF1, 0x3A7D}));

TEST_F(OptionsTest, DependentBoxesFollowTheirMasters)
{
    Layout = 0x4 | 0x100;
    filelist::GeneralCheckContainer = 0x1000; // Renamer restore without save on exit
    auto dialog = open();
    EXPECT_TRUE(checked(*dialog, "chkShowDriveButtons"));
    EXPECT_TRUE(checked(*dialog, "chkShowDriveButtonsAboveBothWindow"));
    EXPECT_TRUE(enabled(*dialog, "chkShowDriveButtonsAboveBothWindow"));
    EXPECT_FALSE(checked(*dialog, "chkShowInfoBasketLine"));
    EXPECT_FALSE(enabled(*dialog, "chkFlatBtnSendToBasket"));
    EXPECT_FALSE(checked(*dialog, "chkRestoreRenStng"));
    EXPECT_FALSE(enabled(*dialog, "chkRestoreRenStng"));
    EXPECT_FALSE(checked(*dialog, "rbtAltLetter"));
    EXPECT_FALSE(checked(*dialog, "rbtCtrlAltLetter"));

    click(*dialog, "chkShowDriveButtons");
    EXPECT_FALSE(checked(*dialog, "chkShowDriveButtonsAboveBothWindow"));
    EXPECT_FALSE(enabled(*dialog, "chkShowDriveButtonsAboveBothWindow"));
    click(*dialog, "chkShowInfoBasketLine");
    EXPECT_TRUE(enabled(*dialog, "chkFlatBtnSendToBasket"));
    click(*dialog, "chkSaveSett");
    EXPECT_TRUE(enabled(*dialog, "chkRestoreRenStng"));
    click(*dialog, "chkRestoreRenStng");
    click(*dialog, "chkSaveSett");
    EXPECT_FALSE(checked(*dialog, "chkRestoreRenStng"));
    EXPECT_FALSE(enabled(*dialog, "chkRestoreRenStng"));

    click(*dialog, "btnApply");
    EXPECT_EQ(Layout, 0x0u);
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), 0x0u);
}

TEST_F(OptionsTest, OkAppliesPendingChangesOnceApplyAndSaveToo)
{
    auto dialog = open();
    click(*dialog, "btnOk"); // nothing changed: nothing applied
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(OptionsApplied, 0);

    dialog = open();
    EXPECT_FALSE(enabled(*dialog, "btnSaveSettings"));
    click(*dialog, "chkShowStatusLine");
    click(*dialog, "btnApply");
    click(*dialog, "btnOk");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"window 177", "panels 177", "alignToolPanelTop",
                                                    "updatePanelGrids"}));
    EXPECT_EQ(OptionsApplied, 1);

    dialog = open();
    EXPECT_TRUE(enabled(*dialog, "btnSaveSettings")); // applied since the last save
    click(*dialog, "chkShowMainToolbar");
    click(*dialog, "btnCancel");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(Layout, 0xB1u);

    filelist::GeneralCheckContainer = 0; // saving from the dialog does not need the exit option
    dialog = open();
    click(*dialog, "chkShowDriveCombobox");
    click(*dialog, "btnSaveSettings");
    EXPECT_FALSE(enabled(*dialog, "btnApply") || enabled(*dialog, "btnSaveSettings"));
    EXPECT_EQ(OptionsApplied, 0);
    EXPECT_EQ(count("savePanelSettings"), 1);
    EXPECT_EQ(platform::IniFile(iniPath).readInteger("MainForm", "Layout", -1), 0xB9);
}

TEST_F(OptionsTest, ShowHiddenFilesReReadsThePanelsOtherChangesOnlyReLayThem)
{
    auto dialog = open();
    click(*dialog, "chkShowTabStopHeader");
    click(*dialog, "btnApply");
    EXPECT_EQ(count("refreshPanels"), 0);
    click(*dialog, "chkShowHidden");
    click(*dialog, "btnApply");
    EXPECT_EQ(count("refreshPanels"), 1);
    EXPECT_EQ(count("updatePanelGrids"), 2);
}

TEST_F(OptionsTest, FontAndProgramsChosenInTheirDialogsTakeEffectAtOnceAndStay)
{
    auto dialog = open();
    EXPECT_EQ(part<QLabel>(*dialog, "lblFileFont")->text().toStdString(), "MS Sans Serif, 8, B");
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPointSize(12);
    chosen.setItalic(true);
    dialogs.answerFont(chosen);
    click(*dialog, "btnLCompareFont");
    click(*dialog, "btnLCompareFont"); // cancelled
    ASSERT_EQ(dialogs.fontRequests().size(), 2u);
    EXPECT_EQ(dialogs.fontRequests()[0].initial.family().toStdString(), "MS Sans Serif");
    EXPECT_EQ(part<QLabel>(*dialog, "lblFileFont")->text().toStdString(), "DejaVu Serif, 12, I");
    EXPECT_EQ(part<QLabel>(*dialog, "lblFileFontEx")->font().family().toStdString(), "DejaVu Serif");
    EXPECT_EQ(dialog->OptionsChangeFlags, kOptionsFontChanged);

    dialogs.answerFile("c:\\bin\\less");
    click(*dialog, "btnSelectViewer");
    click(*dialog, "btnSelectEditor"); // cancelled
    EXPECT_EQ(dialogs.fileRequests().at(0).filter, "All files (*)");
    EXPECT_EQ(part<QLineEdit>(*dialog, "edtViewer")->text().toStdString(), "c:\\bin\\less");
    QTest::keyClicks(part<QLineEdit>(*dialog, "edtEditor"), "2"); // typed: only on Apply
    EXPECT_TRUE(enabled(*dialog, "btnApply"));
    click(*dialog, "btnCancel");
    EXPECT_EQ(fntCaption(BrowserFont()), "DejaVu Serif, 12, I");
    EXPECT_EQ(filelist::ViewerProgram, "c:\\bin\\less");
    EXPECT_EQ(filelist::EditorProgram, "notepad.exe");
}

TEST_F(OptionsTest, ColourBoxesPaintTheExampleAndApplyTheirIndexes)
{
    MainColorIndexes = {0, 0, 9, 0, 0};
    auto dialog = open();
    auto* mark = part<QComboBox>(*dialog, "cmbMarkColor");
    EXPECT_EQ(mark->count(), 12);
    EXPECT_EQ(mark->itemText(11).toStdString(), "aqua");
    EXPECT_EQ(part(*dialog, "lblMark")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(part(*dialog, "lblCursor")->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(part(*dialog, "lblCursor")->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    showPageOf(*dialog, mark);
    mark->setFocus();
    QTest::keyClick(mark, Qt::Key_Down); // red -> blue
    EXPECT_EQ(part(*dialog, "lblMark")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    auto* background = part<QComboBox>(*dialog, "cmbBackground");
    background->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(background, Qt::Key_Down); // yellow
    EXPECT_EQ(part(*dialog, "pnlExample")->palette().color(QPalette::Window), QColor(255, 255, 0));
    click(*dialog, "btnApply");
    EXPECT_EQ(MainColorIndexes, (std::array<int, 5>{0, 3, 10, 0, 0}));
    EXPECT_EQ(MainColors[2], QColor(0, 0, 255));
}

TEST_F(OptionsTest, TreeListsThePagesArrowKeysWalkThemAndEachControlHasItsText)
{
    core::classTranslator().SetTranslation(911, "Header");
    core::classTranslator().SetTranslation(912, "Directory line");
    auto dialog = open();
    EXPECT_EQ(part<QAbstractButton>(*dialog, "chkShowTabStopHeader")->text().toStdString(), "Header");
    EXPECT_EQ(part<QAbstractButton>(*dialog, "chkShowCurrentDirectory")->text().toStdString(),
              "Directory line");
    auto* tree = part<QTreeWidget>(*dialog, "tvOptions");
    auto* pages = part<QStackedWidget>(*dialog, "OptionsPages");
    std::string nodes;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        nodes += tree->topLevelItem(i)->text(0).toStdString() + "|";
    EXPECT_EQ(nodes, "Layout|Display|Language|Browser fileview|Edit/View|Colors|Confirmations|Operation|");
    tree->setFocus();
    for (const auto& [key, page] : std::vector<std::pair<Qt::Key, std::string>>{{Qt::Key_Down, "tsDisplay"},
                                                                                {Qt::Key_Right, "tsLanguage"},
                                                                                {Qt::Key_Up, "tsDisplay"},
                                                                                {Qt::Key_Left, "tsLayout"},
                                                                                {Qt::Key_Left, "tsLayout"}}) {
        QTest::keyClick(tree, key);
        EXPECT_EQ(pages->currentWidget()->objectName().toStdString(), page);
    }
}

TEST_F(OptionsTest, LanguagesOfTheProgramFolderSwitchOnlyWhenPicked)
{
    wux::test::createFile(path("prog\\deutsch.lng"), "907=Zeige &Hauptwerkzeugleiste\r\n");
    wux::test::createFile(path("prog\\francais.LNG"), "907=Afficher\r\n");
    wux::test::createFile(path("prog\\notes.txt"), "907=no language\r\n");
    auto dialog = open();
    auto* list = part<QListWidget>(*dialog, "lstLanguage");
    std::vector<std::string> names;
    for (int i = 1; i < list->count(); ++i)
        names.push_back(list->item(i)->text().toStdString());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(list->item(0)->text().toStdString(), "English language");
    EXPECT_EQ(names, (std::vector<std::string>{"deutsch.lng", "francais.LNG"}));
    EXPECT_EQ(list->currentRow(), 0);

    pick(*dialog, "deutsch.lng");
    click(*dialog, "btnApply");
    click(*dialog, "btnOk");
    EXPECT_EQ(core::classTranslator().LanguageName, "deutsch.lng");
    EXPECT_EQ(core::uiText(907), "Zeige &Hauptwerkzeugleiste");
    EXPECT_EQ(count("applyLanguage"), 1);
    EXPECT_EQ(languageValue(), "<missing>"); // the registry learns it when the settings are saved

    core::classTranslator().LanguageName = "DEUTSCH.LNG"; // matched ignoring case
    dialog = open();
    EXPECT_EQ(part<QAbstractButton>(*dialog, "chkShowMainToolbar")->text().toStdString(),
              "Zeige &Hauptwerkzeugleiste");
    EXPECT_EQ(part<QListWidget>(*dialog, "lstLanguage")->currentItem()->text().toStdString(), "deutsch.lng");
    click(*dialog, "chkShowHidden");
    click(*dialog, "btnApply");
    EXPECT_EQ(core::classTranslator().LanguageName, "DEUTSCH.LNG");
    pick(*dialog, "English language");
    click(*dialog, "btnOk");
    EXPECT_EQ(core::classTranslator().LanguageName, "");
    EXPECT_EQ(core::uiText(907), "Show &main toolbar");

    core::classTranslator().LanguageName = "removed.lng"; // not listed: kept
    core::classTranslator().SetTranslation(907, "kept");
    dialog = open();
    EXPECT_EQ(part<QListWidget>(*dialog, "lstLanguage")->currentRow(), -1);
    click(*dialog, "chkShowHidden");
    click(*dialog, "btnOk");
    EXPECT_EQ(core::classTranslator().LanguageName, "removed.lng");
    EXPECT_EQ(core::uiText(907), "kept");
    EXPECT_EQ(count("applyLanguage"), 0);
}

TEST_F(OptionsTest, EveryPageFitsTheDialog)
{
    auto dialog = open();
    auto* tree = part<QTreeWidget>(*dialog, "tvOptions");
    auto* pages = part<QStackedWidget>(*dialog, "OptionsPages");
    const char* shots = std::getenv("WUX_OPTIONS_SHOTS");
    for (int page = 0; page < pages->count(); ++page) {
        tree->setCurrentItem(tree->topLevelItem(page));
        QWidget* current = pages->currentWidget();
        for (QWidget* child : current->findChildren<QWidget*>()) {
            if (!child->isVisible())
                continue;
            const QRect box(child->mapTo(current, QPoint(0, 0)), child->size());
            EXPECT_TRUE(current->rect().contains(box))
                << child->objectName().toStdString() << " on " << current->objectName().toStdString();
            // Texts of buttons and labels are never cut.
            if (qobject_cast<QAbstractButton*>(child) || qobject_cast<QLabel*>(child)) {
                EXPECT_GE(child->width(), child->sizeHint().width()) << child->objectName().toStdString();
            }
        }
        if (shots)
            dialog->grab().save(QString::fromLatin1(shots) + QStringLiteral("/options-%1.png").arg(page));
    }
}

} // namespace
} // namespace wux::mainwindow::test
