// Work spread over worker processes, and the message log's bound and load
// problems (the two services the runs without a window rely on to say how
// they went).
#include "platform/system/Dialogs.h"
#include "platform/system/Workers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <new>
#include <stdexcept>
#include <unistd.h>

TEST(Workers, AnswersComeInIndexOrderFromEveryWorkerAndFailuresEndTheRun)
{
    // Workers are copies made now: what they answer comes from their own
    // process, and state set before the run is theirs too.
    const pid_t parent = ::getpid();
    const std::string before = "set before the run";
    const auto work = [&](size_t i) {
        return std::to_string(i * i) + (::getpid() == parent ? " here" : " elsewhere") + " " + before;
    };
    const std::vector<std::string> alone = platform::RunInWorkers(50, 1, work);
    const std::vector<std::string> spread = platform::RunInWorkers(50, 4, work);
    ASSERT_EQ(alone.size(), 50u);
    ASSERT_EQ(spread.size(), 50u);
    for (size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(alone[i], std::to_string(i * i) + " here " + before);
        EXPECT_EQ(spread[i], std::to_string(i * i) + " elsewhere " + before);
    }
    EXPECT_TRUE(platform::RunInWorkers(0, 4, work).empty());
    EXPECT_GE(platform::CoreCount(), 1u);

    try {
        platform::RunInWorkers(20, 3, [](size_t i) -> std::string {
            if (i == 13)
                throw std::runtime_error("item 13 is bad");
            return "fine";
        });
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "item 13 is bad");
    }
    // A worker that dies is no answer.
    EXPECT_THROW(platform::RunInWorkers(6, 2, [](size_t i) -> std::string {
                     if (i == 4)
                         ::_exit(3);
                     return "fine";
                 }),
                 std::runtime_error);
}

// What goes wrong with one item costs that item alone: a worker killed, one
// stopped past the time limit, one whose work throws, one out of memory;
// every other item keeps its answer, and the lost ones say why.
TEST(Workers, KeepingLosesOnlyTheItemsWhoseWorkersDiedHungOrFailed)
{
    const auto work = [](size_t i) -> std::string {
        switch (i) {
        case 3:
            ::raise(SIGKILL);
            break;
        case 5:
            ::raise(SIGSTOP);
            break;
        case 8:
            throw std::runtime_error("item 8 is bad");
        case 11:
            throw std::bad_alloc();
        default:
            break;
        }
        return "answer " + std::to_string(i);
    };
    const std::vector<platform::WorkerAnswer> answers = platform::RunInWorkersKeeping(16, 2, work, 2);
    ASSERT_EQ(answers.size(), 16u);
    for (size_t i = 0; i < answers.size(); ++i) {
        SCOPED_TRACE(i);
        const bool lost = i == 3 || i == 5 || i == 8 || i == 11;
        EXPECT_EQ(answers[i].answer.has_value(), !lost);
        if (!lost)
            EXPECT_EQ(*answers[i].answer, "answer " + std::to_string(i));
    }
    EXPECT_NE(answers[3].lost.find("killed"), std::string::npos) << answers[3].lost;
    EXPECT_EQ(answers[5].lost, "it took longer than 2 s");
    EXPECT_EQ(answers[8].lost, "item 8 is bad");
    EXPECT_FALSE(answers[11].lost.empty());
}

TEST(Dialogs, TheLogKeepsItsFirstMessagesAndCountsLoadProblems)
{
    platform::SetNonInteractive(true);
    platform::ClearRecordedMessages();
    const size_t problemsBefore = platform::LoadProblemCount();
    // Questions and messages outside a watch are no load problems.
    platform::AskYesNo("Load?", "Confirm");
    platform::ShowMessage("not while loading", "Info");
    {
        const platform::LoadWatch outer;
        const platform::LoadWatch inner;
        for (size_t i = 0; i < platform::kMostRecordedMessages + 5; ++i)
            platform::ShowMessage("message " + std::to_string(i), "Many");
    }
    EXPECT_EQ(platform::LoadProblemCount() - problemsBefore, platform::kMostRecordedMessages + 5);
    const auto& log = platform::RecordedMessages();
    ASSERT_EQ(log.size(), platform::kMostRecordedMessages);
    EXPECT_EQ(log[0].text, "Load?");
    EXPECT_EQ(log.back().text, "message " + std::to_string(platform::kMostRecordedMessages - 3));
    EXPECT_EQ(platform::UnrecordedMessageCount(), 7u);

    // An exception leaving the outermost watch is one more problem, however
    // many watches it passes.
    try {
        const platform::LoadWatch outer;
        const platform::LoadWatch inner;
        throw std::runtime_error("part refused");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(platform::LoadProblemCount() - problemsBefore, platform::kMostRecordedMessages + 6);
    platform::ClearRecordedMessages();
    EXPECT_EQ(platform::UnrecordedMessageCount(), 0u);
}
