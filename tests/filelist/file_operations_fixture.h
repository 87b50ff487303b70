// Runs of the file-operation engine on a temporary drive: a panel listing read from disk, marks on
// named items, a scripted stand-in for the windows (answers, recorded questions, gauges and names) and
// a scripted dialog service for the message boxes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "basket_fixture.h"
#include "filelist/file_operations.h"
#include "filelist/folder_reader.h"
#include "filelist/operation_cursor.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::filelist::test {

// The windows as a script: answers questions in order (Cancel when none is left) and records what the
// engine showed. Called on the worker while the test thread waits for it.
class ScriptedOperationUi : public IFileOperationUi
{
public:
    bool ProgressWindowShown() const override { return true; }
    void ShowProgress(std::int32_t overall, std::int32_t file) override
    {
        progress.emplace_back(overall, file);
        if (onProgress)
            onProgress(overall, file);
    }
    void ShowNames(std::string_view source, std::string_view target) override
    {
        names.emplace_back(std::string(source), std::string(target));
    }
    ConfirmationAnswer Ask(const ConfirmationQuestion& question) override
    {
        questions.push_back(question);
        if (answers.empty()) {
            ++unscripted;
            return ConfirmationAnswer::Cancel;
        }
        const ConfirmationAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void PostCloseCommand() override { ++closeCommands; }

    std::deque<ConfirmationAnswer> answers;
    std::vector<ConfirmationQuestion> questions;
    std::vector<std::pair<std::int32_t, std::int32_t>> progress;
    std::vector<std::pair<std::string, std::string>> names;
    std::function<void(std::int32_t, std::int32_t)> onProgress;
    int unscripted = 0;
    int closeCommands = 0;
};

// A question as "kind caption [Name1] Info1", " (delete)" added for the delete wording.
inline std::string question(ConfirmationKind kind, const std::string& caption, const std::string& name1,
                            const std::string& info1, bool deleting = false)
{
    return std::to_string(static_cast<int>(kind)) + " " + caption + " [" + name1 + "] " + info1 +
           (deleting ? " (delete)" : "");
}

// A box as "caption|text|icon".
inline std::string box(const std::string& caption, const std::string& text, platform::MsgIcon icon)
{
    return caption + "|" + text + "|" + std::to_string(static_cast<int>(icon));
}

class FileOperationsTest : public BasketFixture
{
protected:
    void SetUp() override
    {
        BasketFixture::SetUp();
        GeneralCheckContainer = kOptionShowHidden;
        const char* data = std::getenv("XDG_DATA_HOME");
        savedDataHome_ = data != nullptr ? std::optional<std::string>(data) : std::nullopt;
        ::setenv("XDG_DATA_HOME", (drive.base() + "/xdg-data").c_str(), 1);
        CreateBrowserState(listing, 1, 3, "*.*", 10);
        SetActivePanelSource([this] { return &panel; });
    }

    void TearDown() override
    {
        platform::clearFaults();
        ReleaseStateItemIds(listing);
        FreeBrowserState(listing);
        if (savedDataHome_)
            ::setenv("XDG_DATA_HOME", savedDataHome_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        BasketFixture::TearDown();
    }

    std::string path(std::string_view relative, char letter = 'c') const
    {
        return drive.path(relative, letter);
    }
    std::string posix(std::string_view relative, char letter = 'c') const
    {
        return drive.posix(relative, letter);
    }

    // The panel shows the folder (relative to c:, or a drive path) in brief view.
    void openFolder(std::string_view folder)
    {
        ReleaseStateItemIds(listing);
        FreeBrowserState(listing);
        CreateBrowserState(listing, 1, 3, "*.*", 10);
        const std::string where = folder.size() > 1 && folder[1] == ':' ? std::string(folder) : path(folder);
        ASSERT_TRUE(SetStateToPath(where, listing)) << where;
        ASSERT_TRUE(ReadFolder(1, kReadMasksFilesOnly, listing));
        SortFolder(1, kSortDefault, listing);
        panel.viewMode = kViewBrief;
    }

    // Marks the named items of the listing (folder 1).
    void select(std::initializer_list<std::string_view> names)
    {
        StateAccess access(listing);
        for (std::string_view name : names) {
            bool found = false;
            const TBrowserFolder& folder = access.Folder(1);
            for (std::int32_t n = 0; n < folder.count; ++n) {
                TBrowserItem& item = access.items[folder.firstItem + static_cast<std::uint32_t>(n)];
                if (access.Name(item) == name) {
                    item.flags |= kMarkOwn;
                    found = true;
                }
            }
            EXPECT_TRUE(found) << name;
        }
        RecalcSelection(listing);
    }

    // Runs one operation over the marked items of the panel's list; false when it did not start.
    bool run(TFileOperationKind kind, std::string_view target = {})
    {
        if (!PrepareOperationSource(8))
            return false;
        FileOperationSession session(kind, "Wuxtool");
        const bool started = session.Prepare(target);
        if (started) {
            std::unique_ptr<TOperations> worker = session.CreateWorker(ui);
            current = worker.get();
            EXPECT_TRUE(OperationBusy.load());
            worker->Start();
            worker->WaitFor();
            EXPECT_FALSE(worker->failed()) << worker->failureMessage();
            stoppedByRun = worker->Terminated();
            current = nullptr;
            filesTotal = session.run.FilesTotal;
            filesDone = session.run.FilesDone;
            bytesTotal = session.run.BytesTotal;
            bytesDone = session.run.BytesDone;
            session.Finish();
        }
        EndStateHandOver();
        EXPECT_FALSE(OperationBusy.load());
        return started;
    }

    // Question n in the form of question().
    std::string asked(std::size_t n) const
    {
        if (n >= ui.questions.size())
            return "none";
        const ConfirmationQuestion& q = ui.questions[n];
        return question(q.kind, q.caption, q.Name1, q.Info1, q.DeleteWording);
    }

    // Every box shown, in the form of box().
    std::vector<std::string> boxes() const
    {
        std::vector<std::string> out;
        for (const auto& record : dialogs.records())
            out.push_back(box(record.request.caption, record.request.text, record.request.icon));
        return out;
    }

    // Every entry of the Basket as "folder\name", sorted.
    std::vector<std::string> basketNames() const
    {
        std::vector<std::string> names;
        StateAccess access(BasketState);
        for (std::int32_t f = 1; f <= BasketState.folderCount; ++f) {
            const TBrowserFolder& folder = access.Folder(f);
            for (std::int32_t n = 0; n < folder.count; ++n)
                names.push_back(
                    std::string(access.Path(folder)) + "\\" +
                    std::string(access.Name(access.items[folder.firstItem + static_cast<std::uint32_t>(n)])));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void answer(std::initializer_list<ConfirmationAnswer> answers)
    {
        ui.answers.insert(ui.answers.end(), answers.begin(), answers.end());
    }
    void answer(const std::vector<ConfirmationAnswer>& answers)
    {
        ui.answers.insert(ui.answers.end(), answers.begin(), answers.end());
    }

    wux::test::TempDrive drive{"c"};
    TstateOfBrowser listing;
    FakePanel panel{listing, LeftBasketState};
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService installed{dialogs};
    ScriptedOperationUi ui;
    TOperations* current = nullptr;
    bool stoppedByRun = false;
    std::int32_t filesTotal = 0;
    std::int32_t filesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::uint64_t bytesDone = 0;

private:
    std::optional<std::string> savedDataHome_;
};

} // namespace wux::filelist::test
