#include "platform/dialogs.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "platform/paths.h"
#include "platform/thread.h"

namespace wux::platform {
namespace {

QtDialogService& qtService()
{
    static QtDialogService instance;
    return instance;
}

void setWaitCursor(bool on)
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    if (on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

QMessageBox::StandardButton standardButton(MsgResult answer)
{
    switch (answer) {
    case MsgResult::Ok:
        return QMessageBox::Ok;
    case MsgResult::Cancel:
        return QMessageBox::Cancel;
    case MsgResult::Abort:
        return QMessageBox::Abort;
    case MsgResult::Retry:
        return QMessageBox::Retry;
    case MsgResult::Ignore:
        return QMessageBox::Ignore;
    case MsgResult::Yes:
        return QMessageBox::Yes;
    case MsgResult::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The system's texts break lines with CR LF; a Qt label wants LF. Encoded reserved characters of
// file names are shown as themselves.
QString displayText(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            lines += text[i];
        }
    }
    return QString::fromStdString(displayPath(lines));
}

} // namespace

void useQtDialogs()
{
    internal::setWindowServices(&qtService(), &setWaitCursor);
}

MsgResult QtDialogService::messageBox(const MessageBoxRequest& request)
{
    QMessageBox box(request.parent != nullptr ? request.parent : QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // a file name such as "<b>.txt" is no markup
    box.setText(displayText(request.text));
    box.setWindowTitle(displayText(request.caption));
    box.setIcon(qtIcon(request.icon));

    const std::vector<MsgResult> answers = messageBoxButtons(request.buttons);
    std::vector<QAbstractButton*> buttons;
    for (MsgResult answer : answers) {
        buttons.push_back(box.addButton(standardButton(answer)));
    }
    const MsgResult defaultResult = defaultAnswer(request.buttons, request.defaultButton);
    const MsgResult escapeResult = closeAnswer(request.buttons);
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i] == defaultResult) {
            box.setDefaultButton(static_cast<QPushButton*>(buttons[i]));
        }
        if (answers[i] == escapeResult) {
            box.setEscapeButton(buttons[i]);
        }
    }

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (buttons[i] == clicked) {
            return answers[i];
        }
    }
    return escapeResult;
}

std::string QtDialogService::fileDialog(const FileDialogRequest& request)
{
    QWidget* parent = request.parent != nullptr ? request.parent : QApplication::activeWindow();
    QFileDialog dialog(parent, QString::fromStdString(request.title));
    dialog.setNameFilter(QString::fromStdString(request.filter));
    // Names match the filter ignoring case ("*.RTBL" also lists "t.rtbl").
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (request.kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    std::string folder;
    if (!request.folder.empty() && toPosixPath(request.folder, folder) == WinError{})
        dialog.setDirectory(QString::fromStdString(folder));
    if (!request.fileName.empty())
        dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return toWindowsPath(dialog.selectedFiles().front().toStdString());
}

std::vector<std::string> ScriptedDialogService::texts() const
{
    std::vector<std::string> result;
    for (const Record& record : records_) {
        result.push_back(record.request.text);
    }
    return result;
}

std::vector<std::string> ScriptedDialogService::captions() const
{
    std::vector<std::string> result;
    for (const Record& record : records_) {
        result.push_back(record.request.caption);
    }
    return result;
}

void ScriptedDialogService::clear()
{
    answers_.clear();
    records_.clear();
    unscripted_ = 0;
    fileAnswers_.clear();
    fileRequests_.clear();
}

std::string ScriptedDialogService::fileDialog(const FileDialogRequest& request)
{
    fileRequests_.push_back(request);
    if (fileAnswers_.empty()) {
        return {};
    }
    std::string answer = std::move(fileAnswers_.front());
    fileAnswers_.pop_front();
    return answer;
}

MsgResult ScriptedDialogService::messageBox(const MessageBoxRequest& request)
{
    MsgResult answer;
    if (answers_.empty()) {
        answer = defaultAnswer(request.buttons, request.defaultButton);
        ++unscripted_;
    } else {
        answer = answers_.front();
        answers_.pop_front();
        const std::vector<MsgResult> offered = messageBoxButtons(request.buttons);
        if (std::find(offered.begin(), offered.end(), answer) == offered.end()) {
            records_.push_back({request, answer, isGuiThread()});
            throw std::logic_error("Scripted answer " + std::to_string(static_cast<int>(answer)) +
                                   " is not a button of the message box \"" + request.text + "\".");
        }
    }
    records_.push_back({request, answer, isGuiThread()});
    return answer;
}

bool QtDialogService::fontDialog(const FontDialogRequest& request, QFont& chosen)
{
    QWidget* parent = request.parent ? request.parent : QApplication::activeWindow();
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, request.initial, parent);
    if (ok)
        chosen = font;
    return ok;
}

bool ScriptedDialogService::fontDialog(const FontDialogRequest& request, QFont& chosen)
{
    fontRequests_.push_back(request);
    if (fontAnswers_.empty())
        return false;
    const std::optional<QFont> answer = fontAnswers_.front();
    fontAnswers_.pop_front();
    if (!answer)
        return false;
    chosen = *answer;
    return true;
}

} // namespace wux::platform
