#include "shots/shooter.h"

#include "platform/fault_injection.h"

#include "controls/control_check.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace wux::shots {

namespace {

constexpr int kPollMs = 15;
// A modal window that no step takes within this time is closed.
constexpr qint64 kStepTimeoutMs = 20000;

QRect screenGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect();
}

std::string describe(QWidget* window)
{
    if (window == nullptr)
        return "no window";
    return std::string(window->metaObject()->className()) + " \"" + window->windowTitle().toStdString() +
           "\"";
}

} // namespace

std::string judgePicture(const QImage& image, const QRect& frame, const QRect& screen)
{
    if (image.isNull() || image.width() == 0 || image.height() == 0)
        return "the picture is empty";
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const QRgb first = pixels.pixel(0, 0);
    bool oneColour = true;
    for (int y = 0; y < pixels.height() && oneColour; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (line[x] != first) {
                oneColour = false;
                break;
            }
        }
    }
    if (oneColour)
        return "the picture is blank (one colour)";
    if (!screen.contains(frame))
        return "the window (" + std::to_string(frame.x()) + "," + std::to_string(frame.y()) + " " +
               std::to_string(frame.width()) + "x" + std::to_string(frame.height()) +
               ") is cut off by the screen (" + std::to_string(screen.width()) + "x" +
               std::to_string(screen.height()) + ")";
    return "";
}

Shooter::Shooter(std::string folder) : folder_(std::move(folder)) {}

void Shooter::settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (clock.elapsed() < ms);
}

void Shooter::fail(const std::string& what, const std::string& reason)
{
    failures_.push_back(what + ": " + reason);
    std::fprintf(stderr, "FAILED %s: %s\n", what.c_str(), reason.c_str());
}

void Shooter::shoot(QWidget* window, const std::string& file, const std::string& description)
{
    QWidget* beneath = std::exchange(beneath_, nullptr);
    if (window == nullptr || !window->isVisible()) {
        fail(file, "the window is missing (" + description + ")");
        return;
    }
    // A picture taken at an event is taken at once (the program is inside that event).
    if (!eagerStep_)
        settle();
    QImage image;
    QRect frame = window->frameGeometry();
    if (window->windowType() == Qt::Popup && beneath == nullptr)
        beneath = QApplication::activeWindow();
    if (beneath != nullptr && beneath != window && beneath->isVisible()) {
        // A menu or a question is seen over the window it belongs to: the picture is that part of
        // the screen.
        const QRect area = frame | beneath->frameGeometry();
        if (QScreen* screen = window->screen())
            image = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    } else {
        image = window->grab().toImage();
    }
    const std::string fault = judgePicture(image, frame, screenGeometry());
    if (!fault.empty()) {
        fail(file, fault + " (" + description + ")");
        return;
    }
    if (!image.save(QString::fromStdString(folder_ + "/" + file), "PNG")) {
        fail(file, "the picture cannot be saved in " + folder_);
        return;
    }
    checkControls(window, file);
    entries_.push_back({file, description});
    std::printf("%-34s %s\n", file.c_str(), description.c_str());
    std::fflush(stdout);
}

void Shooter::checkControls(QWidget* window, const std::string& file)
{
    std::vector<QString> faults = controls::findCutTexts(*window);
    for (QString& overlap : controls::findOverlaps(*window, [this](const QWidget& widget) {
             const std::string name = widget.objectName().toStdString();
             return std::find(floating_.begin(), floating_.end(), name) != floating_.end();
         }))
        faults.push_back(std::move(overlap));
    for (const QString& fault : faults) {
        const std::string line = fault.toStdString();
        bool known = false;
        for (std::size_t i = 0; i < known_.size(); ++i) {
            if (file.rfind(known_[i].file, 0) == 0 && line.find(known_[i].text) != std::string::npos) {
                known = true;
                knownUsed_[i] = true;
            }
        }
        if (known) {
            knownSeen_.push_back(file + ": " + line);
            std::fprintf(stderr, "known %s: %s\n", file.c_str(), line.c_str());
        } else {
            fail(file, line);
        }
    }
}

namespace {

// Calls a function on every event of the application.
class EveryEvent : public QObject
{
public:
    explicit EveryEvent(std::function<void()> call) : call_(std::move(call)) {}
    bool eventFilter(QObject*, QEvent*) override
    {
        call_();
        return false;
    }

private:
    std::function<void()> call_;
};

} // namespace

void Shooter::whileModal(const std::string& what, const std::function<void()>& command,
                         std::vector<ModalStep> steps)
{
    std::size_t next = 0;
    bool acting = false;
    QElapsedTimer waited;
    waited.start();
    auto poll = [&](bool atEvent) {
        if (acting || (atEvent && (next >= steps.size() || !steps[next].eager)))
            return;
        QWidget* top = QApplication::activeModalWidget();
        if (std::getenv("WUX_SHOTS_DEBUG") != nullptr && !atEvent)
            std::fprintf(stderr, "poll %s\n", describe(top).c_str());
        if (top == nullptr || !top->isVisible())
            return;
        if (next < steps.size() && steps[next].ready(top)) {
            acting = true;
            eagerStep_ = atEvent;
            steps[next].act(top);
            eagerStep_ = false;
            ++next;
            acting = false;
            waited.restart();
            return;
        }
        if (!atEvent && waited.elapsed() > kStepTimeoutMs) {
            // A run held for a picture may go on: the window can close only once it has ended.
            platform::releaseHolds();
            fail(what, next < steps.size()
                           ? "step " + std::to_string(next + 1) + " never came; closed " + describe(top)
                           : "an unexpected window was closed: " + describe(top));
            waited.restart();
            if (auto* dialog = qobject_cast<QDialog*>(top))
                dialog->reject();
            else
                top->close();
        }
    };
    QTimer timer;
    timer.setInterval(kPollMs);
    QObject::connect(&timer, &QTimer::timeout, [&] { poll(false); });
    EveryEvent filter([&] { poll(true); });
    qApp->installEventFilter(&filter);
    timer.start();
    command();
    timer.stop();
    qApp->removeEventFilter(&filter);
    platform::releaseHolds();
    if (next < steps.size())
        fail(what, "the command ended before window " + std::to_string(next + 1) + " of " +
                       std::to_string(steps.size()) + " was up");
    settle();
}

std::vector<Shooter::Known> Shooter::knownNotSeen() const
{
    std::vector<Known> unused;
    for (std::size_t i = 0; i < known_.size(); ++i) {
        if (!knownUsed_[i])
            unused.push_back(known_[i]);
    }
    return unused;
}

void Shooter::whilePopup(const std::string& what, const std::function<void()>& command,
                         const std::function<void(QWidget*)>& act)
{
    bool done = false;
    QTimer timer;
    timer.setInterval(kPollMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        if (done || popup == nullptr || !popup->isVisible())
            return;
        done = true;
        act(popup);
        popup->close();
    });
    timer.start();
    command();
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < kStepTimeoutMs / 4)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    timer.stop();
    if (!done)
        fail(what, "the menu never opened");
    settle();
}

bool Shooter::writeIndex() const
{
    QFile index(QString::fromStdString(folder_ + "/index.md"));
    if (!index.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    std::string text =
        "# Wuxtool windows\n\nEvery window and dialog of the program, as `scripts/screenshots.sh` "
        "made them on a 1280x1024 screen with realistic files on temporary drives.\n\n"
        "| Picture | What it shows |\n|---|---|\n";
    for (const Entry& entry : entries_)
        text += "| [" + entry.file + "](" + entry.file + ") | " + entry.description + " |\n";
    return index.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

} // namespace wux::shots
