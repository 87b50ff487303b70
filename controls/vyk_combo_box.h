// TVYKComboBox: an editable combo box that remembers the texts typed into it. Whenever it gets or
// loses the focus its text goes into a nine-entry recent list (core::TVYK_RingList) that works
// directly on the drop-down items, which therefore show the ring's slots in slot order (slot 1
// first). The owning window loads and saves the list (LoadHistory / SaveHistory).
// Qt's own insertion on Enter and its completer are off; item changes never change the edit text.
#pragma once

#include "core/ring_list.h"
#include "platform/errors.h"

#include <QComboBox>

#include <functional>
#include <memory>
#include <string_view>

namespace wux::platform {
class IniFile;
}

namespace wux::controls {

// The items of a combo box as a ring's string list. Item changes keep the box's edit text and send no
// signals.
class ComboItemsAdapter : public core::IStringList
{
public:
    explicit ComboItemsAdapter(QComboBox& box) : box_(box) {}
    int count() const override;
    std::string at(int index) const override;
    void set(int index, std::string_view text) override;
    void append(std::string_view text) override;
    void removeAt(int index) override;
    void clear() override;

private:
    template <typename F> void keepingText(F&& change);
    QComboBox& box_;
};

class TVYKComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit TVYKComboBox(QWidget* parent = nullptr);
    ~TVYKComboBox() override;

    // Creates History when needed, adds the box's text to it (an empty text is ignored) and sets the
    // text again.
    void AddToHistory();
    // Creates History when needed and loads it from the settings.
    void LoadHistory(const platform::IniFile& ini, std::string_view section, std::string_view ident);
    // AddToHistory, then stores History.
    platform::WinError SaveHistory(platform::IniFile& ini, std::string_view section, std::string_view ident);

    // None until first needed.
    core::TVYK_RingList* History() const { return history_.get(); }

    // Key down before the box handles it; setting key to 0 consumes it.
    std::function<void(int& key, Qt::KeyboardModifiers modifiers)> OnKeyDown;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ensureHistory();

    ComboItemsAdapter items_{*this};
    std::unique_ptr<core::TVYK_RingList> history_;
};

} // namespace wux::controls
