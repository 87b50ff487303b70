// The Basket with both views attached, and a browser panel double, for the Basket, cursor and icon
// tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/text_table.h"
#include "filelist/active_panel.h"
#include "filelist/basket.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "list_builder.h"

namespace wux::filelist::test {

// A panel: its listing, its Basket view, its view mode and the grid row under its cursor (folder 1).
class FakePanel : public IBrowserPanel
{
public:
    FakePanel(TstateOfBrowser& listing, TstateOfBrowser& basketView)
        : listing_(listing), basketView_(basketView)
    {
    }

    std::int32_t ViewMode() const override { return viewMode; }
    TstateOfBrowser& Listing() override { return listing_; }
    TstateOfBrowser& BasketView() override { return basketView_; }
    void SelectCursorItem(std::int32_t action) override
    {
        actions.push_back(action);
        TstateOfBrowser& shown = viewMode == kViewBasket ? basketView_ : listing_;
        SelectItem(cursorFolder, cursorRow, shown, action, false);
    }
    void Repaint() override { ++repaints; }
    std::string MainCaption() const override { return "Wuxtool"; }

    std::int32_t viewMode = kViewBrief;
    std::int32_t cursorFolder = 1;
    std::int32_t cursorRow = 0;
    std::vector<std::int32_t> actions;
    int repaints = 0;

private:
    TstateOfBrowser& listing_;
    TstateOfBrowser& basketView_;
};

// Detaches a Basket view: its own display order and flat-view folders are freed.
inline void detachBasketView(TstateOfBrowser& view)
{
    if (view.savedFolders)
        EndFlatView(view);
    if (platform::movableIsValid(view.order))
        platform::movableFree(view.order);
    view = TstateOfBrowser();
}

// An empty Basket with both views attached for the first time (left view sort word 8, right view
// 0x2000 + 8: descending); the options word is restored at the end.
class BasketFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        savedOptions_ = GeneralCheckContainer.load();
        GeneralCheckContainer = 0;
        CreateBasketState(BasketState);
        LeftBasketState.sortWord = kSortDefault;
        RightBasketState.sortWord = kSortDefault | kSortDescending;
        AttachStateToPanel(kLeftBasketView, true, BasketState);
        AttachStateToPanel(kRightBasketView, true, BasketState);
    }

    void TearDown() override
    {
        detachBasketView(LeftBasketState);
        detachBasketView(RightBasketState);
        ReleaseStateItemIds(BasketState);
        FreeBrowserState(BasketState);
        BasketState = TstateOfBrowser();
        SetActivePanelSource(nullptr);
        GeneralCheckContainer = savedOptions_;
    }

    // Every folder's items lie in its run and name their folder; first indexes do not overlap.
    static void expectConsistent(TstateOfBrowser& state)
    {
        StateAccess access(state);
        std::vector<int> owner(static_cast<std::size_t>(state.itemCount), 0);
        std::int32_t total = 0;
        for (std::int32_t f = 1; f <= state.folderCount; ++f) {
            const TBrowserFolder& folder = access.Folder(f);
            total += folder.count;
            for (std::int32_t n = 0; n < folder.count; ++n) {
                const std::uint32_t index = folder.firstItem + static_cast<std::uint32_t>(n);
                ASSERT_LT(index, static_cast<std::uint32_t>(state.itemCount));
                EXPECT_EQ(owner[index], 0) << "item " << index << " in two folders";
                owner[index] = f;
                EXPECT_EQ(access.items[index].folder, f) << "item " << index;
            }
        }
        EXPECT_EQ(total, state.itemCount);
    }

    // The folder paths in folder order.
    static std::vector<std::string> folderPaths(TstateOfBrowser& state)
    {
        std::vector<std::string> paths;
        StateAccess access(state);
        for (std::int32_t n = 0; n < state.folderCount; ++n)
            paths.emplace_back(access.Path(access.Folder(static_cast<std::int32_t>(access.folderOrder[n]))));
        return paths;
    }

    // Every folder in folder order with its names in display order: "c:\a: x y | c:\c: r".
    static std::string contents(TstateOfBrowser& state)
    {
        std::string out;
        std::vector<std::int32_t> numbers;
        {
            StateAccess access(state);
            for (std::int32_t n = 0; n < state.folderCount; ++n)
                numbers.push_back(static_cast<std::int32_t>(access.folderOrder[n]));
        }
        for (const std::int32_t folder : numbers) {
            out += (out.empty() ? "" : " | ") + FolderPathAsStored(folder, state) + ":";
            for (const std::string& name : namesOf(state, folder))
                out += " " + name;
        }
        return out;
    }

    // The folder number of a path in the Basket (0 when absent).
    static std::int32_t basketFolder(std::string_view path)
    {
        StateAccess access(BasketState);
        for (std::int32_t f = 1; f <= BasketState.folderCount; ++f) {
            if (access.Path(access.Folder(f)) == path)
                return f;
        }
        return 0;
    }

private:
    std::uint32_t savedOptions_ = 0;
};

} // namespace wux::filelist::test
