#include "controls/vyk_combo_box.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace wux::controls {

namespace {

constexpr int kDropDownLines = 9;

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Focus changes that are not the user moving between controls: a drop-down list or another window
// taking over.
bool isControlFocusChange(const QFocusEvent* event)
{
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

} // namespace

template <typename F> void ComboItemsAdapter::keepingText(F&& change)
{
    const QString text = box_.currentText();
    {
        const QSignalBlocker blocker(&box_);
        change();
        if (box_.isEditable() && box_.currentText() != text)
            box_.setEditText(text);
    }
}

int ComboItemsAdapter::count() const
{
    return box_.count();
}

std::string ComboItemsAdapter::at(int index) const
{
    return box_.itemText(index).toStdString();
}

void ComboItemsAdapter::set(int index, std::string_view text)
{
    keepingText([&] { box_.setItemText(index, fromUtf8(text)); });
}

void ComboItemsAdapter::append(std::string_view text)
{
    keepingText([&] { box_.addItem(fromUtf8(text)); });
}

void ComboItemsAdapter::removeAt(int index)
{
    keepingText([&] { box_.removeItem(index); });
}

void ComboItemsAdapter::clear()
{
    keepingText([&] { box_.clear(); });
}

TVYKComboBox::TVYKComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(kDropDownLines);
    setDuplicatesEnabled(true);
}

TVYKComboBox::~TVYKComboBox() = default;

void TVYKComboBox::ensureHistory()
{
    if (!history_)
        history_ = std::make_unique<core::TVYK_RingList>(items_);
}

void TVYKComboBox::AddToHistory()
{
    ensureHistory();
    const QString text = currentText();
    history_->Add(text.toStdString());
    setEditText(text);
}

void TVYKComboBox::LoadHistory(const platform::IniFile& ini, std::string_view section, std::string_view ident)
{
    ensureHistory();
    history_->LoadFromIni(ini, section, ident);
}

platform::WinError TVYKComboBox::SaveHistory(platform::IniFile& ini, std::string_view section,
                                             std::string_view ident)
{
    AddToHistory();
    return history_->SaveToIni(ini, section, ident);
}

void TVYKComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (isControlFocusChange(event))
        AddToHistory();
}

void TVYKComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    if (isControlFocusChange(event))
        AddToHistory();
}

void TVYKComboBox::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyDown) {
        int key = event->key();
        OnKeyDown(key, event->modifiers());
        if (key == 0) {
            event->accept();
            return;
        }
    }
    QComboBox::keyPressEvent(event);
}

} // namespace wux::controls
