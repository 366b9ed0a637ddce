#include "model/Model.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class Animation : public ::testing::Test {
protected:
    // Loads the given text as the animation file.
    void load(const std::string& text)
    {
        dir.write("animation.cfg", text);
        LoadAnimation(player, dir.file("animation.cfg"));
    }

    testsupport::TempDir dir;
    Q3Player player;
};

std::string line(int first, int count, int looping, int rate, const std::string& comment = "// anim")
{
    return std::to_string(first) + "\t" + std::to_string(count) + "\t" + std::to_string(looping) + "\t" +
           std::to_string(rate) + "\t\t" + comment + "\n";
}

TEST_F(Animation, TakesDataLinesAndSkipsHeadersAndComments)
{
    load("// animation config file\n"
         "sex\tm\n"
         "headoffset\t0\t0\t0\n"
         "footsteps\tnormal\n"
         "\n"
         "1\t//x\n" +               // comment at position 3
         std::string("12\t//\n") +  // comment at position 4
         "  \t //\n" +              // comment at position 5
         line(5, 1, 0, 20) +
         line(9, 9, 9, 9, "// footsteps here") + line(9, 9, 9, 9, "// sex") +
         " 7\t0\t0\t15\t// leading blanks\n" + line(3, 5, 2, 30));
    EXPECT_EQ(player.Animations[0].FirstFrame, 5);
    EXPECT_EQ(player.Animations[0].NumFrames, 0); // count 1 plays one frame
    EXPECT_EQ(player.Animations[0].FPS, 20);
    EXPECT_EQ(player.Animations[1].FirstFrame, 7);
    EXPECT_EQ(player.Animations[1].NumFrames, 0); // count 0 stays 0
    EXPECT_EQ(player.Animations[2].NumFrames, 4);
    EXPECT_EQ(player.Animations[2].LoopingFrames, 2);
    EXPECT_EQ(player.Animations[3].FPS, 0);
}

TEST_F(Animation, ACommentFromPositionSixMakesADataLine)
{
    EXPECT_THROW(load("0\t0\t0//x\t0\n"), platform::EConvertError);
}

TEST_F(Animation, MovesLegsFramesDownByTheTorsoGap)
{
    std::string text;
    for (int i = 0; i < kAnimationCount + 4; ++i) {
        const int first = i == 6 ? 90 : i == 13 ? 153 : 100 + i;
        // Lines past the 26th have no place in the table and are not read.
        text += i < kAnimationCount ? line(first, -2, 0, 15) : "junk\tjunk\t// not read\n";
    }
    load(text);
    EXPECT_EQ(player.Animations[12].FirstFrame, 112);
    EXPECT_EQ(player.Animations[13].FirstFrame, 90);
    EXPECT_EQ(player.Animations[25].FirstFrame, 125 - 63);
    EXPECT_EQ(player.Animations[25].NumFrames, -2);
}

TEST_F(Animation, RefusesFieldsThatAreNotWholeNumbers)
{
    auto errorFor = [this](const std::string& text) {
        try {
            load(text);
        } catch (const platform::EConvertError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(errorFor("0\t1\tabc\t20\t// x\n"), "'abc' is not a valid integer value");
    EXPECT_EQ(errorFor("0\t1\t2\t20 // missing tab\n"), "'' is not a valid integer value");
    EXPECT_EQ(errorFor("0\t1.5\t2\t20\t// x\n"), "'1.5' is not a valid integer value");
}

TEST_F(Animation, MissingFileKeepsTheTable)
{
    player.Animations[13].FirstFrame = 40;
    LoadAnimation(player, dir.file("animation.cfg"));
    EXPECT_EQ(player.Animations[13].FirstFrame, 40);
}

TEST_F(Animation, SetAnimationStartsTheIndexRangesOnTheirParts)
{
    for (int i = 0; i < kAnimationCount; ++i)
        player.Animations[i] = {i * 10, 3, 0, i + 1};
    player.Lower.CurrentFrame = player.Upper.CurrentFrame = 99;

    SetAnimation(player, 4);
    for (const TMD3Model* part : {&player.Lower, &player.Upper}) {
        EXPECT_EQ(part->StartFrame, 40);
        EXPECT_EQ(part->NextFrame, 40);
        EXPECT_EQ(part->EndFrame, 43);
        EXPECT_EQ(part->FPS, 5);
        EXPECT_EQ(part->CurrentFrame, 99);
    }
    SetAnimation(player, 12);
    EXPECT_EQ(player.Upper.StartFrame, 120);
    EXPECT_EQ(player.Lower.StartFrame, 40);
    EXPECT_EQ(player.TorsoAnim, 12);
    EXPECT_EQ(player.LegsAnim, 4);
    SetAnimation(player, 13);
    EXPECT_EQ(player.Lower.StartFrame, 130);
    EXPECT_EQ(player.Upper.StartFrame, 120);
    SetAnimation(player, 24);
    EXPECT_EQ(player.LegsAnim, 24);
    EXPECT_EQ(player.Lower.FPS, 25);
    SetAnimation(player, 25);
    SetAnimation(player, 4000000000u);
    EXPECT_EQ(player.Lower.StartFrame, 240);
    EXPECT_EQ(player.LegsAnim, 24);
    EXPECT_EQ(player.TorsoAnim, 12);
    EXPECT_EQ(player.Head.FPS, 0);
}

TEST(UpdateFrame, SwitchesOnceAFramePeriodHasPassed)
{
    TMD3Model part;
    part.FPS = 20;
    part.StartFrame = part.NextFrame = 3;
    part.EndFrame = 4;
    // 0.05f itself lies just above 0.05 and already switches.
    for (float t : {0.016f, 0.031f, 0.047f, 0.0499f}) {
        UpdateFrame(part, t);
        EXPECT_EQ(part.Blend, t);
        EXPECT_EQ(part.CurrentFrame, 0);
    }
    UpdateFrame(part, 0.0501f);
    EXPECT_EQ(part.CurrentFrame, 3);
    EXPECT_EQ(part.NextFrame, 4);
    EXPECT_EQ(part.LastTime, 0.0501f);
    EXPECT_FLOAT_EQ(part.Blend, 0.0501f);
    // One switch per call however long the pause; the range loops.
    UpdateFrame(part, 10.0f);
    EXPECT_EQ(part.CurrentFrame, 4);
    EXPECT_EQ(part.NextFrame, 3);
    EXPECT_FLOAT_EQ(part.Blend, 10.0f - 0.0501f);
    UpdateFrame(part, 10.01f);
    EXPECT_EQ(part.CurrentFrame, 4);
    EXPECT_NEAR(part.Blend, 0.01f, 1e-6);

    TMD3Model still;
    still.NextFrame = 1;
    UpdateFrame(still, 1e6f);
    EXPECT_EQ(still.CurrentFrame, 0);
    EXPECT_EQ(still.NextFrame, 1);
    EXPECT_EQ(still.Blend, 1e6f);
}

} // namespace

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    return platform::SplitTextLines(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(GameAnimation, ReadsTokensKeywordsAndCommentsAnywhere)
{
    const GameAnimationFile file = ParseGameAnimation(linesOf("// animation config\r\n"
                                                              "sex f\r\n"
                                                              "headoffset 0 -1.5 0 // from the neck\r\n"
                                                              "FOOTSTEPS   boot\r\n"
                                                              "fixedlegs\r\n"
                                                              "fixedtorso\r\n"
                                                              "\r\n"
                                                              "0   30  0  25   // BOTH_DEATH1\r\n"
                                                              "\t29\t1 0\t25// BOTH_DEAD1\r\n"
                                                              "30 +30 -1 25\r\n"));
    EXPECT_TRUE(file.problems.empty());
    ASSERT_EQ(file.entries.size(), 3u);
    EXPECT_EQ(file.animationLines, 3);
    EXPECT_EQ(file.entries[0].NumFrames, 30);
    EXPECT_EQ(file.entries[1].FirstFrame, 29);
    EXPECT_EQ(file.entries[1].FPS, 25);
    EXPECT_EQ(file.entries[2].NumFrames, 30);
    EXPECT_EQ(file.entries[2].LoopingFrames, -1);
    ASSERT_EQ(file.keywords.size(), 5u);
    EXPECT_EQ(file.keywords[0].keyword, "sex");
    EXPECT_EQ(file.keywords[0].values, std::vector<std::string>{"f"});
    EXPECT_EQ(file.keywords[1].values, (std::vector<std::string>{"0", "-1.5", "0"}));
    EXPECT_EQ(file.keywords[2].keyword, "footsteps");
    EXPECT_EQ(file.keywords[2].line, 4);
    EXPECT_EQ(file.keywords[4].keyword, "fixedtorso");
}

TEST(GameAnimation, MalformedLinesAreNamedAndLeftOut)
{
    const GameAnimationFile file = ParseGameAnimation(linesOf("0 10 0 20\n"
                                                              "10 10 x 20\n"
                                                              "10 10 0\n"
                                                              "10 10 0 20 5\n"
                                                              "walk 1 2 3\n"
                                                              "99999999999 1 1 1\n"
                                                              "20 5 0 15\n"));
    ASSERT_EQ(file.entries.size(), 2u);
    EXPECT_EQ(file.entries[1].FirstFrame, 20);
    ASSERT_EQ(file.problems.size(), 5u);
    EXPECT_EQ(file.problems[0].line, 2);
    EXPECT_EQ(file.problems[0].text, "'x' is not a whole number");
    EXPECT_EQ(file.problems[1].line, 3);
    EXPECT_NE(file.problems[1].text.find("not 3"), std::string::npos);
    EXPECT_NE(file.problems[2].text.find("not 5"), std::string::npos);
    EXPECT_EQ(file.problems[3].text, "unknown keyword 'walk'");
    EXPECT_EQ(file.problems[4].line, 6);
    EXPECT_EQ(file.problems[4].text, "'99999999999' is not a whole number");
}

TEST_F(Animation, GameFilesFillTheTableAdjustLegsAndReportBadLines)
{
    platform::SetNonInteractive(true);
    platform::ClearRecordedMessages();
    std::string text = "sex m\r\nfootsteps normal\r\n";
    for (int i = 0; i < kAnimationCount + 2; ++i) {
        const int first = i == 6 ? 90 : i == 13 ? 153 : 100 + i;
        text += std::to_string(first) + "  4  2  15\r\n";
        if (i == 3)
            text += "1 2 three 4\r\n";
    }
    dir.write("animation.cfg", text);
    LoadAnimation(player, dir.file("animation.cfg"), Conventions::Game);
    EXPECT_EQ(player.Animations[13].FirstFrame, 90);
    EXPECT_EQ(player.Animations[25].FirstFrame, 125 - 63);
    EXPECT_EQ(player.Animations[0].NumFrames, 3);
    EXPECT_EQ(player.Keywords.size(), 2u);
    ASSERT_EQ(platform::RecordedMessages().size(), 1u);
    EXPECT_EQ(platform::RecordedMessages()[0].text,
              dir.file("animation.cfg") + ", line 7: 'three' is not a whole number");
}

// A part on animation frames 10 ... 14 at 10 frames per second.
TMD3Model gamePart(int looping)
{
    TMD3Model part;
    part.FPS = 10;
    part.StartFrame = part.NextFrame = 10;
    part.EndFrame = 14;
    part.LoopingFrames = looping;
    return part;
}

TEST(GamePlayback, BlendIsTheElapsedFractionOfTheFramePeriod)
{
    TMD3Model part = gamePart(5);
    UpdateFrame(part, 0.025f, Conventions::Game);
    EXPECT_NEAR(part.Blend, 0.25f, 1e-5);
    EXPECT_EQ(part.CurrentFrame, 0);
    UpdateFrame(part, 0.125f, Conventions::Game);
    EXPECT_EQ(part.CurrentFrame, 10);
    EXPECT_EQ(part.NextFrame, 11);
    EXPECT_NEAR(part.Blend, 0.25f, 1e-4); // the phase is kept across the switch
    // Slow drawing skips frames instead of slowing the animation down.
    UpdateFrame(part, 0.425f, Conventions::Game);
    EXPECT_EQ(part.CurrentFrame, 13);
    EXPECT_EQ(part.NextFrame, 14);
    EXPECT_NEAR(part.Blend, 0.25f, 1e-4);
}

TEST(GamePlayback, WithoutLoopingFramesTheLastFrameStays)
{
    TMD3Model part = gamePart(0);
    for (float t = 0.05f; t < 3.0f; t += 0.1f)
        UpdateFrame(part, t, Conventions::Game);
    EXPECT_EQ(part.CurrentFrame, 14);
    EXPECT_EQ(part.NextFrame, 14);
    UpdateFrame(part, 5000.0f, Conventions::Game);
    EXPECT_EQ(part.CurrentFrame, 14);
}

TEST(GamePlayback, LoopingFramesLoopOverTheLastFrames)
{
    TMD3Model part = gamePart(2);
    std::vector<int32_t> shown;
    for (int step = 1; step <= 9; ++step) {
        UpdateFrame(part, step * 0.1f + 0.01f, Conventions::Game);
        shown.push_back(part.CurrentFrame);
    }
    EXPECT_EQ(shown, (std::vector<int32_t>{10, 11, 12, 13, 14, 13, 14, 13, 14}));
    // A long jump of the clock lands where stepping would have landed.
    TMD3Model jumped = gamePart(2);
    UpdateFrame(jumped, 1000.01f, Conventions::Game);
    EXPECT_EQ(jumped.CurrentFrame, 13); // 10000 switches: an even count ends on 13
    EXPECT_EQ(jumped.NextFrame, 14);

    TMD3Model still = gamePart(2);
    still.FPS = 0;
    UpdateFrame(still, 50.0f, Conventions::Game);
    EXPECT_EQ(still.CurrentFrame, 0);
    EXPECT_EQ(still.Blend, 0.0f);
}

// A stopped clock steps one frame on as playback would and one back within
// the range; the stepped frame shows unblended on the clock that stays.
TEST(StepFrame, OnAsPlaybackBackWithinTheRange)
{
    struct Case {
        Conventions rules;
        int32_t looping, from, pending; // shown and next frame before the step
        int step;
        int32_t shown, next;
    };
    const Case cases[] = {
        {Conventions::Game, 0, 11, 12, 1, 12, 13},  {Conventions::Game, 0, 14, 14, 1, 14, 14}, // the end stays
        {Conventions::Game, 2, 14, 13, 1, 13, 14},  {Conventions::Game, 0, 12, 13, -1, 11, 12},
        {Conventions::Game, 2, 10, 11, -1, 10, 11}, {Conventions::Viewer, 0, 10, 11, -1, 14, 10}, // round to the end
        {Conventions::Game, 0, 3, 10, -1, 10, 11},  // a frame of the animation before: back to the start
    };
    for (const Case& c : cases) {
        TMD3Model part = gamePart(c.looping);
        part.CurrentFrame = c.from;
        part.NextFrame = c.pending;
        part.Blend = 0.5f;
        StepFrame(part, c.step, 7.0f, c.rules);
        UpdateFrame(part, 7.0f, c.rules);
        EXPECT_EQ(part.CurrentFrame, c.shown) << c.from << " by " << c.step;
        EXPECT_EQ(part.NextFrame, c.next) << c.from << " by " << c.step;
        EXPECT_EQ(part.Blend, 0.0f);
    }
}

} // namespace
