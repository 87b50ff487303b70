#include "core/gui_helpers.h"

#include "platform/shell/folder_browser.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <vector>

#include "platform/paths.h"
#include "platform/text.h"

namespace wux::core {

namespace {

QString displayed(std::string_view text)
{
    return platform::toQString(platform::displayPath(text));
}

// Length of the widest prefix of text that fits into width, cut between characters (never inside a
// surrogate pair).
qsizetype fittingLength(const QFontMetrics& metrics, const QString& text, int width)
{
    std::vector<qsizetype> cuts;
    cuts.reserve(static_cast<std::size_t>(text.size()) + 1);
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || !text.at(i).isLowSurrogate())
            cuts.push_back(i);
    }
    std::size_t low = 0; // cuts[low] fits (the empty prefix always does)
    std::size_t high = cuts.size() - 1;
    while (low < high) {
        const std::size_t mid = low + (high - low + 1) / 2;
        if (metrics.horizontalAdvance(text.left(cuts[mid])) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return cuts[low];
}

} // namespace

std::string FitTextToWidth(const QFontMetrics& metrics, std::string_view text, int width)
{
    const QString shown = displayed(text);
    if (metrics.horizontalAdvance(shown) <= width)
        return platform::toUtf8(shown);
    const qsizetype fit = fittingLength(metrics, shown, width);
    return platform::toUtf8(shown.left(fit)) + "..";
}

std::string FitTextToWidth(const QFont& font, std::string_view text, int width)
{
    return FitTextToWidth(QFontMetrics(font), text, width);
}

std::string FitPathToWidth(std::string_view path, const QFontMetrics& metrics, int width)
{
    const QString shown = displayed(path);
    if (shown.size() < 3)
        return platform::toUtf8(shown);

    QString drive;
    QString rest = shown;
    if (shown.at(1) == QLatin1Char(':')) {
        drive = shown.left(2);
        rest = shown.mid(2);
    }
    const qsizetype slash = rest.lastIndexOf(QLatin1Char('\\'));
    QString folder = slash < 0 ? QString() : rest.left(slash + 1);
    const QString name = slash < 0 ? rest : rest.mid(slash + 1);

    const QString ellipsisFolder = QStringLiteral("...\\");
    while (metrics.horizontalAdvance(drive + folder + name) > width &&
           (!drive.isEmpty() || !folder.isEmpty())) {
        if (folder == QStringLiteral("\\...\\")) {
            folder = ellipsisFolder;
            drive.clear();
            continue;
        }
        const bool leadingSlash = folder.startsWith(QLatin1Char('\\'));
        QString folders = leadingSlash ? folder.mid(1) : folder;
        if (folders.startsWith(ellipsisFolder))
            folders.remove(0, ellipsisFolder.size());
        const qsizetype end = folders.indexOf(QLatin1Char('\\'));
        if (end < 0) {
            // The folder part has run out.
            folder.clear();
            drive.clear();
            continue;
        }
        folder = (leadingSlash ? QStringLiteral("\\") : QString()) + ellipsisFolder + folders.mid(end + 1);
    }
    return platform::toUtf8(drive + folder + name);
}

std::string FitPathToWidth(std::string_view path, const QFont& font, int width)
{
    return FitPathToWidth(path, QFontMetrics(font), width);
}

void GetTextSize(const QFont& font, std::string_view text, int& width, int& height)
{
    const QFontMetrics metrics(font);
    width = metrics.horizontalAdvance(displayed(text));
    height = metrics.height();
}

int GetFontHeight(const QFont& font)
{
    return QFontMetrics(font).height();
}

void DrawLine(QPainter& painter, int x1, int y1, int x2, int y2)
{
    painter.drawLine(x1, y1, x2, y2);
}

std::string BrowseForFolder(QWidget* owner, std::string_view title, std::string_view initialFolder)
{
    return platform::shell::browseForFolder(owner, title, initialFolder);
}

} // namespace wux::core
