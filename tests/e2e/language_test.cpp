// Language files as the user switches to them in the options dialog: files saved as UTF-16 or with a
// byte-order mark, and every text of the table reaching its own control.
#include "journey.h"

#include <QListWidget>
#include <QStackedWidget>
#include <QTreeWidget>

#include "mainwindow/options_dialog.h"

namespace wux::e2e {
namespace {

using mainwindow::TOptions;

class LanguageJourney : public Journey
{
protected:
    // Ctrl+O, the Language page clicked in the page tree, the language clicked in its list, OK.
    void chooseLanguage(const QString& name)
    {
        bool chosen = false;
        when<TOptions>([&, name](TOptions& options) {
            auto* tree = options.findChild<QTreeWidget*>("tvOptions");
            auto* pages = options.findChild<QStackedWidget*>("OptionsPages");
            const int page = pages->indexOf(options.findChild<QWidget*>("tsLanguage"));
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == page)
                    click(tree->viewport(), Qt::NoModifier,
                          tree->visualItemRect(tree->topLevelItem(i)).center());
            auto* list = options.findChild<QListWidget*>("lstLanguage");
            const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            click(list->viewport(), Qt::NoModifier, list->visualItemRect(found[0]).center());
            click(options.findChild<QWidget*>("btnOk"));
            chosen = true;
        });
        key(Qt::Key_O, Qt::ControlModifier);
        EXPECT_TRUE(chosen) << name.toStdString();
    }
};

// A text as a file holds it: UTF-8 with its mark, or UTF-16 in either byte order with or without its.
std::string encoded(const std::u16string& text, const std::string& form)
{
    if (form == "utf8-mark")
        return "\xEF\xBB\xBF" + QString::fromStdU16String(text).toStdString();
    const bool big = form.rfind("be", 0) == 0;
    std::string bytes = form.find("mark") != std::string::npos ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += big ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST_F(LanguageJourney, LanguageFilesInUtf16OrWithAByteOrderMarkTranslateTheMenus)
{
    const std::u16string text = u"424=&Dateiën\r\n431=&Ansicht\r\n440=Alles wählen\r\n";
    const char* const forms[] = {"utf8-mark", "le-mark", "be-mark", "le", "be"};
    for (const char* form : forms)
        createFile(programFolder + "\\" + form + ".lng", encoded(text, form));
    makeFolder(drive.path("work"));
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  for (const char* form : forms) {
                      chooseLanguage(QString::fromLatin1(form) + ".lng");
                      EXPECT_EQ(child<QMenu>("mnuMFile")->title().toStdString() + "|" +
                                    child<QMenu>("mnuMView")->title().toStdString() + "|" +
                                    action("mnuSelAll")->text().toStdString() + "|" +
                                    action("mnuExit")->text().toStdString(),
                                "&Dateiën|&Ansicht|Alles wählen|Exit")
                          << form;
                      chooseLanguage("English language");
                      EXPECT_EQ(child<QMenu>("mnuMFile")->title().toStdString(), "&Files");
                  }
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

} // namespace
} // namespace wux::e2e
