// Names that differ only in letter case are two files on Linux: the user moves, copies, sees and
// sends them to the Basket as two, and no question ever takes one for the other.
#include "journey.h"

#include <algorithm>

#include "controls/speed_button_new.h"

#include "filelist/basket.h"
#include "filelist/browser_state.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/list_operations.h"

namespace wux::e2e {
namespace {

class LetterCaseJourney : public Journey
{
protected:
    // The names of a panel's folder as its grid draws them (name, then extension), joined by "|".
    std::string shownNames(TBrowserForm& panel)
    {
        std::string shown;
        filelist::TstateOfBrowser& list = panel.Listing();
        for (std::int32_t position = 1; position <= list.rowCount; ++position) {
            std::string name;
            std::string extension;
            filelist::GetCellText(filelist::kColumnName, 1, position, name, list);
            filelist::GetCellText(filelist::kColumnExtension, 1, position, extension, list);
            if (name.empty())
                continue;
            shown += (shown.empty() ? "" : "|") + name + (extension.empty() ? "" : "." + extension);
        }
        return shown;
    }

    // Every overwrite or error question of the file operations is noted and answered with Yes, as the
    // user who trusts it would.
    void answerQuestionsWithYes()
    {
        auto* timer = new QTimer(&pending);
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [this] {
            auto* form = qobject_cast<filelist::TCopyConfirmationForm*>(QApplication::activeModalWidget());
            if (form == nullptr || !form->isVisible())
                return;
            questions.push_back(form->Name1);
            QTest::mouseClick(form->findChild<QWidget*>("btnYes"), Qt::LeftButton);
        });
        timer->start();
    }

    std::vector<std::string> questions;
};

TEST_F(LetterCaseJourney, TwoNamesInTwoCasesAreMovedCopiedShownAndSentToTheBasketAsTwoFiles)
{
    createFile(drive.path("A\\README"), "upper README");
    createFile(drive.path("A\\Readme"), "mixed Readme");
    createFile(drive.path("A\\NOTES.TXT"), "upper notes");
    createFile(drive.path("B\\notes.txt"), "lower notes");
    // The settings name the left folder in another case: a stored path finds its one folder.
    settings(drive.path("a"), drive.path("B"));
    EXPECT_EQ(run([&] {
                  answerQuestionsWithYes();
                  EXPECT_EQ(folder(left()), drive.path("A"));
                  EXPECT_EQ(shownNames(left()), "NOTES.TXT|README|Readme");
                  EXPECT_EQ(left().AddressText().toStdString(), drive.path("A\\*.*"));

                  // NOTES.TXT copied into a folder holding notes.txt: nothing to overwrite.
                  cursorTo(left(), "NOTES.TXT");
                  answerQuery();
                  key(Qt::Key_F5);
                  EXPECT_EQ(onDisk("B"), "NOTES.TXT|notes.txt");
                  EXPECT_EQ(readFileBytes(drive.path("B\\NOTES.TXT")), "upper notes");
                  EXPECT_EQ(readFileBytes(drive.path("B\\notes.txt")), "lower notes");

                  // README and Readme marked and moved together into B.
                  cursorTo(left(), "README");
                  keys({Qt::Key_Insert, Qt::Key_Insert});
                  answerQuery();
                  key(Qt::Key_F6);
                  EXPECT_EQ(onDisk("A"), "NOTES.TXT");
                  EXPECT_EQ(onDisk("B"), "NOTES.TXT|README|Readme|notes.txt");
                  EXPECT_EQ(readFileBytes(drive.path("B\\README")), "upper README");
                  EXPECT_EQ(readFileBytes(drive.path("B\\Readme")), "mixed Readme");
                  EXPECT_EQ(shownNames(right()), "NOTES.TXT|notes.txt|README|Readme");
                  EXPECT_EQ(questions, std::vector<std::string>{});

                  // Both sent to the Basket: two entries.
                  cursorTo(right(), "README");
                  keys({Qt::Key_Insert, Qt::Key_Insert});
                  click(right().btnSendTobasket());
                  EXPECT_EQ(right().lblBasketInfo()->text().toStdString(), "2 Files in Basket");
                  std::vector<std::string> inBasket;
                  {
                      filelist::StateAccess access(filelist::BasketState);
                      for (std::int32_t i = 0; i < filelist::BasketState.itemCount; ++i)
                          inBasket.emplace_back(access.Name(access.items[i]));
                  }
                  std::sort(inBasket.begin(), inBasket.end());
                  EXPECT_EQ(inBasket, (std::vector<std::string>{"README", "Readme"}));

                  EXPECT_EQ(prompts, (std::vector<std::string>{"Copy file \"NOTES.TXT\" to",
                                                               "Rename or move 2 files to"}));
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
    EXPECT_EQ(readFileBytes(drive.path("B\\README")), "upper README");
    EXPECT_EQ(readFileBytes(drive.path("B\\Readme")), "mixed Readme");
    EXPECT_EQ(readFileBytes(drive.path("B\\notes.txt")), "lower notes");
}

} // namespace
} // namespace wux::e2e
