#include "filelist/copy_confirmation_form.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <vector>

#include <QFont>
#include <QFontMetrics>
#include <QMargins>
#include <QRect>
#include <QStringList>
#include <QStyle>
#include <QWindow>

#include "controls/wux_bit_btn.h"
#include "core/gui_helpers.h"
#include "core/text_table.h"
#include "platform/text.h"
#include "ui_TCopyConfirmationForm.h"

namespace wux::filelist {

namespace {

using Row = std::vector<ConfirmationAnswer>;

// What one kind shows, apart from its message.
struct KindLayout
{
    bool question;              // question icon (else the exclamation icon)
    int titleId;                // 0: the caller's title
    bool leftAligned;           // message aligned left (else centred)
    std::vector<Row> rows;      // visible buttons, row by row
    int gap;                    // between the buttons of a row
    std::string_view prefix1;   // the fixed text measured before Name1
    std::string_view prefix2;   // the same before Name2 ("" when Name2 is not shown)
    std::string_view widthText; // the text before Name1 that the width is measured with
    int extraWidth;             // added to the measured width
};

const KindLayout& layoutOf(ConfirmationKind kind)
{
    using A = ConfirmationAnswer;
    static const KindLayout overwrite{true,
                                      148,
                                      true,
                                      {{A::Yes, A::YesToAll, A::YesAllOlder},
                                       {A::No, A::NoToAll, A::Cancel},
                                       {A::Autorename, A::AutorenameAll}},
                                      TCopyConfirmationForm::kButtonGap,
                                      " Overwrite: w",
                                      " with file:  ?w",
                                      " Overwrite: w",
                                      0};
    static const KindLayout stepFailed{false,
                                       0,
                                       false,
                                       {{A::Yes, A::No, A::Cancel}},
                                       TCopyConfirmationForm::kButtonGap,
                                       "An error with file w",
                                       "",
                                       "An error with file w",
                                       0};
    static const KindLayout attribute{false,
                                      52,
                                      false,
                                      {{A::Yes, A::No, A::Cancel}, {A::YesToAll, A::NoToAll}},
                                      TCopyConfirmationForm::kButtonGap,
                                      "File w",
                                      "",
                                      "File w",
                                      0};
    static const KindLayout notCreated{
        false, 146, false, {{A::Yes, A::No}}, TCopyConfirmationForm::kWideButtonGap, " w", "", " w", 0};
    static const KindLayout notEmpty{false,
                                     52,
                                     false,
                                     {{A::Yes, A::No, A::Cancel}, {A::YesToAll, A::NoToAll}},
                                     TCopyConfirmationForm::kButtonGap,
                                     "File w",
                                     "",
                                     "The directory is not empty ",
                                     20};
    switch (kind) {
    case ConfirmationKind::StepFailed:
        return stepFailed;
    case ConfirmationKind::Attribute:
        return attribute;
    case ConfirmationKind::DirectoryNotCreated:
        return notCreated;
    case ConfirmationKind::DirectoryNotEmpty:
        return notEmpty;
    case ConfirmationKind::Overwrite:
        break;
    }
    return overwrite;
}

int textWidth(const QFont& font, std::string_view text)
{
    int width = 0;
    int height = 0;
    core::GetTextSize(font, text, width, height);
    return width;
}

QString labelText(const std::string& text)
{
    QString shown = platform::toQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

constexpr ConfirmationAnswer kAllAnswers[] = {
    ConfirmationAnswer::Yes,        ConfirmationAnswer::YesToAll,      ConfirmationAnswer::YesAllOlder,
    ConfirmationAnswer::No,         ConfirmationAnswer::NoToAll,       ConfirmationAnswer::Cancel,
    ConfirmationAnswer::Autorename, ConfirmationAnswer::AutorenameAll,
};

} // namespace

QMargins FrameMarginsOf(QWidget& window)
{
    window.winId(); // the system window, which knows its frame
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

QFont FileOperationDialogFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

TCopyConfirmationForm::TCopyConfirmationForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TCopyConfirmationForm>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(FileOperationDialogFont());
    setFixedSize(size());
    QuestionIcon = style()->standardIcon(QStyle::SP_MessageBoxQuestion);
    WarningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (ConfirmationAnswer answer : kAllAnswers) {
        controls::TWUXBitBtn* btn = button(answer);
        btn->setNewFont(FileOperationDialogFont());
        const int result = static_cast<int>(answer);
        connect(btn, &QPushButton::clicked, this, [this, result] { done(result); });
    }
}

TCopyConfirmationForm::~TCopyConfirmationForm() = default;

controls::TWUXBitBtn* TCopyConfirmationForm::button(ConfirmationAnswer answer) const
{
    switch (answer) {
    case ConfirmationAnswer::Yes:
        return ui_->btnYes;
    case ConfirmationAnswer::YesToAll:
        return ui_->btnYesToAll;
    case ConfirmationAnswer::YesAllOlder:
        return ui_->btnYesAllOlder;
    case ConfirmationAnswer::No:
        return ui_->btnNo;
    case ConfirmationAnswer::NoToAll:
        return ui_->btnNoToAll;
    case ConfirmationAnswer::Cancel:
        return ui_->btnCancel;
    case ConfirmationAnswer::Autorename:
        return ui_->btnAutorename;
    case ConfirmationAnswer::AutorenameAll:
        return ui_->btnAutorenameAll;
    }
    return ui_->btnCancel;
}

void TCopyConfirmationForm::PlaceUnder(const QRect& progressFrame)
{
    AnchorLeft = progressFrame.x();
    AnchorWidth = progressFrame.width();
    move(pos().x(), progressFrame.y() + progressFrame.height() + 10);
}

ConfirmationAnswer TCopyConfirmationForm::Ask(const ConfirmationQuestion& question)
{
    Kind = question.kind;
    Name1 = question.Name1;
    Name2 = question.Name2;
    Info1 = question.Info1;
    Info2 = question.Info2;
    DeleteWording = question.DeleteWording;
    if (question.kind == ConfirmationKind::StepFailed)
        setWindowTitle(platform::toQString(question.caption));
    const int result = exec();
    for (ConfirmationAnswer answer : kAllAnswers) {
        if (static_cast<int>(answer) == result)
            return answer;
    }
    // A dialog closed in any other way (never by the user) counts as Cancel.
    return ConfirmationAnswer::Cancel;
}

void TCopyConfirmationForm::setVisible(bool visible)
{
    if (visible && !isVisible())
        ArrangeForShowing();
    QDialog::setVisible(visible);
}

void TCopyConfirmationForm::reject()
{
    done(static_cast<int>(ConfirmationAnswer::Cancel));
}

void TCopyConfirmationForm::ArrangeForShowing()
{
    const KindLayout& layout = layoutOf(Kind);
    QLabel* info = ui_->lblInformation;
    const QFont font = info->font();

    // The names, shortened to 7/9 of the main window's width less the text before them.
    const int budget = (mainClientWidth / 9) * 7;
    const std::string name1 = core::FitPathToWidth(Name1, font, budget - textWidth(font, layout.prefix1));
    std::string name2;
    if (!layout.prefix2.empty())
        name2 = core::FitPathToWidth(Name2, font, budget - textWidth(font, layout.prefix2));

    // The message, and the width it asks for.
    std::string message;
    switch (Kind) {
    case ConfirmationKind::StepFailed:
        message = core::formatUiText(62, {name1, Info1});
        break;
    case ConfirmationKind::Attribute:
        message = core::formatUiText(DeleteWording ? 61 : 64, {name1, Info1});
        break;
    case ConfirmationKind::DirectoryNotCreated:
        message = core::formatUiText(66, {name1, Info1});
        break;
    case ConfirmationKind::DirectoryNotEmpty:
        message = core::formatUiText(70, {name1});
        break;
    case ConfirmationKind::Overwrite:
        message = core::formatUiText(63, {name1, Info1, name2, Info2});
        break;
    }
    int width = textWidth(font, std::string(layout.widthText) + name1) + layout.extraWidth;
    if (!layout.prefix2.empty())
        width = std::max(width, textWidth(font, std::string(layout.prefix2) + name2));

    if (layout.titleId != 0)
        setWindowTitle(platform::toQString(core::uiText(layout.titleId)));
    setWindowIcon(layout.question ? QuestionIcon : WarningIcon);

    const bool failed = Kind == ConfirmationKind::StepFailed;
    ui_->btnYes->setText(platform::toQString(core::uiText(failed ? 81 : 73)));
    ui_->btnYesToAll->setText(platform::toQString(core::uiText(74)));
    ui_->btnYesAllOlder->setText(platform::toQString(core::uiText(75)));
    ui_->btnNo->setText(platform::toQString(core::uiText(failed ? 82 : 76)));
    ui_->btnNoToAll->setText(platform::toQString(core::uiText(77)));
    ui_->btnCancel->setText(platform::toQString(core::uiText(failed ? 83 : 78)));
    ui_->btnAutorename->setText(platform::toQString(core::uiText(79)));
    ui_->btnAutorenameAll->setText(platform::toQString(core::uiText(80)));

    // The button panel, sized to its buttons.
    for (ConfirmationAnswer answer : kAllAnswers)
        button(answer)->setVisible(false);
    int panelWidth = 0;
    int y = 0;
    for (const Row& row : layout.rows) {
        int x = 0;
        for (ConfirmationAnswer answer : row) {
            controls::TWUXBitBtn* btn = button(answer);
            btn->setGeometry(x, y, kButtonWidth, kButtonHeight);
            btn->setVisible(true);
            x += kButtonWidth + layout.gap;
        }
        panelWidth = std::max(panelWidth, x - layout.gap);
        y += kButtonHeight + kButtonGap;
    }
    const int panelHeight = y - kButtonGap;

    info->setAlignment((layout.leftAligned ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop);
    info->setText(labelText(message));
    const int infoHeight = info->sizeHint().height();
    const int voidHeight = ui_->lblVoid->height();

    int clientWidth = width + 5 > panelWidth + 10 ? width + 5 : panelWidth + 5;
    // No line of the message is ever cut: the client area is at least its widest line + 5 wide (the
    // fixed second line of a non-empty directory question is wider than a short name's measure).
    const QFontMetrics metrics(font);
    const QStringList lines = labelText(message).split(QLatin1Char('\n'));
    for (const QString& line : lines)
        clientWidth = std::max(clientWidth, metrics.horizontalAdvance(line) + 5);
    const int clientHeight = voidHeight + infoHeight + 20 + panelHeight;
    ui_->lblVoid->setGeometry(0, 0, clientWidth, voidHeight);
    info->setGeometry(0, voidHeight, clientWidth, infoHeight);
    ui_->pnlButtons->setGeometry((clientWidth - panelWidth) / 2, clientHeight - (panelHeight + 5), panelWidth,
                                 panelHeight);
    setFixedSize(clientWidth, clientHeight);

    const int frameWidth = clientWidth + FrameMarginsOf(*this).left() + FrameMarginsOf(*this).right();
    move(AnchorLeft + AnchorWidth / 2 - frameWidth / 2, pos().y());

    DeleteWording = false;
}

} // namespace wux::filelist
