// The browser panel as the file lists see it: the operation cursor takes the selection of the active
// panel, and the icon reader repaints the panel whose icons it has read. The browser panel implements
// this interface; the main window says which panel is the active one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "filelist/browser_state.h"

namespace wux::filelist {

// View modes of a panel.
inline constexpr std::int32_t kViewBrief = 1;
inline constexpr std::int32_t kViewFull = 2;
inline constexpr std::int32_t kViewTree = 3;
inline constexpr std::int32_t kViewBasket = 4;

class IBrowserPanel
{
public:
    virtual ~IBrowserPanel() = default;

    // The view mode: 1 brief, 2 full, 3 tree, 4 Basket.
    virtual std::int32_t ViewMode() const = 0;
    // The panel's own listing (its folder path is the listing's folder 1).
    virtual TstateOfBrowser& Listing() = 0;
    // The panel's Basket view (LeftBasketState or RightBasketState).
    virtual TstateOfBrowser& BasketView() = 0;
    // Marks (kActionMark) or unmarks (kActionUnmark) the item under the panel's cursor in the list it
    // shows.
    virtual void SelectCursorItem(std::int32_t action) = 0;
    // Repaints the panel's list (whole area, no erase).
    virtual void Repaint() = 0;
    // The caption of the main window (the title of the panel's message boxes).
    virtual std::string MainCaption() const = 0;
};

// Who the active panel is: set by the main window; returns nullptr when no panel is active.
using ActivePanelSource = std::function<IBrowserPanel*()>;
void SetActivePanelSource(ActivePanelSource source);
// The active panel, or nullptr.
IBrowserPanel* GetActivePanel();

// The folder path of a panel (its listing's folder 1, as FolderPathOf gives it).
std::string PanelFolderPath(IBrowserPanel& panel);

} // namespace wux::filelist
