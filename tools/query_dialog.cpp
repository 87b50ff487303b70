#include "tools/query_dialog.h"

#include "ui_TStandardQuery.h"

#include <QApplication>
#include <QKeyEvent>

#include "core/gui_helpers.h"
#include "core/ring_list.h"
#include "core/text_table.h"
#include "platform/string_list.h"
#include "platform/text.h"
#include "tools/key_preview.h"
#include "tools/tool_host.h"

namespace wux::tools {

namespace {

QString text(int id)
{
    return QString::fromStdString(core::uiText(id));
}

} // namespace

void registerQueryDialogTexts()
{
    core::registerDefaultTexts({{kTextQueryPrompt, "Copy files to"},
                                {kTextQueryOk, "OK"},
                                {kTextQueryCancel, "Cancel"},
                                {kTextQueryBrowse, "&Browse"},
                                {kTextQuerySend, "Send to Bas&ket"}});
}

std::string folderPartOf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

TStandardQuery::TStandardQuery(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TStandardQuery>())
{
    ui_->setupUi(this);
    setFixedSize(355, 96);
    ui_->cbForSelectFiles->setCompleter(nullptr);
    ui_->lblInfo->setText(text(kTextQueryPrompt));
    ui_->btnOK->setText(text(kTextQueryOk));
    ui_->btnCancel->setText(text(kTextQueryCancel));
    ui_->btnBrowse->setText(text(kTextQueryBrowse));
    ui_->chkSend->setText(text(kTextQuerySend));
    connect(ui_->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->btnBrowse, &QPushButton::clicked, this, &TStandardQuery::btnBrowseClick);
    connect(ui_->chkSend, &QCheckBox::toggled, this, &TStandardQuery::chkSendClick);
    new DialogKeyPreview(this, [this](QKeyEvent& event) { return previewKey(event); });
    StandardQuery = this;
}

TStandardQuery::~TStandardQuery()
{
    if (StandardQuery == this)
        StandardQuery = nullptr;
}

QLineEdit* TStandardQuery::edInfo() const
{
    return ui_->edInfo;
}
QLabel* TStandardQuery::lblInfo() const
{
    return ui_->lblInfo;
}
QComboBox* TStandardQuery::cbForSelectFiles() const
{
    return ui_->cbForSelectFiles;
}
QPushButton* TStandardQuery::btnBrowse() const
{
    return ui_->btnBrowse;
}
QCheckBox* TStandardQuery::chkSend() const
{
    return ui_->chkSend;
}
QPushButton* TStandardQuery::btnOK() const
{
    return ui_->btnOK;
}
QPushButton* TStandardQuery::btnCancel() const
{
    return ui_->btnCancel;
}

std::string TStandardQuery::ShowHistoryBox(core::TVYK_RingList& history)
{
    ui_->edInfo->hide();
    QComboBox* box = ui_->cbForSelectFiles;
    box->show();
    box->clear();
    platform::StringList newestFirst;
    history.FillStrings(newestFirst);
    for (int i = 0; i < newestFirst.count(); ++i)
        box->addItem(platform::toQString(newestFirst.at(i)));
    return newestFirst.count() > 0 ? newestFirst.at(0) : std::string();
}

void TStandardQuery::ShowBrowseButton()
{
    const int browseLeft = ui_->btnBrowse->x();
    ui_->btnBrowse->move(ui_->btnOK->x(), ui_->btnBrowse->y());
    ui_->btnOK->move(browseLeft, ui_->btnOK->y());
    ui_->btnBrowse->show();
}

void TStandardQuery::btnBrowseClick()
{
    const std::string start = folderPartOf(ui_->edInfo->text().toStdString());
    const std::string chosen = core::BrowseForFolder(this, windowTitle().toStdString(), start);
    if (chosen.empty())
        return;
    ui_->edInfo->setText(QString::fromStdString(chosen));
    ui_->btnOK->setFocus();
}

void TStandardQuery::chkSendClick()
{
    ui_->edInfo->setEnabled(!ui_->chkSend->isChecked());
}

void TStandardQuery::centreOverMainWindow()
{
    QRect main;
    if (IToolHost* host = toolHost())
        main = host->MainBounds();
    else if (parentWidget() != nullptr)
        main = parentWidget()->window()->frameGeometry();
    if (!main.isValid())
        return;
    const QSize frame = frameGeometry().size();
    move(main.left() + (main.width() - frame.width()) / 2, main.top() + (main.height() - frame.height()) / 2);
}

void TStandardQuery::showEvent(QShowEvent* event)
{
    centreOverMainWindow();
    QDialog::showEvent(event);
}

bool TStandardQuery::previewKey(QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event.key()) {
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused push button answers for itself (Enter on Cancel cancels); elsewhere Enter is OK.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button != nullptr && button->isVisible() && button->isEnabled())
            button->click();
        else
            accept();
        return true;
    default:
        return false;
    }
}

} // namespace wux::tools
