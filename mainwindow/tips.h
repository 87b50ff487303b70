// The tip of the day (TDidYouKnow): a modal window showing one line of the tip file at a time,
// word-wrapped and justified, with Next and Previous and a box that decides whether it opens at
// start-up. ShowTips (0: not at start-up; n: opens on tip n, counted from 0) is the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>
#include <QWidget>

#include "platform/string_list.h"

namespace Ui {
class TDidYouKnow;
}

namespace wux::mainwindow {

// Texts of the tip window.
inline constexpr int kTextTipCaption = 1600;
inline constexpr int kTextTipDidYouKnow = 1601;
inline constexpr int kTextTipShowNextTime = 1602;
inline constexpr int kTextTipClose = 1603;
inline constexpr int kTextTipNext = 1604;
inline constexpr int kTextTipPrevious = 1605;

// Registers texts 1600-1605.
void registerTipTexts();

// The tip file of a language: the program folder + "\" + languageName + ".tip" (".tip" for the built-in
// English).
std::string tipFilePath(const std::string& programFolder, const std::string& languageName);
// The tips of a file, one per line; a missing or unreadable file gives no tips.
platform::StringList loadTips(const std::string& path);

// The index shown for a requested one: at or beyond count 0, negative the last; count 0 keeps it.
int normalizedTipIndex(int index, int count);

// One word of a laid-out tip, with the position of its left edge and of the top of its line.
struct TipWord
{
    QString text;
    int x = 0;
    int y = 0;
    friend bool operator==(const TipWord&, const TipWord&) = default;
};

// Lays a tip out in a box of boxWidth pixels: lines from the left margin 12, width boxWidth - 28,
// each justified except the last (and except a line of a single word, which takes the next word too,
// even past the margin); lines are lineHeight apart from y = 0. width measures a text.
std::vector<TipWord> layoutTip(const QString& text, int boxWidth, int lineHeight,
                               const std::function<int(const QString&)>& width);

// The paint box of the tip window: draws the current tip with layoutTip in its own font.
class TipPaintBox : public QWidget
{
    Q_OBJECT
public:
    explicit TipPaintBox(QWidget* parent = nullptr);
    void setTipText(const QString& text);
    const QString& tipText() const { return text_; }
    // The words as they are painted now.
    std::vector<TipWord> layout() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

class TDidYouKnow : public QDialog
{
    Q_OBJECT
public:
    // showTips: the process-wide ShowTips, read when shown and written when closed.
    TDidYouKnow(std::int32_t& showTips, std::string tipFile, QWidget* parent = nullptr);
    ~TDidYouKnow() override;

    // The index of the tip on screen and the tips.
    int tipIndex() const { return index_; }
    const platform::StringList& tips() const { return tips_; }
    const QString& currentTip() const;

    // Next (Tag 1) and Previous (Tag -1).
    void btnNextClick(int tag);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void selectTip();

    std::unique_ptr<Ui::TDidYouKnow> ui_;
    std::int32_t& showTips_;
    std::string tipFile_;
    platform::StringList tips_;
    int index_ = 0;
    bool shown_ = false;
};

// The Help menu's "Tip Of The Day..." and the start-up's tip: the tip window for the current language,
// shown modally.
void showTipOfTheDay(std::int32_t& showTips, QWidget* parent);

} // namespace wux::mainwindow
