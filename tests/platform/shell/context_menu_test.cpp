#include "platform/shell/context_menu.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include "platform/shell/program_starter.h"
#include "platform/shell/properties_dialog.h"
#include "qt_printers.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

// The texts of a menu's entries in order, "-" for a separator.
QStringList entryTexts(const QMenu& menu)
{
    QStringList texts;
    for (QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// Answers the next popup menu with key presses once it is shown.
void pressInNextMenu(std::vector<Qt::Key> keys)
{
    QTimer::singleShot(0, [keys] {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup == nullptr) {
            pressInNextMenu(keys); // not shown yet
            return;
        }
        for (Qt::Key key : keys)
            QTest::keyClick(popup, key);
    });
}

class ContextMenuTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        test::createFile(path("a.txt"), "alpha");
        test::makeFolder(path("docs"));
    }
    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TPropertiesDialog*>(widget))
                delete widget;
        }
    }

    RecordingProgramStarter starter;
    ScopedProgramStarter scope{starter};
    QWidget owner;
};

TEST_F(ContextMenuTest, TheVerbsOfOneItem)
{
    ShellContextMenu menu({path("a.txt")}, &owner);
    EXPECT_EQ(menu.verbs(), (std::vector<std::string>{"open", "properties"}));
    EXPECT_EQ(entryTexts(*menu.menu()), (QStringList{"&Open", "-", "P&roperties"}));
    EXPECT_EQ(menu.menu()->defaultAction(), menu.action(kVerbOpen));
    EXPECT_EQ(menu.action(kVerbOpen)->objectName(), "actOpen");
    EXPECT_EQ(menu.action(kVerbProperties)->objectName(), "actProperties");
    EXPECT_TRUE(menu.action(kVerbProperties)->isEnabled());
    EXPECT_EQ(menu.action("explore"), nullptr);
}

TEST_F(ContextMenuTest, TheCallersEntriesStandBetweenOpenAndProperties)
{
    ShellContextMenu menu({path("a.txt"), path("docs")}, &owner);
    int copies = 0;
    menu.addEntry("Copy to Basket", "basket", [&] { ++copies; });
    menu.addEntry("Rename", "rename", nullptr);
    EXPECT_EQ(menu.verbs(), (std::vector<std::string>{"open", "basket", "rename", "properties"}));
    EXPECT_EQ(entryTexts(*menu.menu()),
              (QStringList{"&Open", "-", "Copy to Basket", "Rename", "-", "P&roperties"}));
    // Properties only for a single item.
    EXPECT_FALSE(menu.action(kVerbProperties)->isEnabled());
    EXPECT_FALSE(menu.invokeVerb(kVerbProperties));

    EXPECT_TRUE(menu.invokeVerb("basket"));
    EXPECT_EQ(copies, 1);
    EXPECT_FALSE(menu.invokeVerb("unknown"));

    // Open opens every item.
    EXPECT_TRUE(menu.invokeVerb(kVerbOpen));
    ASSERT_EQ(starter.calls().size(), 2u);
    EXPECT_EQ(starter.calls()[0].url, QUrl::fromLocalFile(QString::fromStdString(posix("a.txt"))));
    EXPECT_EQ(starter.calls()[1].url, QUrl::fromLocalFile(QString::fromStdString(posix("docs"))));
}

TEST_F(ContextMenuTest, ChoosingInTheShownMenuRunsTheVerb)
{
    ShellContextMenu menu({path("a.txt")}, &owner);
    pressInNextMenu({Qt::Key_Down, Qt::Key_Return}); // the first entry: Open
    EXPECT_EQ(menu.exec(QPoint(10, 10)), "open");
    ASSERT_EQ(starter.calls().size(), 1u);
    EXPECT_EQ(starter.calls()[0].kind, RecordingProgramStarter::Kind::kOpenUrl);

    pressInNextMenu({Qt::Key_Up, Qt::Key_Return}); // the last entry: Properties
    EXPECT_EQ(menu.exec(QPoint(10, 10)), "properties");
    TPropertiesDialog* shown = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<TPropertiesDialog*>(widget))
            shown = dialog;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->path(), path("a.txt"));
    EXPECT_EQ(shown->parentWidget(), &owner);

    pressInNextMenu({Qt::Key_Escape});
    EXPECT_EQ(menu.exec(QPoint(10, 10)), "");
    EXPECT_EQ(starter.calls().size(), 1u);
}

TEST_F(ContextMenuTest, OpeningAFileThatWentAwayDoesNothing)
{
    ShellContextMenu menu({path("a.txt")}, &owner);
    ASSERT_EQ(::unlink(posix("a.txt").c_str()), 0);
    EXPECT_FALSE(menu.invokeVerb(kVerbOpen));
    EXPECT_FALSE(menu.invokeVerb(kVerbProperties));
    EXPECT_TRUE(starter.calls().empty());
}

} // namespace
} // namespace wux::platform::shell
