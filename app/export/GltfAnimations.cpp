#include "GltfAnimations.h"

#include "GltfConvert.h"

#include "game/GameAnimation.h"
#include "game/GameAnimationChoice.h"

#include <algorithm>
#include <cstdint>
#include <set>

using tinygltf::Value;

namespace gltf {

namespace {

// Seconds per frame: the game's whole milliseconds (a period the game does
// not advance, 0 or less, plays as 1 a second).
double framePeriod(const GameAnimationEntry& entry)
{
    const int32_t periodMs = GameFramePeriodMs(entry);
    return periodMs > 0 ? periodMs / 1000.0 : 1.0;
}

// A frame past the 32-bit range is kept at its end, where ClampFrame shows
// the part's first or last frame.
int32_t clampedFrame(int64_t frame) { return static_cast<int32_t>(std::clamp<int64_t>(frame, INT32_MIN, INT32_MAX)); }

// The keys of an entry: the frame it shows at each key, and the key's place
// (its index among the frames played). A last key one frame after them shows
// what the game shows once the entry has played (the first looping frame,
// or the last held). The parts show their first frame for every frame
// before it and their last for every frame after it: of such a run only its
// first and last key are kept, so a count the file exaggerates costs nothing.
struct EntryKeys {
    int64_t count = 0;           // frames played
    int64_t looping = 0;         // of them looping: within 0 ... count, or count when that is below 0
    std::vector<int64_t> places; // of each key, ascending; the last one is count
    std::vector<int32_t> frames; // the frame each key shows
};

EntryKeys entryKeys(const FrameSequence& sequence, int32_t loopingFrames, size_t partFrames)
{
    EntryKeys keys;
    const int64_t count = keys.count = sequence.count;
    keys.looping = std::min(std::max<int64_t>(loopingFrames, 0), count);
    if (count <= 0)
        return keys;
    std::set<int64_t> places{0, count - 1};
    const int64_t last = static_cast<int64_t>(std::max<size_t>(partFrames, 1)) - 1;
    const int64_t lowest = std::min(sequence.first, sequence.FrameAt(count - 1));
    const int64_t highest = std::max(sequence.first, sequence.FrameAt(count - 1));
    for (int64_t frame = std::max<int64_t>(0, lowest); frame <= std::min(last, highest); ++frame)
        places.insert(sequence.PlaceOf(frame));
    for (const int64_t place : places) {
        keys.places.push_back(place);
        keys.frames.push_back(clampedFrame(sequence.FrameAt(place)));
    }
    bool stuck = false;
    keys.places.push_back(count);
    keys.frames.push_back(clampedFrame(sequence.FrameAt(GamePlaceAfterEnd(count, keys.looping, count, stuck))));
    return keys;
}

class AnimationWriter {
public:
    AnimationWriter(tinygltf::Model& model, GltfBuffers& buffers, const GamePlayer& player,
                    const std::map<const TMD3Model*, PartNodes>& parts)
        : model_(model), buffers_(buffers), player_(player), parts_(parts)
    {
    }

    void AddAnimation(uint32_t k);

private:
    int addSampler(tinygltf::Animation& animation, int input, int output, int node, const char* path);
    void addWeightChannel(tinygltf::Animation& animation, int input, const PartNodes& nodes,
                          const std::vector<int32_t>& keyFrames);
    void addTagChannels(tinygltf::Animation& animation, int input, const TMD3Model& part, const PartNodes& nodes,
                        const std::vector<int32_t>& keyFrames);
    void addPartChannels(tinygltf::Animation& animation, int input, const TMD3Model& part,
                         const std::vector<int32_t>& keyFrames);

    tinygltf::Model& model_;
    GltfBuffers& buffers_;
    const GamePlayer& player_;
    const std::map<const TMD3Model*, PartNodes>& parts_;
};

int AnimationWriter::addSampler(tinygltf::Animation& animation, int input, int output, int node, const char* path)
{
    tinygltf::AnimationSampler sampler;
    sampler.input = input;
    sampler.output = output;
    sampler.interpolation = "LINEAR";
    animation.samplers.push_back(sampler);
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
    channel.target_node = node;
    channel.target_path = path;
    animation.channels.push_back(channel);
    return channel.sampler;
}

// The weights of a part's mesh playing keyFrames: one weight of each key
// is 1, so they are sparse, the rest zeros.
void AnimationWriter::addWeightChannel(tinygltf::Animation& animation, int input, const PartNodes& nodes,
                                       const std::vector<int32_t>& keyFrames)
{
    std::vector<uint32_t> listed;
    for (size_t key = 0; key < keyFrames.size(); ++key)
        listed.push_back(static_cast<uint32_t>(key * nodes.frames + ClampFrame(keyFrames[key], nodes.frames)));
    const size_t count = keyFrames.size() * nodes.frames;
    addSampler(animation, input,
               buffers_.AddSparse(buffers_.PourIndices(listed, count), listed.size(), GltfBuffers::UnsignedBytes,
                                  std::vector<uint8_t>(listed.size(), std::numeric_limits<uint8_t>::max()),
                                  TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_SCALAR, count, true),
               nodes.mesh, "weights");
}

// The tracks of a part's tags playing keyFrames.
void AnimationWriter::addTagChannels(tinygltf::Animation& animation, int input, const TMD3Model& part,
                                     const PartNodes& nodes, const std::vector<int32_t>& keyFrames)
{
    const size_t tagsPerFrame = nodes.tags.size();
    const size_t tagFrames = part.Tags.size() / tagsPerFrame;
    for (size_t i = 0; i < tagsPerFrame; ++i) {
        std::vector<float> translations, rotations;
        Quat previous{0, 0, 0, 1};
        for (size_t key = 0; key < keyFrames.size(); ++key) {
            const TMD3Tag& tag = part.Tags[ClampFrame(keyFrames[key], tagFrames) * tagsPerFrame + i];
            const Vec3 t = TagTranslation(tag);
            Quat q = TagRotation(tag);
            // The shorter way round from the key before.
            if (key > 0 && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
                for (double& c : q)
                    c = -c;
            previous = q;
            translations.insert(translations.end(), t.begin(), t.end());
            rotations.insert(rotations.end(), q.begin(), q.end());
        }
        const int node = nodes.tags[i];
        addSampler(animation, input,
                   buffers_.AddVectors(translations, 3, 3, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, false,
                                       false, 0),
                   node, "translation");
        addSampler(animation, input,
                   buffers_.AddVectors(rotations, 4, 4, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, false, false,
                                       0),
                   node, "rotation");
    }
}

// The channels of a part playing keyFrames (one frame per key).
void AnimationWriter::addPartChannels(tinygltf::Animation& animation, int input, const TMD3Model& part,
                                      const std::vector<int32_t>& keyFrames)
{
    const auto found = parts_.find(&part);
    if (found == parts_.end())
        return;
    const PartNodes& nodes = found->second;
    if (nodes.mesh >= 0)
        addWeightChannel(animation, input, nodes, keyFrames);
    if (!nodes.tags.empty())
        addTagChannels(animation, input, part, nodes, keyFrames);
}

void AnimationWriter::AddAnimation(uint32_t k)
{
    const std::string name = AnimationName(k);
    const GameAnimationEntry& entry = player_.Animations[k];
    const bool legs = GameAnimationDrivesLegs(k), torso = GameAnimationDrivesTorso(k);
    const FrameSequence sequence = GameFrameSequence(entry);
    // An entry the animation file never filled, or one that plays no frames.
    if (name.empty() || sequence.count <= 0 || (!legs && !torso))
        return;
    size_t partFrames = 0;
    for (const GamePart* part : {legs ? &player_.Lower : nullptr, torso ? &player_.Upper : nullptr}) {
        if (part)
            partFrames = std::max(partFrames, part->model.Frames.size());
    }
    const EntryKeys keys = entryKeys(sequence, entry.LoopingFrames, partFrames);
    const double period = framePeriod(entry);
    std::vector<float> times;
    for (const int64_t place : keys.places)
        times.push_back(static_cast<float>(static_cast<double>(place) * period));
    tinygltf::Animation animation;
    animation.name = name;
    const int input = buffers_.AddVectors(times, 1, 1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, false, true, 0);
    Value::Array parts;
    if (legs) {
        addPartChannels(animation, input, player_.Lower.model, keys.frames);
        parts.emplace_back(std::string("legs"));
    }
    if (torso) {
        addPartChannels(animation, input, player_.Upper.model, keys.frames);
        parts.emplace_back(std::string("torso"));
    }
    if (animation.channels.empty())
        return;
    // The entry as the file gives it, and how it plays.
    animation.extras = Value(Value::Object{
        {"index", Value(static_cast<int>(k))},
        {"firstFrame", Value(static_cast<int>(entry.FirstFrame))},
        {"frames", Value(static_cast<int>(std::min<int64_t>(keys.count, INT32_MAX)))},
        {"loopingFrames", Value(static_cast<int>(entry.LoopingFrames))},
        {"fps", Value(static_cast<int>(entry.FPS))},
        {"backwards", Value(sequence.step < 0)},
        {"loops", Value(keys.looping != 0)},
        {"parts", Value(std::move(parts))},
    });
    model_.animations.push_back(std::move(animation));
}

} // namespace

void AddAnimations(tinygltf::Model& model, GltfBuffers& buffers, const GamePlayer& player,
                   const std::map<const TMD3Model*, PartNodes>& parts)
{
    AnimationWriter writer(model, buffers, player, parts);
    for (size_t k = 0; k < player.Animations.size(); ++k)
        writer.AddAnimation(static_cast<uint32_t>(k));
}

} // namespace gltf
