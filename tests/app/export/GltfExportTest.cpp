// The export as a user runs it: every sample character written as .glb (and
// one as .gltf), checked by the Khronos validator and read back with the glTF
// library against the MD3 files and animation.cfg read on their own.
#include "../tools/ToolRun.h"

#include "app/export/GltfCheck.h"
#include "app/export/GltfExport.h"
#include "game/GameAnimation.h"
#include "model/Model.h"
#include "platform/system/System.h"
#include "tools/writers/Md3Writer.h"

#include <tiny_gltf.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using tooltest::ToolFolder;
using Matrix = std::array<double, 16>; // column-major

constexpr const char* kCharacters[] = {samples::kBruno, samples::kMira, samples::kOskar, samples::kVesta};
constexpr char kLoose[] = "Loose";

// The sample game loose beside the archives, so that its MD3 files can be
// read straight from the disk; every character exported from it with every
// skin.
class Export : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<ToolFolder>();
        samples::writeSampleGame(folder->dir.file(kLoose), samples::GameLayout::Loose);
        for (const char* name : kCharacters) {
            std::string out;
            ASSERT_EQ(folder->run(std::string("--game-root ") + kLoose + " --character " + name +
                                      " --all-skins --export " + name + ".glb",
                                  out),
                      0)
                << out;
        }
        std::string out;
        ASSERT_EQ(folder->run(std::string("--game-root ") + kLoose + " --character mira --export mira.gltf", out), 0)
            << out;
        BuildNormalTable();
    }
    static void TearDownTestSuite() { folder.reset(); }

    static tinygltf::Model read(const std::string& file)
    {
        tinygltf::TinyGLTF loader;
        tinygltf::Model model;
        std::string error, warning;
        const bool binary = file.ends_with(".glb");
        const bool read = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, folder->dir.file(file))
                                 : loader.LoadASCIIFromFile(&model, &error, &warning, folder->dir.file(file));
        EXPECT_TRUE(read) << file << ": " << error << warning;
        return model;
    }
    static TMD3Model part(const std::string& character, const std::string& file)
    {
        TMD3Model model;
        LoadMD3(model, folder->dir.file(std::string(kLoose) + "/models/players/" + character + "/" + file));
        return model;
    }

    static std::unique_ptr<ToolFolder> folder;
};

std::unique_ptr<ToolFolder> Export::folder;

// Where an accessor's element i lies: in its sparse values when they list
// i, else in its view; null for an accessor without data (zeros).
const uint8_t* elementAt(const tinygltf::Model& model, const tinygltf::Accessor& accessor, size_t i)
{
    const auto bytesOf = [&](int view, size_t offset) {
        const tinygltf::BufferView& v = model.bufferViews[static_cast<size_t>(view)];
        return model.buffers[static_cast<size_t>(v.buffer)].data.data() + v.byteOffset + offset;
    };
    const size_t size =
        static_cast<size_t>(tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(accessor.componentType)) *
                            tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type)));
    if (accessor.sparse.isSparse) {
        const auto& sparse = accessor.sparse;
        const uint8_t* indices = bytesOf(sparse.indices.bufferView, static_cast<size_t>(sparse.indices.byteOffset));
        const int width = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(sparse.indices.componentType));
        for (size_t k = 0; k < static_cast<size_t>(sparse.count); ++k) {
            const uint8_t* at = indices + k * static_cast<size_t>(width);
            const size_t listed = width == 1   ? *at
                                  : width == 2 ? *reinterpret_cast<const uint16_t*>(at)
                                               : *reinterpret_cast<const uint32_t*>(at);
            if (listed == i)
                return bytesOf(sparse.values.bufferView, static_cast<size_t>(sparse.values.byteOffset) + k * size);
        }
    }
    if (accessor.bufferView < 0)
        return nullptr;
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(accessor.bufferView)];
    return bytesOf(accessor.bufferView, accessor.byteOffset + i * static_cast<size_t>(accessor.ByteStride(view)));
}

// An accessor's element i, component c, as the file means it (normalised
// integers scaled, zeros where it holds no data).
double element(const tinygltf::Model& model, int index, size_t i, size_t c)
{
    const tinygltf::Accessor& accessor = model.accessors[static_cast<size_t>(index)];
    const uint8_t* element = elementAt(model, accessor, i);
    if (!element)
        return 0;
    const int size = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(accessor.componentType));
    const uint8_t* at = element + c * static_cast<size_t>(size);
    // Normalised integers are scaled by their largest value (and -1 at least).
    const auto scaled = [&](double v, double most) { return accessor.normalized ? std::max(v / most, -1.0) : v; };
    switch (accessor.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return *reinterpret_cast<const float*>(at);
    case TINYGLTF_COMPONENT_TYPE_SHORT: return scaled(*reinterpret_cast<const int16_t*>(at), 32767.0);
    case TINYGLTF_COMPONENT_TYPE_BYTE: return scaled(*reinterpret_cast<const int8_t*>(at), 127.0);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return scaled(*at, 255.0);
    default: ADD_FAILURE() << "component type " << accessor.componentType; return 0;
    }
}

int nodeNamed(const tinygltf::Model& model, const std::string& name)
{
    for (size_t i = 0; i < model.nodes.size(); ++i)
        if (model.nodes[i].name == name)
            return static_cast<int>(i);
    ADD_FAILURE() << "no node " << name;
    return 0;
}

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix m{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                m[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
    return m;
}

Matrix trs(const std::vector<double>& t, const std::vector<double>& q, const std::vector<double>& s)
{
    const double x = q.empty() ? 0 : q[0], y = q.empty() ? 0 : q[1], z = q.empty() ? 0 : q[2],
                 w = q.empty() ? 1 : q[3];
    const double sx = s.empty() ? 1 : s[0], sy = s.empty() ? 1 : s[1], sz = s.empty() ? 1 : s[2];
    Matrix m{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
             2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
             2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
             t.empty() ? 0 : t[0], t.empty() ? 0 : t[1], t.empty() ? 0 : t[2], 1};
    for (int r = 0; r < 3; ++r)
        m[0 + r] *= sx, m[4 + r] *= sy, m[8 + r] *= sz;
    return m;
}

// The tag chain of the MD3 files in the game's axes, as the game draws it.
Matrix tagMatrix(const TMD3Model& part, const std::string& name, size_t frame)
{
    const size_t tags = static_cast<size_t>(part.Header.NumTags);
    for (size_t i = 0; i < tags; ++i) {
        const TMD3Tag& tag = part.Tags[frame * tags + i];
        if (MD3Name(tag.Name) == name) {
            GLfloat m[16];
            TagMatrix(tag, m);
            Matrix out;
            std::copy(m, m + 16, out.begin());
            return out;
        }
    }
    ADD_FAILURE() << "no " << name;
    return {};
}

// Every sample character, with every skin, and the .gltf form: no error and
// no warning of the Khronos validator.
TEST_F(Export, EverySampleCharacterPassesTheKhronosValidator)
{
    const std::string dir = GLTF_CHECK_DIR;
    std::string install, out;
    testsupport::runCommand("'" GLTF_VALIDATOR_INSTALL "' 2>&1", install);
    if (!fs::exists(dir + "/node_modules/gltf-validator/package.json"))
        GTEST_SKIP() << "the glTF validator (npm gltf-validator) could not be installed, so the exports were not "
                        "validated: "
                     << install;
    std::string files;
    for (const char* name : kCharacters)
        files += " '" + folder->dir.file(std::string(name) + ".glb") + "'";
    files += " '" + folder->dir.file("mira.gltf") + "'";
    EXPECT_EQ(testsupport::runCommand("node '" + dir + "/validate.js' '" + dir + "/node_modules'" + files + " 2>&1", out),
              0)
        << out;
}

// Each part's morph targets are its frames: as many, and in every frame the
// vertices (base plus target) where the MD3 has them, in 1/64 steps, whether
// the target lists them, leaves them out as still or is shared with a
// repeated frame.
TEST_F(Export, MorphTargetsAreTheFramesOfEachPart)
{
    for (const char* character : {samples::kBruno, samples::kVesta}) {
        const tinygltf::Model model = read(std::string(character) + ".glb");
        for (const auto& [name, file] : {std::pair{"legs", "lower.md3"}, {"torso", "upper.md3"}, {"head", "head.md3"}}) {
            SCOPED_TRACE(std::string(character) + " " + name);
            const TMD3Model md3 = part(character, file);
            const tinygltf::Node& node = model.nodes[static_cast<size_t>(nodeNamed(model, std::string(name) + " mesh"))];
            const tinygltf::Mesh& mesh = model.meshes[static_cast<size_t>(node.mesh)];
            ASSERT_EQ(mesh.primitives.size(), md3.Meshes.size());
            EXPECT_EQ(mesh.weights.size(), md3.Frames.size());
            for (size_t s = 0; s < md3.Meshes.size(); ++s) {
                const tinygltf::Primitive& primitive = mesh.primitives[s];
                ASSERT_EQ(primitive.targets.size(), md3.Frames.size());
                const TMesh& surface = md3.Meshes[s];
                const size_t count = static_cast<size_t>(surface.Header.NumVerts);
                const int base = primitive.attributes.at("POSITION"), baseNormal = primitive.attributes.at("NORMAL");
                for (size_t at = 0; at < md3.Frames.size() * count; at += 7) {
                    const size_t frame = at / count, v = at % count;
                    const int moved = primitive.targets[frame].at("POSITION");
                    const int movedNormal = primitive.targets[frame].at("NORMAL");
                    const TMD3Vertex& expected = surface.Vertices[frame * count + v];
                    // glTF's X, Y, Z are the game's Y, Z, X.
                    const size_t game[3] = {1, 2, 0};
                    for (size_t c = 0; c < 3; ++c) {
                        const double steps = element(model, base, v, c) + element(model, moved, v, c);
                        EXPECT_NEAR(steps * node.scale[c], expected.Position[game[c]] * kMD3XyzScale, 1e-6);
                        const double n = element(model, baseNormal, v, c) + element(model, movedNormal, v, c);
                        EXPECT_NEAR(n, NormalTable[expected.Normal[0]][expected.Normal[1]][game[c]], 0.01);
                    }
                }
            }
        }
    }
}

// The head's world transform while BOTH_DEATH1 plays, at a key, is the
// game's tag chain (legs' tag_torso, torso's tag_head) of the MD3 files,
// turned into glTF's axes and scaled to metres.
// The animation file of a sample character, read as the game reads it.
GameAnimationFile gameTable(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return ReadGameAnimation(std::string(std::istreambuf_iterator<char>(file), {}));
}

TEST_F(Export, TheHeadHangsWhereTheTagChainOfTheFilesPutsIt)
{
    const tinygltf::Model model = read("bruno.glb");
    const TMD3Model legs = part(samples::kBruno, "lower.md3"), torso = part(samples::kBruno, "upper.md3");
    const GameAnimationFile table =
        gameTable(folder->dir.file(std::string(kLoose) + "/models/players/bruno/animation.cfg"));
    const tinygltf::Animation* death = nullptr;
    for (const tinygltf::Animation& a : model.animations)
        if (a.name == "BOTH_DEATH1")
            death = &a;
    ASSERT_TRUE(death);
    const size_t key = 2;
    const size_t frame = static_cast<size_t>(table.entries[0].FirstFrame) + key;
    // The nodes' own transforms with the tags' tracks at the key.
    std::map<int, std::pair<std::vector<double>, std::vector<double>>> posed;
    for (const tinygltf::AnimationChannel& channel : death->channels) {
        if (channel.target_path != "translation" && channel.target_path != "rotation")
            continue;
        const int output = death->samplers[static_cast<size_t>(channel.sampler)].output;
        std::vector<double> values;
        for (size_t c = 0; c < (channel.target_path == "rotation" ? 4u : 3u); ++c)
            values.push_back(element(model, output, key, c));
        (channel.target_path == "rotation" ? posed[channel.target_node].second : posed[channel.target_node].first) =
            values;
    }
    std::vector<int> parent(model.nodes.size(), -1);
    for (size_t i = 0; i < model.nodes.size(); ++i)
        for (int child : model.nodes[i].children)
            parent[static_cast<size_t>(child)] = static_cast<int>(i);
    Matrix world = trs({}, {}, {});
    for (int n = nodeNamed(model, "head"); n >= 0; n = parent[static_cast<size_t>(n)]) {
        const tinygltf::Node& node = model.nodes[static_cast<size_t>(n)];
        const auto found = posed.find(n);
        world = multiply(found == posed.end() ? trs(node.translation, node.rotation, node.scale)
                                              : trs(found->second.first, found->second.second, node.scale),
                         world);
    }
    const Matrix game = multiply(tagMatrix(legs, "tag_torso", frame), tagMatrix(torso, "tag_head", frame));
    // glTF from the game's axes: x = y, y = z, z = x, in metres.
    const Matrix axes{0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    Matrix back = axes;
    std::swap(back[1], back[4]), std::swap(back[2], back[8]), std::swap(back[6], back[9]);
    const Matrix expected =
        multiply(trs({}, {}, {0.0254f, 0.0254f, 0.0254f}), multiply(axes, multiply(game, back))); // an inch, as the README says
    for (size_t i = 0; i < 16; ++i)
        EXPECT_NEAR(world[i], expected[i], 1e-5) << "element " << i;
}

// An animation per entry of animation.cfg, named as the game names it,
// lasting its frames over its rate, looping as the file says, on the parts
// the entry plays on.
TEST_F(Export, AnimationsAreTheTableWithItsNamesDurationsAndLooping)
{
    const tinygltf::Model model = read("oskar.glb");
    const GameAnimationFile table = gameTable(folder->dir.file(std::string(kLoose) + "/models/players/oskar/animation.cfg"));
    ASSERT_FALSE(table.refusal);
    const auto drivesLegs = [](uint32_t k) { return GameAnimationDrivesLegs(k); };
    const auto drivesTorso = [](uint32_t k) { return GameAnimationDrivesTorso(k); };
    std::set<std::string> expectedNames, names;
    for (uint32_t k = 0; k < table.entries.size(); ++k)
        if (table.entries[k].FrameCount > 0 && (drivesLegs(k) || drivesTorso(k)))
            expectedNames.insert(AnimationName(k));
    for (const tinygltf::Animation& animation : model.animations) {
        names.insert(animation.name);
        SCOPED_TRACE(animation.name);
        const uint32_t k = *AnimationNamed(animation.name);
        ASSERT_LT(k, table.entries.size());
        const GameAnimationEntry& entry = table.entries[k];
        const tinygltf::Accessor& input =
            model.accessors[static_cast<size_t>(animation.samplers.front().input)];
        // Every frame and the key back into the loop, each the game's whole
        // milliseconds long.
        EXPECT_NEAR(input.maxValues.at(0), entry.FrameCount * entry.FrameLerpMs / 1000.0, 1e-5);
        EXPECT_EQ(animation.extras.Get("loops").Get<bool>(), entry.LoopingFrames > 0);
        EXPECT_EQ(animation.extras.Get("fps").GetNumberAsInt(), entry.FPS);
        std::set<std::string> parts;
        for (const tinygltf::AnimationChannel& channel : animation.channels) {
            const std::string& node = model.nodes[static_cast<size_t>(channel.target_node)].name;
            if (channel.target_path == "weights")
                parts.insert(node.substr(0, node.find(' ')));
        }
        std::set<std::string> drives;
        if (drivesLegs(k))
            drives.insert("legs");
        if (drivesTorso(k))
            drives.insert("torso");
        EXPECT_EQ(parts, drives);
    }
    EXPECT_EQ(names, expectedNames);
}

// Every skin is a variant, the first the one asked for; the surfaces differ
// between bruno's skins; vesta's alpha tests, blends and "cull none" become
// MASK, BLEND and double-sided materials; images are PNG the library reads.
TEST_F(Export, SkinsAreVariantsAndShadersTheirMaterials)
{
    const tinygltf::Model bruno = read("bruno.glb");
    const tinygltf::Value& variants = bruno.extensions.at("KHR_materials_variants").Get("variants");
    ASSERT_EQ(variants.ArrayLen(), 2u);
    EXPECT_EQ(variants.Get(0).Get("name").Get<std::string>(), samples::kDefaultSkin);
    EXPECT_EQ(variants.Get(1).Get("name").Get<std::string>(), samples::kBrunoSecondSkin);
    size_t differing = 0;
    for (const tinygltf::Mesh& mesh : bruno.meshes)
        for (const tinygltf::Primitive& primitive : mesh.primitives) {
            const tinygltf::Value& mappings = primitive.extensions.at("KHR_materials_variants").Get("mappings");
            differing += mappings.ArrayLen() > 1;
            EXPECT_EQ(mappings.Get(0).Get("material").GetNumberAsInt(), primitive.material);
        }
    EXPECT_GT(differing, 0u);
    for (const tinygltf::Image& image : bruno.images) {
        EXPECT_EQ(image.mimeType, "image/png");
        EXPECT_GT(image.width, 0) << image.name;
    }

    const tinygltf::Model vesta = read("vesta.glb");
    std::set<std::string> modes;
    bool doubleSided = false;
    for (const tinygltf::Material& material : vesta.materials) {
        modes.insert(material.alphaMode);
        doubleSided = doubleSided || material.doubleSided;
        if (material.alphaMode == "MASK") {
            EXPECT_GT(material.alphaCutoff, 0.0);
            EXPECT_LT(material.alphaCutoff, 1.0);
        }
    }
    EXPECT_EQ(modes, (std::set<std::string>{"OPAQUE", "MASK", "BLEND"}));
    EXPECT_TRUE(doubleSided);

    // The .gltf form holds the same as the .glb.
    const tinygltf::Model text = read("mira.gltf"), binary = read("mira.glb");
    EXPECT_EQ(text.accessors.size(), binary.accessors.size());
    EXPECT_EQ(text.animations.size(), binary.animations.size());
}

} // namespace

namespace {

// Hostile files of one character: an animation entry of a billion frames over
// a part of a few dozen, a tag whose origin is no number and one whose name
// is no UTF-8. The export is the size of the character, a file the library
// reads back with numbers only and the names mended, and says what it mended.
TEST_F(Export, ExaggeratedCountsNonNumbersAndForeignBytesGiveAValidFileOfTheCharactersSize)
{
    const std::string oskar = folder->dir.file("Hostile/models/players/oskar/");
    fs::copy(folder->dir.file(kLoose), folder->dir.file("Hostile"), fs::copy_options::recursive);
    std::ifstream in(oskar + "animation.cfg");
    std::stringstream table;
    bool replaced = false;
    for (std::string line; std::getline(in, line);) {
        if (!replaced && !line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            line = "5 999999999 999999999 25";
            replaced = true;
        }
        table << line << "\n";
    }
    std::ofstream(oskar + "animation.cfg") << table.str();
    std::ifstream md3In(oskar + "upper.md3", std::ios::binary);
    std::string upper((std::istreambuf_iterator<char>(md3In)), std::istreambuf_iterator<char>());
    const size_t firstTag = writers::md3::kHeaderSize + writers::md3::kFrameSize *
                                                             static_cast<size_t>(writers::readInt32(upper, writers::md3::kFrameCount));
    const uint32_t nan = 0x7FC00000;
    std::memcpy(&upper[firstTag + writers::md3::kTagOrigin], &nan, 4);
    // The second tag's name, "tag_\xFF...", in every frame.
    const size_t frames = static_cast<size_t>(writers::readInt32(upper, writers::md3::kFrameCount));
    const size_t tags = static_cast<size_t>(writers::readInt32(upper, writers::md3::kTagCount));
    for (size_t frame = 0; frame < frames; ++frame)
        upper[firstTag + (frame * tags + 1) * writers::md3::kTagSize + 4] = '\xFF';
    std::ofstream(oskar + "upper.md3", std::ios::binary) << upper;

    std::string out;
    EXPECT_EQ(folder->run("--game-root Hostile --character oskar --weapon none --export hostile.glb", out), 1) << out;
    EXPECT_NE(out.find("upper.md3: tag '"), std::string::npos) << out;
    EXPECT_LT(fs::file_size(folder->dir.file("hostile.glb")), 4 * fs::file_size(folder->dir.file("oskar.glb")));
    const tinygltf::Model model = read("hostile.glb");
    bool foreign = false;
    for (const tinygltf::Node& node : model.nodes) {
        for (const double t : node.translation)
            EXPECT_TRUE(std::isfinite(t)) << node.name;
        foreign = foreign || node.name.find("\xEF\xBF\xBD") != std::string::npos;
    }
    EXPECT_TRUE(foreign);
    const tinygltf::Animation& death = model.animations.front();
    EXPECT_EQ(death.name, "BOTH_DEATH1");
    const tinygltf::Accessor& times = model.accessors[static_cast<size_t>(death.samplers.front().input)];
    // Every frame the parts have, and the end of the billion frames.
    EXPECT_LT(times.count, 200u);
    EXPECT_NEAR(times.maxValues.at(0), 999999999 * 0.04, 10.0);

    // A whole file by the fuzz target's check, which finds a number that is
    // none planted in the first float accessor's data.
    std::ifstream glbIn(folder->dir.file("hostile.glb"), std::ios::binary);
    std::string glb((std::istreambuf_iterator<char>(glbIn)), std::istreambuf_iterator<char>());
    EXPECT_EQ(GlbProblem(glb), "");
    uint32_t jsonLength = 0;
    std::memcpy(&jsonLength, glb.data() + 12, 4);
    for (const tinygltf::Accessor& accessor : model.accessors) {
        if (accessor.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || accessor.bufferView < 0)
            continue;
        const size_t at = 28 + jsonLength + model.bufferViews[static_cast<size_t>(accessor.bufferView)].byteOffset +
                          accessor.byteOffset;
        std::memcpy(&glb[at], &nan, 4);
        break;
    }
    EXPECT_EQ(GlbProblem(glb), "a float accessor holds a value that is no finite number");
}

} // namespace
