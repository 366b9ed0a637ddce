#include "OpglLib/base/GOpglDefine.h"
#include "OpglLib/OpglVector.h"
#include "OpglLib/QuickMath.h"

#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(GOpglDefine, EqualityAndColourConversions)
{
    EXPECT_TRUE(IsEqual(1.0f, 1.0f));
    EXPECT_FALSE(IsEqual(1.0f, 1.0000001f));
    EXPECT_TRUE(IsEqual(0.0f, 1e-13f));
    EXPECT_FALSE(IsEqual(0.0f, NAN));

    TColorValue v = Color4fToValue(1.0f, 0.5f, 0.0f, 0.77f);
    EXPECT_EQ(v, 0x0080FFu); // 127.5 rounds to 128
    EXPECT_EQ(Color4fToValue(2.0f, -1.0f, 0.0f, 0.0f), 0x00'01'FEu); // wraps, no clamping
    TGLColor4f c = ValueToColor4f(0xAB'FF'80'00u);
    EXPECT_EQ(c.X, 0.0f);
    EXPECT_FLOAT_EQ(c.Y, 128.0f / 255.0f);
    EXPECT_EQ(c.Z, 1.0f);
    EXPECT_EQ(c.W, 0.5f);

    TGLPoint4f d = VectorFromTo(Point4fW(1, 2, 3, 7), Point4fW(4, 6, 8, 9));
    EXPECT_EQ(d.X, 3.0f);
    EXPECT_EQ(d.Z, 5.0f);
    EXPECT_EQ(d.W, 1.0f);
}

class VectorTest : public ::testing::Test {
protected:
    void SetUp() override { v = TGLVector::Create(); }
    void TearDown() override { v->Free(); }
    testsupport::Sandbox sandbox;
    TGLVector* v = nullptr;
};

TEST_F(VectorTest, Rotations)
{
    TGLPoint4f p = Point4f(1, 5, 0);
    v->RotateAroundVertical(p, Point4f(0, 0, 0), static_cast<float>(M_PI / 2));
    EXPECT_NEAR(p.X, 0.0f, 1e-6);
    EXPECT_EQ(p.Y, 5.0f);
    EXPECT_NEAR(p.Z, -1.0f, 1e-6);

    // An axis of any length along Y turns like the vertical rotation.
    for (float angle : {0.3f, 1.0f, -2.0f}) {
        TGLPoint4f a = Point4f(3, -1, 2), b = a;
        TGLPoint4f centre = Point4f(1, 4, -2);
        v->RotateAroundVertical(a, centre, angle);
        v->RotateAroundAxis(b, centre, angle, TGLPoint3f{0, 2, 0});
        EXPECT_NEAR(a.X, b.X, 1e-5);
        EXPECT_NEAR(a.Y, b.Y, 1e-5);
        EXPECT_NEAR(a.Z, b.Z, 1e-5);
    }
    // Right-hand rule about +Z: X turns into Y.
    TGLPoint4f q = Point4f(1, 0, 0);
    v->RotateAroundAxis(q, Point4f(0, 0, 0), static_cast<float>(M_PI / 2), TGLPoint3f{0, 0, 1});
    EXPECT_NEAR(q.X, 0.0f, 1e-6);
    EXPECT_NEAR(q.Y, 1.0f, 1e-6);
}

// A turn by 120 degrees about the diagonal (1, 1, 1) carries X to Y, Y to Z
// and Z to X. About a line through a centre off the origin, the offset from
// the centre turns so; points on the line stay, and -120 degrees undoes it.
TEST_F(VectorTest, RotationAboutAnObliqueAxisOffTheOrigin)
{
    const TGLPoint4f centre = Point4f(2, -1, 3);
    const TGLPoint3f diagonal{2, 2, 2}; // any length
    const float turn = static_cast<float>(2 * M_PI / 3);
    TGLPoint4f p = Point4f(2 + 1, -1 + 2, 3 + 3);
    v->RotateAroundAxis(p, centre, turn, diagonal);
    EXPECT_NEAR(p.X, 2 + 3, 1e-5);
    EXPECT_NEAR(p.Y, -1 + 1, 1e-5);
    EXPECT_NEAR(p.Z, 3 + 2, 1e-5);
    v->RotateAroundAxis(p, centre, -turn, diagonal);
    EXPECT_NEAR(p.X, 3, 1e-5);
    EXPECT_NEAR(p.Y, 1, 1e-5);
    EXPECT_NEAR(p.Z, 6, 1e-5);

    TGLPoint4f onAxis = Point4f(2 + 5, -1 + 5, 3 + 5);
    v->RotateAroundAxis(onAxis, centre, 1.0f, diagonal);
    EXPECT_NEAR(onAxis.X, 7, 1e-5);
    EXPECT_NEAR(onAxis.Y, 4, 1e-5);
    EXPECT_NEAR(onAxis.Z, 8, 1e-5);
}

// The cross product of the unit axes follows the right-hand rule in every
// term, and a general pair gives a vector square to both.
TEST_F(VectorTest, CrossProductAndNormalize)
{
    auto expectXyz = [](TGLPoint3f p, float x, float y, float z) {
        EXPECT_FLOAT_EQ(p.X, x);
        EXPECT_FLOAT_EQ(p.Y, y);
        EXPECT_FLOAT_EQ(p.Z, z);
    };
    expectXyz(v->CrossProduct(Point4f(0, 1, 0), Point4f(0, 0, 1)), 1, 0, 0);
    expectXyz(v->CrossProduct(Point4f(0, 0, 1), Point4f(1, 0, 0)), 0, 1, 0);
    const TGLPoint4f a = Point4f(1, 2, 3), b = Point4f(4, 5, 6);
    const TGLPoint3f c = v->CrossProduct(a, b);
    expectXyz(c, -3, 6, -3);
    EXPECT_EQ(c.X * a.X + c.Y * a.Y + c.Z * a.Z, 0.0f);
    EXPECT_EQ(c.X * b.X + c.Y * b.Y + c.Z * b.Z, 0.0f);

    expectXyz(v->Normalize(Point4fW(3, 4, 12, 7)), 3.0f / 13, 4.0f / 13, 12.0f / 13);
    expectXyz(v->Normalize(Point4f(0, -0.25f, 0)), 0, -1, 0);
    TGLPoint4f big = Point4f(3e30f, 0, -4e30f);
    v->NormalizeInPlace(big);
    EXPECT_FLOAT_EQ(big.X, 0.6f);
    EXPECT_FLOAT_EQ(big.Z, -0.8f);
}

TEST_F(VectorTest, LengthsCrossAndMoves)
{
    EXPECT_FLOAT_EQ(v->Distance(Point4f(1, 2, 3), Point4f(4, 6, 3)), 5.0f);
    TGLPoint3f c = v->CrossProduct(Point4f(1, 0, 0), Point4f(0, 1, 0));
    EXPECT_EQ(c.Z, 1.0f);
    TGLPoint4f p = Point4fW(0, 0, 0, 3);
    v->MoveAlong(p, Point4f(0, 10, 0), 2.5f);
    EXPECT_FLOAT_EQ(p.Y, 2.5f);
    EXPECT_EQ(p.W, 3.0f);
    TGLPoint4f r = Point4fW(0, 0, 0, 9);
    v->Negate(TGLPoint3f{1, -2, 3}, r);
    EXPECT_EQ(r.Y, 2.0f);
    EXPECT_EQ(r.W, 9.0f);
    EXPECT_FLOAT_EQ(v->DegToRad(180.0f), static_cast<float>(M_PI));
}

TEST_F(VectorTest, ZeroLengthInputsStayFinite)
{
    TGLPoint4f zero = Point4f(0, 0, 0);
    TGLPoint3f n = v->Normalize(zero);
    EXPECT_TRUE(std::isfinite(n.X) && std::isfinite(n.Y) && std::isfinite(n.Z));
    TGLPoint4f p = Point4f(1, 2, 3);
    v->MoveAlong(p, zero, 5.0f);
    v->RotateAroundAxis(p, zero, 1.0f, TGLPoint3f{0, 0, 0});
    v->NormalizeInPlace(zero);
    EXPECT_EQ(p.X, 1.0f);
    EXPECT_EQ(p.Z, 3.0f);
    EXPECT_TRUE(std::isfinite(zero.X));
}

TEST(QuickMath, TablesHoldEveryWholeDegree)
{
    QuickMathInitialization();
    EXPECT_DOUBLE_EQ(CosTable[0], 1.0);
    EXPECT_NEAR(SinTable[30], 0.5, 1e-15);
    EXPECT_TRUE(std::isfinite(TanTable[90]));
    EXPECT_GT(std::fabs(TanTable[90]), 1e15);
    EXPECT_NEAR(CosTable[359], std::cos(359 * M_PI / 180), 1e-15);
    QuickMathFinalization();
}
