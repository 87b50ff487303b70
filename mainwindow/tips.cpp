#include "mainwindow/tips.h"

#include <algorithm>
#include <limits>

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include "core/settings_path.h"
#include "core/text_table.h"
#include "mainwindow/about.h"
#include "mainwindow/main_menus.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ui_TDidYouKnow.h"

namespace wux::mainwindow {

namespace {

constexpr int kTipLeftMargin = 12;
constexpr int kTipWidthReserve = 28;
constexpr int kTipLineSpacing = 5;

// index + step, held at the ends of the integer range (a hand-edited ShowTips may sit at either end).
int steppedIndex(int index, int step)
{
    const long long sum = static_cast<long long>(index) + step;
    return static_cast<int>(
        std::clamp<long long>(sum, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

void registerTipTexts()
{
    core::registerDefaultTexts({
        {kTextTipCaption, "The Tip of The Day"},
        {kTextTipDidYouKnow, "Did you know..."},
        {kTextTipShowNextTime, "Show this dialog box next time"},
        {kTextTipClose, "&Close"},
        {kTextTipNext, "&Next tip"},
        {kTextTipPrevious, "&Previous tip"},
    });
}

std::string tipFilePath(const std::string& programFolder, const std::string& languageName)
{
    return core::withTrailingBackslash(programFolder) + languageName + ".tip";
}

platform::StringList loadTips(const std::string& path)
{
    platform::StringList tips;
    std::string bytes;
    if (platform::readWholeFile(path, bytes) == 0) {
        tips.setText(bytes);
    }
    return tips;
}

int normalizedTipIndex(int index, int count)
{
    if (count <= 0) {
        return index;
    }
    if (index >= count) {
        return 0;
    }
    if (index < 0) {
        return count - 1;
    }
    return index;
}

std::vector<TipWord> layoutTip(const QString& text, int boxWidth, int lineHeight,
                               const std::function<int(const QString&)>& width)
{
    std::vector<TipWord> placed;
    const int available = boxWidth - kTipWidthReserve;
    const int blank = width(QStringLiteral(" "));

    std::vector<std::pair<QString, int>> line; // words of the line in hand with their widths
    int lineWidth = -blank;                    // the line's width with single blanks
    int y = 0;

    auto draw = [&](int gap) {
        int x = kTipLeftMargin;
        for (const auto& [word, w] : line) {
            placed.push_back({word, x, y});
            x += w + gap;
        }
        y += lineHeight;
        line.clear();
        lineWidth = -blank;
    };
    // Emits the line in hand; the word in hand (if any) joins it or starts the next line.
    auto emit = [&](const QString* word, int w) {
        const int count = static_cast<int>(line.size());
        if (word == nullptr || lineWidth + w + blank < available || count < 2) {
            if (word != nullptr) {
                line.emplace_back(*word, w);
            }
            draw(blank);
            return;
        }
        draw((available - lineWidth + (count - 1) * blank) / (count - 1));
        line.emplace_back(*word, w);
        lineWidth = w;
    };

    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        const int w = width(word);
        const bool ended = i + 1 == words.size();
        if (!ended && lineWidth + w + blank <= available) {
            line.emplace_back(word, w);
            lineWidth += blank + w;
        } else {
            emit(&word, w);
        }
    }
    if (!line.empty()) {
        emit(nullptr, 0);
    }
    return placed;
}

// ---- TipPaintBox ----

TipPaintBox::TipPaintBox(QWidget* parent) : QWidget(parent) {}

void TipPaintBox::setTipText(const QString& text)
{
    text_ = text;
    update();
}

std::vector<TipWord> TipPaintBox::layout() const
{
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.boundingRect(QStringLiteral("Tg")).height() + kTipLineSpacing;
    return layoutTip(text_, width(), lineHeight,
                     [&metrics](const QString& s) { return metrics.horizontalAdvance(s); });
}

void TipPaintBox::paintEvent(QPaintEvent* /*event*/)
{
    if (text_.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const int ascent = QFontMetrics(font()).ascent();
    for (const TipWord& word : layout()) {
        painter.drawText(word.x, word.y + ascent, word.text);
    }
}

// ---- TDidYouKnow ----

TDidYouKnow::TDidYouKnow(std::int32_t& showTips, std::string tipFile, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TDidYouKnow>()), showTips_(showTips),
      tipFile_(std::move(tipFile))
{
    initMainWindowResources();
    ui_->setupUi(this);
    setFixedSize(size());
    ui_->Image1->setPixmap(QPixmap(QStringLiteral(":/images/TIPBULB.png")));
    ui_->btnNext->setProperty("tag", 1);
    ui_->btnPrevious->setProperty("tag", -1);
    connect(ui_->btnNext, &QPushButton::clicked, this, [this] { btnNextClick(1); });
    connect(ui_->btnPrevious, &QPushButton::clicked, this, [this] { btnNextClick(-1); });
    connect(ui_->Button1, &QPushButton::clicked, this, &QDialog::accept);
}

TDidYouKnow::~TDidYouKnow() = default;

const QString& TDidYouKnow::currentTip() const
{
    return ui_->pb->tipText();
}

void TDidYouKnow::showEvent(QShowEvent* event)
{
    if (!shown_) {
        shown_ = true;
        tips_ = loadTips(tipFile_);
        setWindowTitle(uiQText(kTextTipCaption));
        ui_->Label1->setText(uiQText(kTextTipDidYouKnow));
        ui_->chkShowTip->setText(uiQText(kTextTipShowNextTime));
        ui_->Button1->setText(uiQText(kTextTipClose));
        ui_->btnNext->setText(uiQText(kTextTipNext));
        ui_->btnPrevious->setText(uiQText(kTextTipPrevious));
        if (showTips_ != 0) {
            ui_->chkShowTip->setChecked(true);
            index_ = showTips_;
            showTips_ = steppedIndex(showTips_, 1);
        }
        selectTip();
    }
    QDialog::showEvent(event);
}

void TDidYouKnow::selectTip()
{
    if (tips_.empty()) {
        return;
    }
    index_ = normalizedTipIndex(index_, tips_.count());
    ui_->pb->setTipText(platform::toQString(tips_.at(index_)));
}

void TDidYouKnow::btnNextClick(int tag)
{
    index_ = steppedIndex(index_, tag);
    selectTip();
    ui_->pb->update();
}

void TDidYouKnow::done(int result)
{
    showTips_ = ui_->chkShowTip->isChecked() ? steppedIndex(index_, 1) : 0;
    ui_->pb->setTipText(QString());
    tips_.clear();
    QDialog::done(result);
}

void TDidYouKnow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void showTipOfTheDay(std::int32_t& showTips, QWidget* parent)
{
    TDidYouKnow window(showTips, tipFilePath(core::ProgramFolder(), core::classTranslator().LanguageName),
                       parent);
    window.exec();
}

} // namespace wux::mainwindow
