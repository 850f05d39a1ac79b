#pragma once

// Views of the presenters with no toolkit: they keep what they were told to show, answer
// the operator's questions from fields the test sets, and play the window thread's
// message queue on the test's own thread (Pump), as a posted event or a blocking queued
// call would reach it.

#include "ui/FormPresenter.h"
#include "ui/FormView.h"
#include "ui/FrameView.h"
#include "ui/SettingsPresenter.h"
#include "ui/SettingsView.h"

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using namespace zorflash;

struct Message {
    std::string caption;
    std::string text;
};

class FakeSettingsView : public ISettingsView {
public:
    explicit FakeSettingsView(CFormPresenter& form) : presenter(*this, form) {}
    void ShowControls(const CommSettingsControls& c) override { controls = c; }
    CommSettingsControls ReadControls() const override { return controls; }
    void EnableAddress(bool enabled) override { controls.addressEnabled = enabled; }

    CommSettingsControls controls;
    CSettingsPresenter presenter;
};

class FakeFormView : public IFormView {
public:
    explicit FakeFormView(UpdateSettings& record, Language language = Language::English)
        : presenter(*this, record, language)
    {
    }
    ~FakeFormView() override
    {
        presenter.Shutdown([this] { Pump(std::chrono::milliseconds(20), [] { return false; }); });
    }

    void ShowModelList(const std::vector<std::string>& names) override { models = names; }
    void ShowModelSelection(int index) override { selection = index; }
    void ShowFileName(const std::string& name) override { fileName = name; }
    void ShowHeaderPreview(const std::string& text) override { preview = text; }
    void ShowLinkSummary(const std::string& text) override { summary = text; }
    void ShowStatusText(const StatusBoxText& shown) override { status = shown, ++statusRedraws; }
    void EnableStart(bool enabled) override { startEnabled = enabled; }
    void LockForUpdate(bool updating) override { locked = updating; }
    void ShowProgress(const ProgressState& state) override { progress = state; }

    std::string ChooseUpdateFile(const std::string& filter) override { return lastFilter = filter, chosenFile; }
    void RunSettingsDialog() override
    {
        FakeSettingsView dialog(presenter);
        dialog.presenter.OnInitDialog();
        if (editSettings)
            editSettings(dialog);
    }
    bool ShowMessage(MessageIcon, const std::string& caption, const std::string& text, MessageButtons) override
    {
        messages.push_back({caption, text});
        return answerOk;
    }

    void StartTimer(FormTimer timer, int milliseconds) override { timers[timer] = milliseconds; }
    void StopTimer(FormTimer timer) override { timers.erase(timer); }

    void PostStatusLogChanged() override
    {
        Post([this] { presenter.OnStatusLogPosted(); });
        ++logPosts;
    }
    void PostUpdateFinished() override { Post([this] { presenter.OnUpdateFinished(); }); }
    void RunOnWindowThread(const std::function<void()>& task) override
    {
        std::mutex doneMutex;
        std::condition_variable doneSignal;
        bool done = false;
        Post([&] {
            task();
            std::lock_guard<std::mutex> lock(doneMutex);
            done = true;
            doneSignal.notify_one();
        });
        std::unique_lock<std::mutex> lock(doneMutex);
        doneSignal.wait(lock, [&] { return done; });
    }

    // Runs what the worker posted, on this (the window) thread, until until() holds or the
    // time is up; answers until()'s last word.
    bool Pump(std::chrono::milliseconds limit, const std::function<bool()>& until)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!until()) {
            if (std::chrono::steady_clock::now() >= end)
                return false;
            std::function<void()> task;
            {
                // A short wait, so that a condition nothing posts about is seen soon.
                std::unique_lock<std::mutex> lock(m_queueMutex);
                if (!m_queueSignal.wait_for(lock, std::chrono::milliseconds(5), [this] { return !m_queue.empty(); }))
                    continue;
                task = std::move(m_queue.front());
                m_queue.pop_front();
            }
            task();
        }
        return true;
    }
    bool WaitUntilIdle() { return Pump(std::chrono::seconds(30), [this] { return !presenter.IsUpdating(); }); }

    // Answers for the operator.
    std::string chosenFile;
    bool answerOk = true;
    std::function<void(FakeSettingsView&)> editSettings;

    // What was shown.
    std::vector<std::string> models;
    int selection = -1;
    std::string fileName, preview, summary, lastFilter;
    StatusBoxText status;
    int statusRedraws = 0;
    std::atomic<int> logPosts{0};
    bool startEnabled = false;
    bool locked = false;
    ProgressState progress;
    std::vector<Message> messages;
    std::map<FormTimer, int> timers;

private:
    void Post(std::function<void()> task)
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_queue.push_back(std::move(task));
        m_queueSignal.notify_one();
    }

    std::mutex m_queueMutex;
    std::condition_variable m_queueSignal;
    std::deque<std::function<void()>> m_queue;

public:
    // Last: made once the fields above exist, and shut down by the destructor first.
    CFormPresenter presenter;
};

class FakeFrameView : public IFrameView {
public:
    void SetTitle(const std::string& text) override { title = text; }
    void EnableSettingsCommands(bool enabled) override { commandsEnabled = enabled; }
    std::string ChooseSaveFile() override { return {}; }
    void ShowMessage(MessageIcon, const std::string&, const std::string& text) override { messages.push_back(text); }

    std::string title;
    bool commandsEnabled = true;
    std::vector<std::string> messages;
};

}  // namespace testsupport
