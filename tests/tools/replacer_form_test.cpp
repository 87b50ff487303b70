// The Replacer window: the mode and controls of each radio button, the search block that its texts and
// boxes give, its settings section, its start conditions and texts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

#include <functional>
#include <utility>

#include <cstring>
#include <string>
#include <vector>

#include "controls/system_colors.h"
#include "core/text_table.h"
#include "engines/batch_table.h"
#include "engines/replace_threads.h"
#include "filelist/browser_state.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/ini_file.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tool_test_host.h"
#include "tools/batch_replacer_form.h"
#include "tools/replacer_form.h"
#include "tools/tool_list.h"
#include "ui_TBatchReplacerForm.h"
#include "ui_TReplacerForm.h"

namespace wux::tools {
namespace {

// The bytes of a search block that its builder writes: the 12-byte head, the find text, its upper-case
// copy when the text was case-folded, and the replace text.
std::string writtenBytes(engines::ReplacerStructure block, bool folded)
{
    const auto* bytes = static_cast<const char*>(platform::movableLock(block));
    std::uint32_t n = 0, m = 0;
    std::memcpy(&n, bytes + 4, 4);
    std::memcpy(&m, bytes + 8, 4);
    std::string out(bytes, 12 + n);
    if (folded)
        out.append(bytes + 12 + n, n);
    out.append(bytes + 12 + 2 * n, m);
    platform::movableUnlock(block);
    return out;
}

std::string head(bool caseSensitive, bool wholeWord, std::uint32_t n, std::uint32_t m)
{
    std::string out(12, '\0');
    out[0] = caseSensitive ? 1 : 0;
    out[1] = wholeWord ? 1 : 0;
    std::memcpy(out.data() + 4, &n, 4);
    std::memcpy(out.data() + 8, &m, 4);
    return out;
}

// Clicks a radio button or check box on its indicator (a click beside its text does nothing).
void clickBox(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

class ReplacerFormTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        form.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    }
    void TearDown() override { platform::movableFree(thread.searchBlock); }

    Ui::TReplacerForm& ui() { return *form.ui(); }
    // Runs SetUpRun and returns the written bytes of the search block.
    std::string block(bool folded)
    {
        platform::movableFree(thread.searchBlock);
        bool justFind = false;
        EXPECT_TRUE(form.SetUpRun(thread, justFind));
        return writtenBytes(thread.searchBlock, folded);
    }

    TReplacerForm form;
    engines::TReplacer thread;
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scoped{dialogs};
};

struct ModeRow
{
    const char* button;
    std::int32_t mode;
    bool replaceShown;
    bool endingShown;
    bool boxesEnabled;
    bool backupShown;
};

void PrintTo(const ModeRow& row, std::ostream* os)
{
    *os << row.button;
}

class ReplacerModeTest : public ReplacerFormTest, public ::testing::WithParamInterface<ModeRow>
{
};

TEST_P(ReplacerModeTest, RadioButtonGivesModeTextAreasAndBoxes)
{
    const ModeRow& row = GetParam();
    form.show();
    ui().chkCaseSensitive->setChecked(true);
    ui().chkWholeWord->setChecked(true);
    auto* button = form.findChild<QRadioButton*>(row.button);
    ASSERT_NE(button, nullptr);
    clickBox(ui().rbInsBeetween); // the ending shown first: the row's button decides
    clickBox(button);

    EXPECT_EQ(form.SelectedMode(), row.mode);
    EXPECT_EQ(ui().pnlTextToReplace->isVisible(), row.replaceShown);
    EXPECT_EQ(ui().pnlEnding->isVisible(), row.endingShown);
    EXPECT_EQ(ui().chkCaseSensitive->isEnabled(), row.boxesEnabled);
    EXPECT_EQ(ui().chkWholeWord->isEnabled(), row.boxesEnabled);
    // Disabled boxes are cleared; enabled ones keep their state.
    EXPECT_EQ(ui().chkCaseSensitive->isChecked(), row.boxesEnabled);
    EXPECT_EQ(ui().chkWholeWord->isChecked(), row.boxesEnabled);
    EXPECT_EQ(ui().chkBkCopy->isVisible(), row.backupShown);

    ui().memFind->setPlainText("ab");
    ui().mmReplace->setPlainText("X");
    ui().memEnding->setPlainText("cd");
    bool justFind = false;
    ASSERT_TRUE(form.SetUpRun(thread, justFind));
    EXPECT_EQ(justFind, row.mode == engines::kModeJustFind);
    EXPECT_EQ(thread.TypeOfReplacing, row.mode);
    EXPECT_EQ(form.GetParameters()->GetValue("TypeOfReplacing"), std::to_string(row.mode));
}

INSTANTIATE_TEST_SUITE_P(EachButton, ReplacerModeTest,
                         ::testing::Values(ModeRow{"rbReplace", 1, true, false, true, true},
                                           ModeRow{"rbDelete", 2, false, false, true, true},
                                           ModeRow{"rbInsToHead", 4, false, false, false, true},
                                           ModeRow{"rbInsAfter", 8, true, false, true, true},
                                           ModeRow{"rbInsBefore", 16, true, false, true, true},
                                           ModeRow{"rbInsBeetween", 32, true, true, true, true},
                                           ModeRow{"rbInsToFoot", 64, false, false, false, true},
                                           ModeRow{"rbJustFind", 128, false, false, true, false}));

struct BlockRow
{
    const char* name;
    const char* button;
    const char* find;
    const char* replace;
    const char* ending;
    bool caseSensitive;
    bool wholeWord;
    bool dos;
    std::string expected;
    std::int32_t sizeOfFirstPart;
};

void PrintTo(const BlockRow& row, std::ostream* os)
{
    *os << row.name;
}

class ReplacerBlockTest : public ReplacerFormTest, public ::testing::WithParamInterface<BlockRow>
{
};

TEST_P(ReplacerBlockTest, SearchBlockBytesFromTheWindowsControls)
{
    const BlockRow& row = GetParam();
    form.show();
    clickBox(form.findChild<QRadioButton*>(row.button));
    // The boxes are set the way the user sets them: by clicking (disabled boxes stay off).
    if (row.caseSensitive)
        clickBox(ui().chkCaseSensitive);
    if (row.wholeWord)
        clickBox(ui().chkWholeWord);
    if (row.dos)
        clickBox(ui().chkCHSDOS);
    ui().memFind->setPlainText(QString::fromUtf8(row.find));
    ui().mmReplace->setPlainText(QString::fromUtf8(row.replace));
    ui().memEnding->setPlainText(QString::fromUtf8(row.ending));

    const bool folded = !row.caseSensitive && ui().chkCaseSensitive->isEnabled();
    EXPECT_EQ(block(folded), row.expected);
    EXPECT_EQ(thread.sizeOfFirstPart, row.sizeOfFirstPart);
    EXPECT_EQ(thread.oemTexts, row.dos);
    if (row.sizeOfFirstPart != 0) {
        EXPECT_EQ(form.GetParameters()->GetValue("sizeOfFirstPart"), std::to_string(row.sizeOfFirstPart));
    }
}

std::string bytes(std::initializer_list<std::string> parts)
{
    std::string out;
    for (const std::string& part : parts)
        out += part;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    EachMode, ReplacerBlockTest,
    ::testing::Values(BlockRow{"InsensitiveFindInLowerAndUpperCase", "rbReplace", "AbC", "Xy", "", false,
                               false, false, bytes({head(false, false, 3, 2), "abc", "ABC", "Xy"}), 0},
                      BlockRow{"SensitiveFindAsTyped", "rbReplace", "AbC", "Xy", "", true, true, false,
                               bytes({head(true, true, 3, 2), "AbC", "Xy"}), 0},
                      BlockRow{"LinesEndInCrLf", "rbInsAfter", "a\nb", "c\nd", "", true, false, false,
                               bytes({head(true, false, 4, 4), "a\r\nb", "c\r\nd"}), 0},
                      BlockRow{"DeleteHasNoReplaceText", "rbDelete", "ab", "unused", "", true, false, false,
                               bytes({head(true, false, 2, 0), "ab"}), 0},
                      BlockRow{"HeadInsertsTheFindTextAsTyped", "rbInsToHead", "Hd", "unused", "", true, true,
                               false, bytes({head(false, false, 2, 0), "Hd"}), 0},
                      BlockRow{"BetweenJoinsFirstPartAndEnding", "rbInsBeetween", "ab", "X", "cd", true,
                               false, false, bytes({head(true, false, 4, 1), "abcd", "X"}), 2},
                      BlockRow{"DosCharsetConvertsEveryText", "rbReplace", "\xc3\xa9t\xc3\xa9", "\xc3\xa0",
                               "", true, false, true, bytes({head(true, false, 3, 1), "\x82t\x82", "\x85"}),
                               0},
                      BlockRow{"DosCharsetFirstPartLengthInBlockBytes", "rbInsBeetween", "\xc3\xa9\xc3\xa9",
                               "X", "z", true, false, true,
                               bytes({head(true, false, 3, 1), "\x82\x82z", "X"}), 2},
                      BlockRow{"JustFindHasNoReplaceText", "rbJustFind", "Q", "unused", "", false, false,
                               false, bytes({head(false, false, 1, 0), "q", "Q"}), 0}));

TEST_F(ReplacerFormTest, EmptyFindTextRunsNothing)
{
    thread.TypeOfReplacing = 77;
    bool justFind = false;
    EXPECT_FALSE(form.SetUpRun(thread, justFind));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"No Text in window"});
    EXPECT_EQ(dialogs.captions(), std::vector<std::string>{""});
    EXPECT_EQ(thread.TypeOfReplacing, 77);
    EXPECT_FALSE(thread.searchBlock);
}

TEST_F(ReplacerFormTest, SettingsKeepParametersAndStoreTheLastWholeWordChoice)
{
    wux::test::createFile(path("wux.ini"),
                          "[Replacer]\r\nMSWORD_USEWILDCARDS=-1\r\nOwnKey=kept\r\n[Other]\r\na=1\r\n");
    TReplacerForm loaded;
    loaded.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    core::TUserParameters& parameters = *loaded.GetParameters();
    EXPECT_EQ(parameters.Name(), "Replacer");
    EXPECT_EQ(parameters.GetValue("MSWORD_USEWILDCARDS"), "-1");
    EXPECT_EQ(parameters.GetValue("MSWORD_REPLACE_IN_FOOTNOTES"), "-1");

    loaded.ui()->memFind->setPlainText("x");
    loaded.ui()->chkWholeWord->setChecked(true);
    bool justFind = false;
    ASSERT_TRUE(loaded.SetUpRun(thread, justFind));
    EXPECT_EQ(parameters.GetValue("CreateBackUpCopy"), "-1");
    platform::IniFile ini(path("wux.ini"));
    EXPECT_EQ(loaded.SaveSettingsTo(ini), platform::WinError{});
    // Run values stay internal; the box's choice is a stored parameter.
    EXPECT_EQ(wux::test::readFileBytes(path("wux.ini")),
              "[Replacer]\r\nMSWORD_USEWILDCARDS=-1\r\nOwnKey=kept\r\nMSWORD_WHOLEWORD=-1\r\n"
              "MSWORD_REPLACE_IN_MAINDOCUMENT=-1\r\nMSWORD_REPLACE_IN_HEADERSFOOTERS=-1\r\n"
              "MSWORD_REPLACE_IN_FOOTNOTES=-1\r\nMSWORD_REPLACE_IN_HYPERLINKS=-1\r\n[Other]\r\na=1\r\n");
    // The box itself starts unchecked in a new window.
    TReplacerForm next;
    EXPECT_FALSE(next.ui()->chkWholeWord->isChecked());
}

TEST_F(ReplacerFormTest, StartNeedsFindTextAndSelectedFiles)
{
    filelist::TstateOfBrowser state;
    struct Row
    {
        const char* find;
        std::int32_t files;
        bool ready;
    };
    for (const Row row : {Row{"", 3, false}, Row{"a", 0, false}, Row{"a", 2, true}}) {
        ui().memFind->setPlainText(row.find);
        state.selectedFiles = row.files;
        EXPECT_EQ(form.CanStart(&state), row.ready) << row.find << row.files;
        EXPECT_EQ(ui().btnStartOperation->isEnabled(), row.ready);
    }
    EXPECT_FALSE(form.CanStart(nullptr));
}

// Every caption comes from the text table at its number from the window's BaseId (translated here to
// "T" + the offset), and InitTool gives the two big buttons their glyphs.
TEST(ReplaceWindows, EveryCaptionFromItsTextNumber)
{
    TReplacerForm replacer;
    TBatchReplacerForm batch;
    EXPECT_EQ(replacer.minimumHeight(), 425);
    EXPECT_EQ(batch.ui()->sgBatch->ColWidths(0), 100) << "the flag column from the start";
    struct Row
    {
        QWidget* form;
        int baseId;
        std::vector<std::pair<const char*, int>> captions;         // component, offset from BaseId
        std::vector<std::pair<std::string, std::string>> defaults; // number, English text
    };
    // clang-format off
    const Row rows[] = {
        {&replacer, kReplacerTitleId, {
            {"pnlNameTools", 0}, {"chkBkCopy", 2}, {"lblFindText", 3}, {"lblReplaceText", 4}, {"lblEnding", 5},
            {"rbReplace", 6}, {"rbInsBefore", 7}, {"rbInsAfter", 8}, {"rbInsBeetween", 9}, {"rbDelete", 10},
            {"rbInsToHead", 11}, {"rbInsToFoot", 12}, {"chkCaseSensitive", 13}, {"chkWholeWord", 14},
            {"chkCHSDOS", 15}, {"rbJustFind", 16}, {"btnStartOperation", 17}, {"btnHelpReplacer", 18}},
         {{"501", "Replace text in files"}, {"515", "&ASCII charset (DOS)"}, {"518", "Help"}}},
        {&batch, kBatchReplacerTitleId, {
            {"pnlNameTools", 0}, {"btnStartOperation", 2}, {"btnHelpF", 3}, {"lblFindStr", 4},
            {"lblReplaceStr", 5}, {"chkCaseSensitive", 6}, {"btnAdd", 7}, {"btnModify", 8}, {"btnDelete", 9},
            {"chkbcopy", 10}, {"btnLoad", 11}, {"btnSave", 12}},
         {{"301", "Replace strings in files"}, {"313", "Case sensitive"}, {"319", "Save &Results As..."},
          {"207", "Name"}, {"226", "Please specify text in the \"Find this string\" field"}, {"236", "Status"}}},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto& tool = dynamic_cast<IToolForm&>(*row.form);
        tool.RegisterDefaultTexts(row.baseId);
        for (const auto& [number, english] : row.defaults)
            EXPECT_EQ(core::uiText(std::stoi(number)), english);
        for (int offset = 0; offset < 20; ++offset)
            core::classTranslator().SetTranslation(row.baseId + offset, "T" + std::to_string(offset));
        tool.Translate(row.baseId);
        tool.InitTool();
        core::classTranslator().ResetTranslations();
        for (const auto& [name, offset] : row.captions) {
            QObject* component = row.form->findChild<QObject*>(name);
            ASSERT_NE(component, nullptr) << name;
            EXPECT_EQ(component->property("text").toString().toStdString(), "T" + std::to_string(offset))
                << name;
        }
        EXPECT_FALSE(row.form->findChild<QAbstractButton*>("btnStartOperation")->icon().isNull());
    }
    // The grid's titles come from the batch window's numbers 13-15.
    EXPECT_EQ(batch.ui()->sgBatch->Cells(0, 0), "T13");
    EXPECT_EQ(batch.ui()->sgBatch->Cells(2, 0), "T15");
    engines::SetYesNoTexts("Y", "N");
}

// What both windows share with the main window: the active form and caption colours on focus, the
// launch action after an input change, the title strip, the caption click and the help topic.
TEST(ReplaceWindows, TellTheMainWindowAndOpenTheirHelp)
{
    core::registerCoreTexts();
    tools::test::TestHost host;
    SetHelpFileName("c:\\prog\\wux.chm");
    TReplacerForm replacer;
    TBatchReplacerForm batch;
    struct Row
    {
        QWidget* form;
        QLabel* caption;
        QWidget* input;
        QWidget* focusedByCaption;
        std::function<void()> change;
        std::string help;
    };
    const Row rows[] = {
        {&replacer, replacer.ui()->pnlNameTools, replacer.ui()->memFind, replacer.ui()->rbReplace,
         [&] { replacer.ui()->memFind->insertPlainText("x"); }, "c:\\prog\\wux.chm::/REPLACER.htm"},
        {&batch, batch.ui()->pnlNameTools, batch.ui()->cmbReplaceString, batch.ui()->cmbFindString,
         [&] {
             batch.ui()->cmbFindString->setEditText("a");
             batch.btnAddClick();
         },
         "c:\\prog\\wux.chm::/BATCHREPLACER.htm"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.help);
        auto& tool = dynamic_cast<IToolForm&>(*row.form);
        row.form->show();
        row.form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(row.form));
        row.input->setFocus();
        row.input->clearFocus();
        EXPECT_EQ(row.caption->palette().color(QPalette::Window),
                  controls::sysColor(controls::SysColor::InactiveCaption));
        host.activeForm = nullptr;
        row.input->setFocus();
        EXPECT_EQ(host.activeForm, row.form);
        EXPECT_EQ(row.caption->palette().color(QPalette::Window),
                  controls::sysColor(controls::SysColor::ActiveCaption));

        const int updates = host.launchUpdates;
        row.change();
        EXPECT_EQ(host.launchUpdates, updates + 1);

        EXPECT_TRUE(row.caption->parentWidget()->isHidden());
        tool.ShowTitle(true);
        EXPECT_FALSE(row.caption->parentWidget()->isHidden());
        QTest::mouseClick(row.caption, Qt::LeftButton);
        EXPECT_TRUE(row.focusedByCaption->hasFocus());

        tool.ShowHelp();
        EXPECT_EQ(platform::lastHelpRequest(), row.help);
        row.form->hide();
    }
    SetHelpFileName("");
}

} // namespace
} // namespace wux::tools
