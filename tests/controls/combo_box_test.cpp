// The history combo box: the ring over its items, the stored value, the edit text kept, and the
// focus changes that feed the history.
#include "controls/vyk_combo_box.h"
#include "platform/ini_file.h"
#include "support/temp_drive.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace wux::controls {
namespace {

void focusIn(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent e(QEvent::FocusIn, reason);
    QApplication::sendEvent(w, &e);
}

void focusOut(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent e(QEvent::FocusOut, reason);
    QApplication::sendEvent(w, &e);
}

QStringList items(const QComboBox& box)
{
    QStringList list;
    for (int i = 0; i < box.count(); ++i)
        list << box.itemText(i);
    return list;
}

class VYKComboBoxTest : public test::TempDriveTest
{
protected:
    std::string iniPath() { return path("wux.ini"); }
};

TEST_F(VYKComboBoxTest, LeavingAddsTheTextOnceButNotOnDropDownsOrWindowSwitches)
{
    TVYKComboBox box;
    focusIn(&box);
    focusOut(&box); // an empty box adds nothing
    ASSERT_NE(box.History(), nullptr);
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.History()->Current(), 0);
    box.setEditText("abc");
    focusOut(&box, Qt::PopupFocusReason);
    focusOut(&box, Qt::ActiveWindowFocusReason);
    focusIn(&box, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(box.count(), 0);
    focusOut(&box, Qt::MouseFocusReason);
    EXPECT_EQ(items(box), QStringList{"abc"});
    box.setEditText("*.*");
    for (int round = 0; round < 2; ++round) {
        focusIn(&box);
        focusOut(&box);
        EXPECT_EQ(items(box), (QStringList{"abc", "*.*"}));
        EXPECT_EQ(box.History()->Current(), 2);
        EXPECT_EQ(box.currentText(), "*.*");
    }
}

TEST_F(VYKComboBoxTest, RingSlotsInSlotOrderAndTheEditTextKept)
{
    TVYKComboBox box;
    for (const char* t : {"a", "b", "c"}) {
        box.setEditText(t);
        box.AddToHistory();
        EXPECT_EQ(box.currentText(), t);
    }
    EXPECT_EQ(items(box), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(box.History()->Current(), 3);
    // "a" again: slots 1 and 3 change places; the edit text stays "a".
    box.setEditText("a");
    box.AddToHistory();
    EXPECT_EQ(items(box), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(box.History()->Current(), 3);
    EXPECT_EQ(box.currentText(), "a");
    // The tenth text overwrites the first slot.
    QStringList expected = {"c", "b", "a"};
    for (int i = 4; i <= 10; ++i) {
        box.setEditText(QString("t%1").arg(i));
        box.AddToHistory();
        expected << QString("t%1").arg(i);
    }
    expected[0] = "t10";
    expected.removeLast();
    EXPECT_EQ(items(box), expected);
    EXPECT_EQ(box.History()->Current(), 1);
    EXPECT_EQ(box.currentText(), "t10");
}

TEST_F(VYKComboBoxTest, SaveAndLoadGiveSlotOrderAndKeepTheEditText)
{
    {
        // A never loaded box stores its text with position one.
        platform::IniFile ini(iniPath());
        TVYKComboBox box;
        box.setEditText("*.*");
        EXPECT_EQ(box.SaveHistory(ini, "Finder", "MASK_FINDER"), 0u);
        EXPECT_EQ(ini.readString("Finder", "MASK_FINDER", "<absent>"), "2A2E2A0D0A310D0A");
    }
    {
        platform::IniFile ini(iniPath());
        TVYKComboBox box;
        for (const char* t : {"one", "two", "three"}) {
            box.setEditText(t);
            box.AddToHistory();
        }
        box.setEditText("one");
        ASSERT_EQ(box.SaveHistory(ini, "Renamer", "SEARCH_FOR"), 0u);
    }
    platform::IniFile ini(iniPath());
    TVYKComboBox box;
    box.setEditText("[N]");
    int textChanges = 0;
    QObject::connect(&box, &QComboBox::editTextChanged, [&] { ++textChanges; });
    box.LoadHistory(ini, "Renamer", "SEARCH_FOR");
    EXPECT_EQ(items(box), (QStringList{"three", "two", "one"}));
    EXPECT_EQ(box.History()->Current(), 3);
    EXPECT_EQ(box.currentText(), "[N]");
    EXPECT_EQ(textChanges, 0);
    // The loaded ring goes on: a new text lands in the next slot.
    box.AddToHistory();
    EXPECT_EQ(items(box), (QStringList{"three", "two", "one", "[N]"}));
    // An absent key gives an empty history.
    TVYKComboBox absent;
    absent.setEditText("[E]");
    absent.LoadHistory(ini, "Renamer", "MASK_EXT");
    EXPECT_EQ(absent.count(), 0);
    EXPECT_EQ(absent.History()->Current(), 0);
    EXPECT_EQ(absent.currentText(), "[E]");
}

TEST_F(VYKComboBoxTest, EnterDoesNotInsertAndOnKeyDownCanConsumeAKey)
{
    TVYKComboBox box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::keyClicks(&box, "Abc");
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.currentText(), "Abc");
    std::vector<int> keys;
    box.OnKeyDown = [&](int& key, Qt::KeyboardModifiers) {
        keys.push_back(key);
        if (key == Qt::Key_X)
            key = 0;
    };
    QTest::keyClicks(&box, "axb");
    EXPECT_EQ(box.currentText(), "Abcab");
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_A, Qt::Key_X, Qt::Key_B}));
}

TEST_F(VYKComboBoxTest, RealFocusMovesFeedTheHistory)
{
    QWidget window;
    auto* box = new TVYKComboBox(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    box->setEditText("first");
    other->setFocus();
    EXPECT_EQ(items(*box), QStringList{"first"});
    box->setFocus();
    box->setEditText("second");
    other->setFocus();
    EXPECT_EQ(items(*box), (QStringList{"first", "second"}));
    EXPECT_EQ(box->currentText(), "second");
}

} // namespace
} // namespace wux::controls
