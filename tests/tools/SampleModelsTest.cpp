#include "Md3Parse.h"

#include "support/TempDir.h"
#include "tools/samples/SampleModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace {

using toolstest::ParsedMd3;
using toolstest::parseMd3;
using writers::Vec3;

const char* const kCharacters[] = {"ModelLara", "ModelSarge"};
const char* const kAnimationNames[] = {
    "BOTH_DEATH1",   "BOTH_DEAD1",   "BOTH_DEATH2",    "BOTH_DEAD2",   "BOTH_DEATH3",  "BOTH_DEAD3",
    "TORSO_GESTURE", "TORSO_ATTACK", "TORSO_ATTACK2",  "TORSO_DROP",   "TORSO_RAISE",  "TORSO_STAND",
    "TORSO_STAND2",  "LEGS_WALKCR",  "LEGS_WALK",      "LEGS_RUN",     "LEGS_BACK",    "LEGS_SWIM",
    "LEGS_JUMP",     "LEGS_LAND",    "LEGS_JUMPB",     "LEGS_LANDB",   "LEGS_IDLE",    "LEGS_IDLECR",
    "LEGS_TURN"};

// Generating takes a moment; the suite shares one tree.
class SampleModels : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = std::make_unique<testsupport::TempDir>();
        samples::writeSampleModels(dir_->path());
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string read(const std::string& name) { return dir_->read(name); }
    static ParsedMd3 md3(const std::string& name) { return parseMd3(read(name)); }

    static std::unique_ptr<testsupport::TempDir> dir_;
};

std::unique_ptr<testsupport::TempDir> SampleModels::dir_;

struct Animation {
    int first, count, looping, rate;
    std::string comment;
};

// Reads the table the way the viewer does: lines mentioning sex, headoffset
// or footsteps, and lines whose "//" starts within the first five
// characters, are skipped; the rest give four TAB-ended numbers. Then the
// legs entries are moved down by the distance from the torso entries.
std::vector<Animation> readAnimations(const std::string& text)
{
    std::vector<Animation> table;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto comment = line.find("//");
        if (line.find("sex") != std::string::npos || line.find("headoffset") != std::string::npos
            || line.find("footsteps") != std::string::npos || comment == std::string::npos || comment < 5)
            continue;
        Animation a{};
        int* fields[] = {&a.first, &a.count, &a.looping, &a.rate};
        for (int* field : fields) {
            const auto tab = line.find('\t');
            EXPECT_NE(tab, std::string::npos) << line;
            if (tab == std::string::npos)
                return table;
            *field = std::stoi(line.substr(0, tab));
            line = line.substr(tab + 1);
        }
        EXPECT_EQ(line.substr(0, 4), "\t// ") << "one more TAB, then the comment";
        a.comment = line.substr(line.find("//") + 3);
        table.push_back(a);
    }
    if (table.size() > 13) {
        const int d = table[13].first - table[6].first;
        for (std::size_t k = 13; k < table.size(); ++k)
            table[k].first -= d;
    }
    return table;
}

Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// A point given in a tag's frame, in the frame of the tag's part.
Vec3 throughTag(const toolstest::ParsedTag& t, Vec3 p)
{
    return add(t.origin, add(scale(t.axes[0], p.x), add(scale(t.axes[1], p.y), scale(t.axes[2], p.z))));
}

std::vector<std::string> bodyFiles(const std::string& c)
{
    std::vector<std::string> files;
    for (const char* name : {"lower.md3", "upper.md3", "head.md3", "lower_default.skin", "upper_default.skin",
                             "head_default.skin", "animation.cfg"})
        files.push_back(c + "/Body/" + name);
    return files;
}

TEST_F(SampleModels, WritesEveryFileTheViewerLoads)
{
    std::vector<std::string> expected = bodyFiles("ModelLara");
    const auto sarge = bodyFiles("ModelSarge");
    expected.insert(expected.end(), sarge.begin(), sarge.end());
    for (const char* name : {"railgun.md3", "railgun.bmp", "railgun2.bmp", "railgun3.bmp", "railgun4.bmp"})
        expected.push_back(std::string("ModelLara/Weapon/") + name);
    for (const char* name : {"railgun.md3", "railgun1.jpg", "railgun2.glow.jpg", "railgun4.jpg", "railgun3.glow.jpg"})
        expected.push_back(std::string("ModelSarge/Weapon/") + name);
    for (const auto& file : expected)
        EXPECT_FALSE(read(file).empty()) << file;

    auto names = [](const ParsedMd3& m) {
        std::vector<std::string> out;
        for (const auto& s : m.surfaces)
            out.push_back(s.name);
        return out;
    };
    EXPECT_EQ(names(md3("ModelLara/Weapon/railgun.md3")),
              (std::vector<std::string>{"w_railcase", "w_railgrip", "w_railrear", "w_raillcd"}));
    EXPECT_EQ(names(md3("ModelSarge/Weapon/railgun.md3")),
              (std::vector<std::string>{"w_railgun1", "w_railgun2", "w_railgun4", "w_railgun3", "w_railgun05"}));
}

TEST_F(SampleModels, SameBytesOnEveryRun)
{
    testsupport::TempDir again;
    samples::writeSampleModels(again.path());
    namespace fs = std::filesystem;
    std::map<std::string, std::string> first, second;
    for (const auto& [root, files] : {std::pair{dir_->path(), &first}, std::pair{again.path(), &second}})
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file()) {
                const std::string relative = fs::relative(entry.path(), root).string();
                (*files)[relative] = (root == dir_->path() ? *dir_ : again).read(relative);
            }
    EXPECT_EQ(first.size(), 34u);
    EXPECT_TRUE(first == second);
}

// Every surface of every part gets an image from the skin, the image is in
// the character's folder, and across both characters the skins use 24- and
// 32-bit Targa, JPEG and 24-bit bitmaps, small and some with padded rows.
TEST_F(SampleModels, SkinsTextureEverySurfaceWithEveryImageKind)
{
    std::set<std::string> kinds;
    bool paddedRows = false;
    for (const std::string c : kCharacters) {
        for (const std::string part : {"lower", "upper", "head"}) {
            std::map<std::string, std::string> skin;
            std::istringstream in(read(c + "/Body/" + part + "_default.skin"));
            for (std::string line; std::getline(in, line);) {
                const auto comma = line.find(',');
                ASSERT_NE(comma, std::string::npos) << line;
                if (line.rfind("tag_", 0) == 0)
                    continue;
                const std::string path = line.substr(comma + 1);
                ASSERT_NE(path.find('/'), std::string::npos) << line;
                skin[line.substr(0, comma)] = path.substr(path.rfind('/') + 1);
            }
            for (const auto& surface : md3(c + "/Body/" + part + ".md3").surfaces) {
                ASSERT_EQ(skin.count(surface.name), 1u) << c << " " << surface.name;
                const std::string image = read(c + "/Body/" + skin[surface.name]);
                ASSERT_GT(image.size(), 18u) << skin[surface.name];
                const std::string ext = skin[surface.name].substr(skin[surface.name].size() - 4);
                int width = 0, height = 0;
                if (ext == ".tga") {
                    kinds.insert("tga" + std::to_string(uint8_t(image[16])));
                    width = writers::readInt32(image, 12) & 0xFFFF;
                    height = writers::readInt32(image, 14) & 0xFFFF;
                } else if (ext == ".bmp") {
                    kinds.insert("bmp" + std::to_string(uint8_t(image[28])));
                    width = writers::readInt32(image, 18);
                    height = writers::readInt32(image, 22);
                } else {
                    kinds.insert(ext);
                    width = height = 1;
                }
                EXPECT_TRUE(width > 0 && width <= 256 && height > 0 && height <= 256) << skin[surface.name];
                paddedRows = paddedRows || (3 * width) % 4 != 0;
            }
        }
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"tga24", "tga32", "bmp24", ".jpg"}));
    EXPECT_TRUE(paddedRows);
}

TEST_F(SampleModels, AnimationTableLandsInsideEachPartsFrames)
{
    for (const std::string c : kCharacters) {
        const auto table = readAnimations(read(c + "/Body/animation.cfg"));
        ASSERT_EQ(table.size(), 25u) << c;
        const int lowerFrames = md3(c + "/Body/lower.md3").frames;
        const int upperFrames = md3(c + "/Body/upper.md3").frames;
        int bothFrames = 0;
        for (int k = 0; k < 6; ++k)
            bothFrames += table[k].count;
        EXPECT_EQ(table[13].first, bothFrames) << c;
        EXPECT_EQ(table[6].first, bothFrames) << c;
        for (int k = 0; k < 25; ++k) {
            const Animation& a = table[k];
            EXPECT_EQ(a.comment, kAnimationNames[k]);
            EXPECT_GE(a.count, 1);
            EXPECT_TRUE(a.rate >= 10 && a.rate <= 30) << a.comment;
            const int end = a.first + a.count; // one past the last frame
            if (k < 6 || k >= 13) {
                EXPECT_LE(end, lowerFrames) << c << " " << a.comment;
            }
            if (k < 13) {
                EXPECT_LE(end, upperFrames) << c << " " << a.comment;
            }
            if (k > 0 && k != 6 && k != 13) {
                EXPECT_EQ(a.first, table[k - 1].first + table[k - 1].count) << "no gaps: " << a.comment;
            }
            if (k < 6) {
                EXPECT_EQ(a.looping, 0) << "deaths play once: " << a.comment;
            }
        }
        EXPECT_EQ(table[24].first + table[24].count, lowerFrames);
        EXPECT_EQ(table[12].first + table[12].count, upperFrames);
    }
}

// Each animation must move the part it drives: some vertex travels more than
// a unit over the animation's frames.
TEST_F(SampleModels, EveryAnimationMoves)
{
    for (const std::string c : kCharacters) {
        const auto table = readAnimations(read(c + "/Body/animation.cfg"));
        ASSERT_EQ(table.size(), 25u);
        const ParsedMd3 lower = md3(c + "/Body/lower.md3"), upper = md3(c + "/Body/upper.md3");
        for (int k = 0; k < 25; ++k) {
            const ParsedMd3& part = k >= 6 && k < 13 ? upper : lower;
            float travel = 0.0f;
            for (const auto& s : part.surfaces)
                for (int f = table[k].first + 1; f < table[k].first + table[k].count; ++f)
                    for (int v = 0; v < s.vertices; ++v) {
                        const Vec3 d = sub(s.position(f, v), s.position(table[k].first, v));
                        travel = std::max(travel, std::sqrt(dot(d, d)));
                    }
            EXPECT_GT(travel, 1.0f) << c << " " << kAnimationNames[k];
        }
    }
}

TEST_F(SampleModels, TagsOnEveryFrameWithOrthonormalAxes)
{
    const std::map<std::string, std::vector<std::string>> tags{
        {"lower", {"tag_torso"}}, {"upper", {"tag_head", "tag_weapon"}}, {"head", {"tag_head"}}};
    for (const std::string c : kCharacters)
        for (const auto& [part, names] : tags) {
            const ParsedMd3 m = md3(c + "/Body/" + part + ".md3");
            ASSERT_EQ(m.tagsPerFrame, int(names.size())) << c << " " << part;
            for (int f = 0; f < m.frames; ++f)
                for (int t = 0; t < m.tagsPerFrame; ++t) {
                    const auto& tag = m.tag(f, t);
                    ASSERT_EQ(tag.name, names[t]);
                    for (int i = 0; i < 3; ++i) {
                        EXPECT_NEAR(dot(tag.axes[i], tag.axes[i]), 1.0f, 1e-4f);
                        EXPECT_NEAR(dot(tag.axes[i], tag.axes[(i + 1) % 3]), 0.0f, 1e-4f);
                    }
                    EXPECT_GT(dot(cross(tag.axes[0], tag.axes[1]), tag.axes[2]), 0.999f) << "right-handed";
                }
        }
}

// Standing idle with the weapon ready: soles on z = -24, hips tag near the
// origin, neck tag 18 to 22 above it, about 56 units to the top of the head,
// and the weapon in the right hand pointing forward.
TEST_F(SampleModels, FiguresStandAtFullHeightHoldingTheWeaponForward)
{
    for (const std::string c : kCharacters) {
        const auto table = readAnimations(read(c + "/Body/animation.cfg"));
        ASSERT_EQ(table.size(), 25u);
        const ParsedMd3 lower = md3(c + "/Body/lower.md3"), upper = md3(c + "/Body/upper.md3");
        const ParsedMd3 head = md3(c + "/Body/head.md3");
        const int legs = table[22].first, torso = table[11].first; // LEGS_IDLE, TORSO_STAND
        float lowest = 1e9f, top = -1e9f;
        for (const auto& s : lower.surfaces)
            for (int v = 0; v < s.vertices; ++v)
                lowest = std::min(lowest, s.position(legs, v).z);
        EXPECT_NEAR(lowest, -24.0f, 0.1f) << c;

        const auto& hips = lower.tag(legs, 0);
        const auto& neck = upper.tag(torso, 0);
        const auto& hand = upper.tag(torso, 1);
        EXPECT_TRUE(hips.origin.z >= 0.0f && hips.origin.z <= 2.0f) << c << " " << hips.origin.z;
        EXPECT_TRUE(neck.origin.z >= 18.0f && neck.origin.z <= 22.0f) << c << " " << neck.origin.z;
        for (const auto& s : head.surfaces)
            for (int v = 0; v < s.vertices; ++v)
                top = std::max(top, throughTag(hips, throughTag(neck, s.position(0, v))).z);
        EXPECT_NEAR(top - lowest, 56.0f, 3.0f) << c;
        EXPECT_LT(hand.origin.y, -2.0f) << "right hand";
        EXPECT_GT(hand.origin.x, 4.0f) << "in front of the body";
        EXPECT_GT(hand.axes[0].x, 0.95f) << "barrel forward";
        EXPECT_GT(hand.axes[2].z, 0.9f) << "top up";
    }
}

// Triangles wind counter-clockwise seen from outside, so the face normal of
// each agrees with its vertex normals, on every frame of every part.
// As in the game's files, corners run clockwise seen from outside: the
// cross product of a triangle's edges points against its vertex normals.
TEST_F(SampleModels, TrianglesWindClockwiseFromOutsideOnEveryFrame)
{
    std::vector<std::string> files;
    for (const std::string c : kCharacters) {
        for (const char* part : {"lower.md3", "upper.md3", "head.md3"})
            files.push_back(c + "/Body/" + part);
        files.push_back(c + "/Weapon/railgun.md3");
    }
    for (const auto& file : files) {
        const ParsedMd3 m = md3(file);
        int inward = 0, checked = 0;
        for (const auto& s : m.surfaces)
            for (int f = 0; f < s.frames; ++f)
                for (const auto& t : s.triangles) {
                    const Vec3 a = s.position(f, t[0]), b = s.position(f, t[1]), c = s.position(f, t[2]);
                    const Vec3 face = cross(sub(b, a), sub(c, a));
                    if (dot(face, face) < 1e-4f)
                        continue; // too small for its direction to survive the 1/64 grid
                    const Vec3 n = add(s.normal(f, t[0]), add(s.normal(f, t[1]), s.normal(f, t[2])));
                    ++checked;
                    inward += dot(face, n) >= 0.0f;
                }
        EXPECT_GT(checked, 0) << file;
        EXPECT_EQ(inward, 0) << file << " of " << checked;
    }
}

} // namespace
