#include "cli/prompt/SharedPrompt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using namespace zorflash;

namespace {

// An operator who answers when the test says so, and notes how often and how many at once
// they were asked.
class Operator {
public:
    PromptEnd Ask(const std::string& text)
    {
        const int now = ++m_open;
        m_mostAtOnce = std::max(m_mostAtOnce.load(), now);
        m_questions.fetch_add(1);
        EXPECT_EQ(text.rfind("Insert Disk", 0), 0u) << text;
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return !m_answers.empty(); });
        const PromptEnd answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        --m_open;
        return answer;
    }
    void Answer(bool ok) { Answer(ok ? PromptEnd::RunGoesOn : PromptEnd::OperatorCancelled); }
    void Answer(PromptEnd end)
    {
        std::lock_guard lock(m_mutex);
        m_answers.push_back(end);
        m_cv.notify_all();
    }
    int Questions() const { return m_questions.load(); }
    int MostAtOnce() const { return m_mostAtOnce.load(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<PromptEnd> m_answers;
    std::atomic<int> m_open{0};
    std::atomic<int> m_mostAtOnce{0};
    std::atomic<int> m_questions{0};
};

// Waits (bounded) until `count` targets wait on the question about `volume`.
bool WaitForWaiters(const CSharedPrompt& prompt, const std::string& volume, int count)
{
    for (int i = 0; i < 1000 && prompt.Waiting(volume) < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return prompt.Waiting(volume) == count;
}

std::vector<std::future<PromptEnd>> PromptFrom(CSharedPrompt& prompt, int targets, const std::string& volume)
{
    std::vector<std::future<PromptEnd>> answers;
    for (int i = 0; i < targets; ++i)
        answers.push_back(std::async(std::launch::async, [&prompt, volume] { return prompt.Prompt(volume, "Insert Disk 2"); }));
    return answers;
}

TEST(SharedPromptTest, TargetsWaitingOnOneVolumeShareOneQuestionAndItsAnswer)
{
    // Nobody there (end of input) reaches every waiter as such, not as the operator's Cancel.
    for (const PromptEnd end : {PromptEnd::RunGoesOn, PromptEnd::OperatorCancelled, PromptEnd::EndOfInput}) {
        Operator person;
        CSharedPrompt prompt([&person](const std::string& text) { return person.Ask(text); });
        auto answers = PromptFrom(prompt, 5, "f2.R71");
        ASSERT_TRUE(WaitForWaiters(prompt, "f2.R71", 4));
        person.Answer(end);
        for (auto& answer : answers)
            EXPECT_EQ(answer.get(), end);
        EXPECT_EQ(person.Questions(), 1);
        if (end == PromptEnd::RunGoesOn) {
            // OK while the disk is still missing: the next target to miss it asks again.
            auto again = PromptFrom(prompt, 1, "f2.R71");
            person.Answer(true);
            EXPECT_EQ(again[0].get(), PromptEnd::RunGoesOn);
            EXPECT_EQ(person.Questions(), 2);
        } else {
            // The end holds for that volume: a target arriving later is not asked again.
            EXPECT_EQ(prompt.Prompt("f2.R71", "Insert Disk 2"), end);
            EXPECT_EQ(person.Questions(), 1);
        }
    }
}

TEST(SharedPromptTest, QuestionsAboutDifferentVolumesTakeTurns)
{
    Operator person;
    CSharedPrompt prompt([&person](const std::string& text) { return person.Ask(text); });
    auto second = PromptFrom(prompt, 2, "f2.R71");
    auto first = PromptFrom(prompt, 2, "f1.R71");
    ASSERT_TRUE(WaitForWaiters(prompt, "f2.R71", 1) || WaitForWaiters(prompt, "f1.R71", 1));
    person.Answer(true);
    person.Answer(false);
    int oks = 0;
    for (auto* group : {&second, &first}) {
        const PromptEnd a = (*group)[0].get();
        EXPECT_EQ((*group)[1].get(), a);
        oks += a == PromptEnd::RunGoesOn ? 1 : 0;
    }
    EXPECT_EQ(oks, 1);
    EXPECT_EQ(person.Questions(), 2);
    EXPECT_EQ(person.MostAtOnce(), 1);
}

TEST(SharedPromptTest, AbandonReleasesEveryWaiterAsInterrupted)
{
    Operator person;
    CSharedPrompt prompt([&person](const std::string& text) { return person.Ask(text); });
    auto answers = PromptFrom(prompt, 3, "f2.R71");
    ASSERT_TRUE(WaitForWaiters(prompt, "f2.R71", 2));
    prompt.Abandon();
    // The waiters are released at once; the operator's own question ends with its abort.
    int released = 0;
    for (auto& answer : answers) {
        if (answer.wait_for(std::chrono::seconds(2)) == std::future_status::ready) {
            EXPECT_EQ(answer.get(), PromptEnd::Interrupted);
            ++released;
        }
    }
    EXPECT_EQ(released, 2);
    person.Answer(true);
    EXPECT_EQ(prompt.Prompt("f1.R71", "Insert Disk 1"), PromptEnd::Interrupted);
}

} // namespace
