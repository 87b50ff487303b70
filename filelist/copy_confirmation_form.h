// TCopyConfirmationForm: the question dialog of the file operations (overwrite, hidden, system and
// read-only files, non-empty directories, directories that cannot be created, failed steps). The
// caller fills its fields and shows it modally; the modal result is the answer (ConfirmationAnswer).
// On every showing the dialog picks its buttons, icon, title and message by Kind, shortens the names
// to 7/9 of the main window's width and sizes itself to the message and the button panel.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QDialog>
#include <QIcon>

#include "filelist/file_operation_ui.h"

class QFont;
class QMargins;
class QLabel;
class QRect;
class QWidget;

namespace Ui {
class TCopyConfirmationForm;
}

namespace wux::controls {
class TWUXBitBtn;
}

namespace wux::filelist {

// The frame around a top-level window's client area (creates its system window when needed).
QMargins FrameMarginsOf(QWidget& window);

// The font of the file-operation windows (sans-serif, 11 pixels), also the hover font of the
// confirmation dialog's buttons.
QFont FileOperationDialogFont();

class TCopyConfirmationForm : public QDialog
{
    Q_OBJECT

public:
    // Width and height of every button, and the gap between buttons (a wider gap between the two
    // buttons of a directory-creation question).
    static constexpr int kButtonWidth = 93;
    static constexpr int kButtonHeight = 22;
    static constexpr int kButtonGap = 5;
    static constexpr int kWideButtonGap = 15;

    explicit TCopyConfirmationForm(QWidget* parent = nullptr);
    ~TCopyConfirmationForm() override;

    QIcon QuestionIcon;
    QIcon WarningIcon;
    ConfirmationKind Kind = ConfirmationKind::Overwrite;
    // See ConfirmationQuestion: the names are shown as given.
    std::string Name1;
    std::string Name2;
    std::string Info1;
    std::string Info2;
    // Attribute questions ask "Delete anyway?"; cleared after each showing.
    bool DeleteWording = false;
    // The left edge and the width of the window to centre on (the progress window's frame).
    std::int32_t AnchorLeft = 0;
    std::int32_t AnchorWidth = 0;
    // The main window's client width: the names are shortened to 7/9 of it.
    std::int32_t mainClientWidth = 0;

    // Centres the dialog on the frame of the progress window, 10 pixels below it.
    void PlaceUnder(const QRect& progressFrame);
    // Fills the fields from question (and, for a StepFailed question, the window title from its
    // caption), shows the dialog modally and returns the answer.
    ConfirmationAnswer Ask(const ConfirmationQuestion& question);

    // Lays the dialog out for its current fields, as every showing does (public for tests).
    void ArrangeForShowing();

    void setVisible(bool visible) override;

public Q_SLOTS:
    // Escape and the close box answer Cancel (2).
    void reject() override;

private:
    controls::TWUXBitBtn* button(ConfirmationAnswer answer) const;

    std::unique_ptr<Ui::TCopyConfirmationForm> ui_;
};

} // namespace wux::filelist
