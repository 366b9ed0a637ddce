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

// A stopped clock steps back from the first frame of the range round to its
// end, and the stepped frame shows unblended.
TEST(StepFrame, BackFromTheStartRoundsToTheEnd)
{
    TMD3Model part;
    part.FPS = 10;
    part.StartFrame = 10;
    part.EndFrame = 14;
    part.CurrentFrame = 10;
    part.NextFrame = 11;
    part.Blend = 0.5f;
    StepFrame(part, -1, 7.0f);
    UpdateFrame(part, 7.0f);
    EXPECT_EQ(part.CurrentFrame, 14);
    EXPECT_EQ(part.NextFrame, 10);
    EXPECT_EQ(part.Blend, 0.0f);
}

} // namespace
