// The question dialog of the file operations: which buttons each kind shows and where, its title,
// icon and message, the answer numbers of its buttons, Escape and the close box, and how it sizes and
// places itself.
#include "filelist/copy_confirmation_form.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "controls/wux_bit_btn.h"
#include "core/text_table.h"
#include "filelist/view_process.h"

namespace wux::filelist {
namespace {

const std::vector<QString> kButtonNames = {"btnYes",     "btnYesToAll", "btnYesAllOlder", "btnNo",
                                           "btnNoToAll", "btnCancel",   "btnAutorename",  "btnAutorenameAll"};

class CopyConfirmationFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerFileOperationWindowTexts();
        form.mainClientWidth = 1000;
    }
    void TearDown() override { core::classTranslator().ResetTranslations(); }

    QPushButton* button(const QString& name) { return form.findChild<QPushButton*>(name); }
    QLabel* label(const QString& name) { return form.findChild<QLabel*>(name); }
    QWidget* panel() { return form.findChild<QWidget*>("pnlButtons"); }

    // The buttons shown, in the order of kButtonNames: "Yes(0,0)&Yes No(98,0)&No".
    std::string shownButtons()
    {
        std::string shown;
        for (const QString& name : kButtonNames) {
            QPushButton* btn = button(name);
            if (btn->isVisible())
                shown += (shown.empty() ? "" : " ") + name.mid(3).toStdString() + "(" +
                         std::to_string(btn->x()) + "," + std::to_string(btn->y()) + ")" +
                         btn->text().toStdString();
        }
        return shown;
    }

    void setQuestion(ConfirmationKind kind, std::string name1, std::string info1, std::string name2 = {},
                     std::string info2 = {})
    {
        form.Kind = kind;
        form.Name1 = std::move(name1);
        form.Info1 = std::move(info1);
        form.Name2 = std::move(name2);
        form.Info2 = std::move(info2);
    }

    int advance(const std::string& text)
    {
        return QFontMetrics(label("lblInformation")->font()).horizontalAdvance(QString::fromStdString(text));
    }

    TCopyConfirmationForm form;
};

TEST_F(CopyConfirmationFormTest, ComponentsAsDesigned)
{
    EXPECT_EQ(form.objectName(), "TCopyConfirmationForm");
    EXPECT_EQ(form.size(), QSize(414, 237));
    EXPECT_EQ(form.Kind, ConfirmationKind::Overwrite);
    EXPECT_EQ(label("lblVoid")->height(), 7);
    ASSERT_NE(label("lblInformation"), nullptr);
    ASSERT_NE(panel(), nullptr);
    for (const QString& name : kButtonNames) {
        SCOPED_TRACE(name.toStdString());
        auto* btn = qobject_cast<controls::TWUXBitBtn*>(button(name));
        ASSERT_NE(btn, nullptr);
        EXPECT_EQ(btn->parentWidget(), panel());
        EXPECT_EQ(btn->size(), QSize(93, 22));
        // Every button but "Yes all older" shows the hover font.
        EXPECT_EQ(btn->UseNewStyle(), name != "btnYesAllOlder");
        EXPECT_EQ(btn->NewFont(), FileOperationDialogFont());
    }
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_FALSE(form.QuestionIcon.isNull());
    EXPECT_FALSE(form.WarningIcon.isNull());
}

TEST_F(CopyConfirmationFormTest, EachKindShowsItsButtonsTitleIconAndAlignment)
{
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
    const char* const kYesNoCancelAll =
        "Yes(0,0)&Yes YesToAll(0,27)Y&es to all No(98,0)&No NoToAll(98,27)N&o to all Cancel(196,0)&Cancel";
    const struct
    {
        ConfirmationKind kind;
        std::string buttons;
        QSize panel;
        QString title;
        bool questionIcon;
        Qt::Alignment alignment;
    } cases[] = {
        // clang-format off
        {ConfirmationKind::Overwrite,
         "Yes(0,0)&Yes YesToAll(98,0)Y&es to all YesAllOlder(196,0)Yes all o&lder No(0,27)&No "
         "NoToAll(98,27)N&o to all Cancel(196,27)&Cancel Autorename(0,54)&Autorename "
         "AutorenameAll(98,54)Auto&rename all",
         {289, 76}, "Overwrite confirmation", true, Qt::AlignLeft | Qt::AlignTop},
        {ConfirmationKind::StepFailed, "Yes(0,0)&Retry No(98,0)&Skip Cancel(196,0)&Abort", {289, 22},
         "Error file copy 4", false, centred},
        {ConfirmationKind::Attribute, kYesNoCancelAll, {289, 49}, "Warning!", false, centred},
        {ConfirmationKind::DirectoryNotCreated, "Yes(0,0)&Yes No(108,0)&No", {201, 22},
         "Error on creating directory", false, centred},
        {ConfirmationKind::DirectoryNotEmpty, kYesNoCancelAll, {289, 49}, "Warning!", false, centred},
        // clang-format on
    };
    // The same dialog serves every question of a run, one after the other.
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(static_cast<int>(c.kind));
            setQuestion(c.kind, "c:\\Data\\Report.txt", "Access is denied.", "d:\\Report.txt", "info");
            form.setWindowTitle("Error file copy 4"); // what the engine sets for a failed step
            form.show();
            EXPECT_EQ(shownButtons(), c.buttons);
            EXPECT_EQ(panel()->size(), c.panel);
            EXPECT_EQ(form.windowTitle(), c.title);
            EXPECT_EQ(form.windowIcon().cacheKey(),
                      (c.questionIcon ? form.QuestionIcon : form.WarningIcon).cacheKey());
            EXPECT_EQ(label("lblInformation")->alignment(), c.alignment);
            form.hide();
        }
    }
}

TEST_F(CopyConfirmationFormTest, MessagesOfEachKind)
{
    struct Case
    {
        ConfirmationKind kind;
        bool deleteWording;
        std::string name1, info1, name2, info2;
        QString message;
    };
    const std::vector<Case> cases = {
        {ConfirmationKind::Overwrite, false, "c:\\Data\\Report.txt", "   1 234 bytes, 01/02/26 10:00",
         "d:\\Backup\\Report.txt", "   99 bytes, 03/04/26 11:30",
         " Overwrite: c:\\Data\\Report.txt\n   1 234 bytes, 01/02/26 10:00\n\n with file: "
         "d:\\Backup\\Report.txt ?\n   99 bytes, 03/04/26 11:30"},
        {ConfirmationKind::StepFailed, false, "c:\\Data\\A.txt", "Access is denied.", "", "",
         "An error with file c:\\Data\\A.txt\nAccess is denied.\nWhich action you prefer?"},
        {ConfirmationKind::Attribute, true, "c:\\Data\\A.txt", "has either the attribute HIDDEN or SYSTEM!",
         "", "", "File c:\\Data\\A.txt\nhas either the attribute HIDDEN or SYSTEM!\nDelete anyway?"},
        {ConfirmationKind::Attribute, false, "c:\\Data\\A.txt", "is READ ONLY!", "", "",
         "File c:\\Data\\A.txt\nis READ ONLY!\nOverwrite?"},
        {ConfirmationKind::DirectoryNotCreated, false, "c:\\New", "Access is denied.", "", "",
         "Can't create the specified directory:\nc:\\New\nbecause an error occured:\nAccess is denied.\nDo "
         "you "
         "want to try create it again?"},
        {ConfirmationKind::DirectoryNotEmpty, false, "c:\\Old", "", "", "",
         "The directory c:\\Old is not empty!\n Do you want to delete it with all its files and "
         "subdirectories?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        setQuestion(c.kind, c.name1, c.info1, c.name2, c.info2);
        form.DeleteWording = c.deleteWording;
        form.show();
        EXPECT_EQ(label("lblInformation")->text(), c.message);
        // Every showing clears the delete wording.
        EXPECT_FALSE(form.DeleteWording);
        form.hide();
    }
}

TEST_F(CopyConfirmationFormTest, TextsComeFromTheLanguage)
{
    core::classTranslator().SetTranslation(73, "&Ja");
    core::classTranslator().SetTranslation(148, "Ueberschreiben?");
    core::classTranslator().SetTranslation(83, "A&bbrechen");
    setQuestion(ConfirmationKind::Overwrite, "c:\\A", "", "c:\\B", "");
    form.show();
    EXPECT_EQ(button("btnYes")->text(), "&Ja");
    EXPECT_EQ(form.windowTitle(), "Ueberschreiben?");
    form.hide();
    form.Kind = ConfirmationKind::StepFailed;
    form.show();
    EXPECT_EQ(button("btnCancel")->text(), "A&bbrechen");
    form.hide();
}

TEST_F(CopyConfirmationFormTest, EveryButtonAnswersItsNumber)
{
    const std::map<QString, int> numbers = {
        {"btnYes", 6},     {"btnYesToAll", 10}, {"btnYesAllOlder", 5}, {"btnNo", 7},
        {"btnNoToAll", 9}, {"btnCancel", 2},    {"btnAutorename", 4},  {"btnAutorenameAll", 3}};
    for (ConfirmationKind kind :
         {ConfirmationKind::Overwrite, ConfirmationKind::StepFailed, ConfirmationKind::Attribute,
          ConfirmationKind::DirectoryNotCreated, ConfirmationKind::DirectoryNotEmpty}) {
        setQuestion(kind, "c:\\A.txt", "x", "c:\\B.txt", "y");
        form.show();
        std::vector<QString> shown;
        for (const QString& name : kButtonNames) {
            if (button(name)->isVisible())
                shown.push_back(name);
        }
        form.hide();
        for (const QString& name : shown) {
            SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + " " + name.toStdString());
            form.setResult(-1);
            form.show();
            QTest::mouseClick(button(name), Qt::LeftButton);
            EXPECT_EQ(form.result(), numbers.at(name));
            EXPECT_FALSE(form.isVisible());
        }
    }
}

TEST_F(CopyConfirmationFormTest, EscapeAndTheCloseBoxAnswerCancelInEveryKind)
{
    for (ConfirmationKind kind :
         {ConfirmationKind::Overwrite, ConfirmationKind::StepFailed, ConfirmationKind::Attribute,
          ConfirmationKind::DirectoryNotCreated, ConfirmationKind::DirectoryNotEmpty}) {
        SCOPED_TRACE(static_cast<int>(kind));
        setQuestion(kind, "c:\\A.txt", "x", "c:\\B.txt", "y");
        // Escape reaches the dialog before the button that has the focus.
        form.setResult(-1);
        form.show();
        QTest::keyClick(button("btnYes"), Qt::Key_Escape);
        EXPECT_EQ(form.result(), 2);
        EXPECT_FALSE(form.isVisible());

        form.setResult(-1);
        form.show();
        EXPECT_TRUE(form.close());
        EXPECT_EQ(form.result(), 2);
        EXPECT_FALSE(form.isVisible());
    }
}

TEST_F(CopyConfirmationFormTest, AskShowsModallyAndReturnsTheAnswer)
{
    ConfirmationQuestion question;
    question.kind = ConfirmationKind::StepFailed;
    question.caption = "Error file delete 4";
    question.Name1 = "c:\\Data\\A.txt";
    question.Info1 = "Access is denied.";

    QString titleSeen;
    QTimer::singleShot(0, &form, [&] {
        titleSeen = form.windowTitle();
        QTest::mouseClick(button("btnNo"), Qt::LeftButton);
    });
    EXPECT_EQ(form.Ask(question), ConfirmationAnswer::No); // "Skip"
    EXPECT_EQ(titleSeen, "Error file delete 4");

    question.kind = ConfirmationKind::Overwrite;
    QTimer::singleShot(0, &form, [&] { QTest::mouseClick(button("btnAutorenameAll"), Qt::LeftButton); });
    EXPECT_EQ(form.Ask(question), ConfirmationAnswer::AutorenameAll);

    QTimer::singleShot(0, &form, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.Ask(question), ConfirmationAnswer::Cancel);

    question.kind = ConfirmationKind::Attribute;
    question.DeleteWording = true;
    QString messageSeen;
    QTimer::singleShot(0, &form, [&] {
        messageSeen = label("lblInformation")->text();
        form.close();
    });
    EXPECT_EQ(form.Ask(question), ConfirmationAnswer::Cancel);
    EXPECT_TRUE(messageSeen.endsWith("Delete anyway?"));
}

TEST_F(CopyConfirmationFormTest, AShortMessageMakesTheDialogAsWideAsItsButtonPanel)
{
    for (ConfirmationKind kind :
         {ConfirmationKind::Overwrite, ConfirmationKind::Attribute, ConfirmationKind::DirectoryNotCreated}) {
        SCOPED_TRACE(static_cast<int>(kind));
        setQuestion(kind, "c:\\A", "", "c:\\B", "");
        form.show();
        const QWidget* pnl = panel();
        const QLabel* info = label("lblInformation");
        EXPECT_EQ(form.width(), pnl->width() + 5);
        EXPECT_EQ(form.height(), 7 + info->height() + 20 + pnl->height());
        // The panel is centred, 5 pixels above the bottom.
        EXPECT_EQ(pnl->x(), (form.width() - pnl->width()) / 2);
        EXPECT_EQ(pnl->y(), form.height() - (pnl->height() + 5));
        // The message sits under the 7-pixel gap, across the whole width, tall enough for its lines.
        EXPECT_EQ(info->geometry(), QRect(0, 7, form.width(), info->height()));
        const int lines = static_cast<int>(info->text().count('\n')) + 1;
        EXPECT_GE(info->height(), lines * QFontMetrics(info->font()).height());
        EXPECT_EQ(form.minimumSize(), form.maximumSize()); // a single border: not resizable
        form.hide();
    }
}

TEST_F(CopyConfirmationFormTest, AWideMessageMakesTheDialogAsWideAsTheMessage)
{
    // Kind 6 measures "The directory is not empty " + the name, plus 20.
    const std::string name = "c:\\Projects\\Quarterly reports\\Archive of the year two thousand";
    form.mainClientWidth = 2000;
    setQuestion(ConfirmationKind::DirectoryNotEmpty, name, "");
    form.show();
    const int expected = advance("The directory is not empty " + name) + 20 + 5;
    ASSERT_GT(expected, 289 + 10);
    EXPECT_EQ(form.width(), expected);
    form.hide();

    // Kind 1 takes the wider of its two names.
    const std::string longer = name + "\\Report of the first quarter.txt";
    setQuestion(ConfirmationKind::Overwrite, "c:\\A.txt", "", longer, "");
    form.show();
    EXPECT_EQ(form.width(), advance(" with file:  ?w" + longer) + 5);
    form.hide();
}

TEST_F(CopyConfirmationFormTest, LongNamesAreShortenedToSevenNinthsOfTheMainWindow)
{
    std::string longPath = "c:";
    for (int i = 0; i < 40; ++i)
        longPath += "\\Folder number " + std::to_string(i);
    longPath += "\\Final report.txt";
    form.mainClientWidth = 900; // budget 700
    setQuestion(ConfirmationKind::Overwrite, longPath, "   1 bytes, x", longPath, "   2 bytes, y");
    form.show();
    const QStringList lines = label("lblInformation")->text().split('\n');
    ASSERT_EQ(lines.size(), 5);
    ASSERT_TRUE(lines[0].startsWith(" Overwrite: "));
    const std::string shown1 = lines[0].mid(12).toStdString();
    EXPECT_EQ(shown1.rfind("c:\\...\\", 0), 0U) << shown1;
    EXPECT_TRUE(lines[0].endsWith("\\Final report.txt"));
    EXPECT_LE(advance(" Overwrite: w" + shown1), 700);
    ASSERT_TRUE(lines[3].startsWith(" with file: "));
    EXPECT_TRUE(lines[3].endsWith("\\Final report.txt ?"));
    EXPECT_LE(form.width(), 705);
    EXPECT_GT(form.width(), 500); // shortened, not emptied
    form.hide();

    // The other kinds shorten their one name to the same budget less their own prefix.
    for (ConfirmationKind kind :
         {ConfirmationKind::StepFailed, ConfirmationKind::Attribute, ConfirmationKind::DirectoryNotCreated,
          ConfirmationKind::DirectoryNotEmpty}) {
        SCOPED_TRACE(static_cast<int>(kind));
        setQuestion(kind, longPath, "error");
        form.show();
        EXPECT_TRUE(label("lblInformation")->text().contains("c:\\...\\"));
        if (kind != ConfirmationKind::DirectoryNotEmpty) {
            EXPECT_LE(form.width(), 705);
        }
        form.hide();
    }
}

TEST_F(CopyConfirmationFormTest, PlacedCentredUnderTheProgressWindow)
{
    form.PlaceUnder(QRect(100, 50, 408, 144));
    EXPECT_EQ(form.AnchorLeft, 100);
    EXPECT_EQ(form.AnchorWidth, 408);
    setQuestion(ConfirmationKind::DirectoryNotCreated, "c:\\New", "Access is denied.");
    form.show();
    const QRect frame = form.frameGeometry();
    EXPECT_EQ(frame.y(), 50 + 144 + 10);
    EXPECT_EQ(frame.x(), 100 + 408 / 2 - frame.width() / 2);
    form.hide();

    // Each showing centres again on the anchor, whatever its new width.
    setQuestion(ConfirmationKind::Overwrite, "c:\\A", "", "c:\\B", "");
    form.show();
    EXPECT_EQ(form.frameGeometry().x(), 100 + 408 / 2 - form.frameGeometry().width() / 2);
    EXPECT_EQ(form.frameGeometry().y(), 204);
    form.hide();
}

} // namespace
} // namespace wux::filelist
