#include "GltfScene.h"

#include "platform/system/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace gltfin {

namespace {

using platform::EConvertError;

double dot4(const Quat& a, const Quat& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; }

Quat normalised(Quat q)
{
    const double length = std::sqrt(dot4(q, q));
    if (!(length > 0) || !std::isfinite(length))
        return {0, 0, 0, 1};
    for (double& c : q)
        c /= length;
    return q;
}

// The shorter way from a to b, fraction t of it.
Quat slerp(const Quat& a, Quat b, double t)
{
    double cosine = dot4(a, b);
    if (cosine < 0) {
        cosine = -cosine;
        for (double& c : b)
            c = -c;
    }
    double wa = 1 - t, wb = t;
    if (cosine < 0.9995) {
        const double angle = std::acos(std::min(1.0, cosine)), sine = std::sin(angle);
        wa = std::sin((1 - t) * angle) / sine;
        wb = std::sin(t * angle) / sine;
    }
    Quat q;
    for (size_t c = 0; c < 4; ++c)
        q[c] = wa * a[c] + wb * b[c];
    return normalised(q);
}

// One component of a normalised or plain element, as glTF means it.
double componentAt(const uint8_t* at, int type, bool normalized)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const auto v = static_cast<int8_t>(*at);
        return normalized ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalized ? *at / 255.0 : *at;
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t v;
        std::memcpy(&v, at, sizeof v);
        return normalized ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t v;
        std::memcpy(&v, at, sizeof v);
        return normalized ? v / 65535.0 : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        uint32_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    default:
        throw EConvertError("an accessor has a component type glTF does not know");
    }
}

// The bytes of count elements of elementSize bytes, stride apart, from a
// view and offset; throws when they do not lie in its buffer.
const uint8_t* viewBytes(const tinygltf::Model& model, int view, size_t offset, size_t count, size_t elementSize,
                         size_t& stride)
{
    if (view < 0 || static_cast<size_t>(view) >= model.bufferViews.size())
        throw EConvertError("an accessor names a buffer view the file does not have");
    const tinygltf::BufferView& v = model.bufferViews[static_cast<size_t>(view)];
    if (v.buffer < 0 || static_cast<size_t>(v.buffer) >= model.buffers.size())
        throw EConvertError("a buffer view names a buffer the file does not have");
    const std::vector<unsigned char>& data = model.buffers[static_cast<size_t>(v.buffer)].data;
    stride = v.byteStride ? v.byteStride : elementSize;
    const size_t need = count == 0 ? 0 : offset + (count - 1) * stride + elementSize;
    if (v.byteOffset > data.size() || v.byteLength > data.size() - v.byteOffset || need > v.byteLength ||
        stride < elementSize)
        throw EConvertError("an accessor reaches past the end of its buffer");
    return data.data() + v.byteOffset + offset;
}

// Interpolated value of a sampler's output at seconds (width values a key).
std::vector<double> sample(const std::vector<double>& times, const std::vector<double>& values, size_t width,
                           const std::string& interpolation, double seconds, bool rotation)
{
    const bool cubic = interpolation == "CUBICSPLINE";
    const size_t perKey = cubic ? 3 * width : width, valueAt = cubic ? width : 0;
    const auto keyValue = [&](size_t key) {
        return std::vector<double>(values.begin() + static_cast<ptrdiff_t>(key * perKey + valueAt),
                                   values.begin() + static_cast<ptrdiff_t>(key * perKey + valueAt + width));
    };
    if (seconds <= times.front())
        return keyValue(0);
    if (seconds >= times.back())
        return keyValue(times.size() - 1);
    const size_t next = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), seconds) - times.begin());
    const size_t key = next - 1;
    const double span = times[next] - times[key];
    const double t = span > 0 ? (seconds - times[key]) / span : 0;
    if (interpolation == "STEP")
        return keyValue(key);
    std::vector<double> out(width);
    if (cubic) {
        const double t2 = t * t, t3 = t2 * t;
        const double h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t, h01 = -2 * t3 + 3 * t2, h11 = t3 - t2;
        for (size_t c = 0; c < width; ++c) {
            const double p0 = values[key * perKey + width + c], m0 = values[key * perKey + 2 * width + c] * span;
            const double p1 = values[next * perKey + width + c], m1 = values[next * perKey + c] * span;
            out[c] = h00 * p0 + h10 * m0 + h01 * p1 + h11 * m1;
        }
        if (rotation) {
            const Quat q = normalised({out[0], out[1], out[2], out[3]});
            out.assign(q.begin(), q.end());
        }
        return out;
    }
    const std::vector<double> a = keyValue(key), b = keyValue(next);
    if (rotation) {
        const Quat q = slerp({a[0], a[1], a[2], a[3]}, {b[0], b[1], b[2], b[3]}, t);
        return {q.begin(), q.end()};
    }
    for (size_t c = 0; c < width; ++c)
        out[c] = a[c] + t * (b[c] - a[c]);
    return out;
}

} // namespace

Mat4 Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Mat4 Multiply(const Mat4& a, const Mat4& b)
{
    Mat4 m{};
    for (size_t col = 0; col < 4; ++col)
        for (size_t row = 0; row < 4; ++row) {
            double sum = 0;
            for (size_t k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[col * 4 + k];
            m[col * 4 + row] = sum;
        }
    return m;
}

Mat4 InverseAffine(const Mat4& m)
{
    // The 3 x 3 part by its cofactors, then the translation.
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (!(std::abs(det) > 1e-300) || !std::isfinite(det))
        return Identity();
    const double r[9] = {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
                         (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
                         (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
    Mat4 inv = Identity();
    for (size_t row = 0; row < 3; ++row)
        for (size_t col = 0; col < 3; ++col)
            inv[col * 4 + row] = r[row * 3 + col];
    for (size_t row = 0; row < 3; ++row)
        inv[12 + row] = -(r[row * 3] * m[12] + r[row * 3 + 1] * m[13] + r[row * 3 + 2] * m[14]);
    return inv;
}

Vec3 TransformPoint(const Mat4& m, const Vec3& p)
{
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12], m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

Vec3 TransformDirection(const Mat4& m, const Vec3& d)
{
    return {m[0] * d[0] + m[4] * d[1] + m[8] * d[2], m[1] * d[0] + m[5] * d[1] + m[9] * d[2],
            m[2] * d[0] + m[6] * d[1] + m[10] * d[2]};
}

Mat4 ComposeTrs(const Vec3& t, const Quat& r, const Vec3& s)
{
    const Quat q = normalised(r);
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double rot[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                           2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                           2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    Mat4 m = Identity();
    for (size_t col = 0; col < 3; ++col)
        for (size_t row = 0; row < 3; ++row)
            m[col * 4 + row] = rot[col * 3 + row] * s[col];
    m[12] = t[0];
    m[13] = t[1];
    m[14] = t[2];
    return m;
}

GltfScene::GltfScene(tinygltf::Model model) : model_(std::move(model)), parents_(model_.nodes.size(), -1)
{
    for (size_t n = 0; n < model_.nodes.size(); ++n)
        for (const int child : model_.nodes[n].children) {
            if (child < 0 || static_cast<size_t>(child) >= model_.nodes.size() ||
                parents_[static_cast<size_t>(child)] >= 0 || static_cast<size_t>(child) == n)
                throw EConvertError("the file's nodes form no tree (node " + std::to_string(child) +
                                    " has two parents or none that exists)");
            parents_[static_cast<size_t>(child)] = static_cast<int>(n);
        }
    // A chain of parents that comes round again has no root.
    for (size_t n = 0; n < parents_.size(); ++n) {
        size_t steps = 0;
        for (int at = static_cast<int>(n); at >= 0; at = parents_[static_cast<size_t>(at)])
            if (++steps > parents_.size())
                throw EConvertError("the file's nodes form no tree (node " + std::to_string(n) + " is below itself)");
    }
}

const std::vector<double>& GltfScene::Accessor(int index, size_t& components) const
{
    if (const auto found = accessors_.find(index); found != accessors_.end()) {
        components = found->second.first;
        return found->second.second;
    }
    if (index < 0 || static_cast<size_t>(index) >= model_.accessors.size())
        throw EConvertError("the file names accessor " + std::to_string(index) + ", which it does not have");
    const tinygltf::Accessor& a = model_.accessors[static_cast<size_t>(index)];
    const int width = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type));
    const int size = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
    if (width <= 0 || size <= 0)
        throw EConvertError("accessor " + std::to_string(index) + " has a type glTF does not know");
    components = static_cast<size_t>(width);
    const size_t elementSize = components * static_cast<size_t>(size);
    // No accessor of a character needs more elements than its buffers have
    // bytes; one without data of its own (zeros, or sparse) no more than a
    // few million numbers.
    size_t bytes = 0;
    for (const tinygltf::Buffer& buffer : model_.buffers)
        bytes += buffer.data.size();
    constexpr size_t kMostDatalessNumbers = size_t{1} << 22;
    if (a.count > bytes + 1 || (a.bufferView < 0 && a.count * components > kMostDatalessNumbers))
        throw EConvertError("accessor " + std::to_string(index) + " claims more elements than the file has bytes");
    std::vector<double> values(a.count * components, 0.0);
    if (a.bufferView >= 0) {
        size_t stride = 0;
        const uint8_t* at = viewBytes(model_, a.bufferView, a.byteOffset, a.count, elementSize, stride);
        for (size_t i = 0; i < a.count; ++i)
            for (size_t c = 0; c < components; ++c)
                values[i * components + c] =
                    componentAt(at + i * stride + c * static_cast<size_t>(size), a.componentType, a.normalized);
    }
    if (a.sparse.isSparse) {
        size_t ignored = 0;
        const auto [listed, listedValues] = SparseListing(index, ignored);
        for (size_t k = 0; k < listed.size(); ++k)
            std::copy_n(listedValues.begin() + static_cast<ptrdiff_t>(k * components), components,
                        values.begin() + static_cast<ptrdiff_t>(listed[k] * components));
    }
    auto& stored = accessors_[index];
    stored = {components, std::move(values)};
    return stored.second;
}

std::pair<std::vector<size_t>, std::vector<double>> GltfScene::SparseListing(int index, size_t& components) const
{
    if (index < 0 || static_cast<size_t>(index) >= model_.accessors.size())
        throw EConvertError("the file names accessor " + std::to_string(index) + ", which it does not have");
    const tinygltf::Accessor& a = model_.accessors[static_cast<size_t>(index)];
    components = static_cast<size_t>(std::max(0, tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type))));
    const int size = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
    if (!a.sparse.isSparse)
        return {};
    const size_t count = static_cast<size_t>(std::max(0, a.sparse.count));
    const int indexSize = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.sparse.indices.componentType));
    if (components == 0 || size <= 0 || indexSize <= 0)
        throw EConvertError("sparse accessor " + std::to_string(index) + " has a type glTF does not know");
    size_t indexStride = 0, valueStride = 0;
    const uint8_t* indices = viewBytes(model_, a.sparse.indices.bufferView,
                                       static_cast<size_t>(a.sparse.indices.byteOffset), count,
                                       static_cast<size_t>(indexSize), indexStride);
    const size_t elementSize = components * static_cast<size_t>(size);
    const uint8_t* values = viewBytes(model_, a.sparse.values.bufferView,
                                      static_cast<size_t>(a.sparse.values.byteOffset), count, elementSize, valueStride);
    std::vector<size_t> listed(count);
    std::vector<double> listedValues(count * components);
    for (size_t k = 0; k < count; ++k) {
        const double i = componentAt(indices + k * static_cast<size_t>(indexSize), a.sparse.indices.componentType, false);
        if (!(i >= 0 && i < static_cast<double>(a.count)))
            throw EConvertError("sparse accessor " + std::to_string(index) + " lists an element it does not have");
        listed[k] = static_cast<size_t>(i);
        for (size_t c = 0; c < components; ++c)
            listedValues[k * components + c] =
                componentAt(values + k * elementSize + c * static_cast<size_t>(size), a.componentType, a.normalized);
    }
    return {std::move(listed), std::move(listedValues)};
}

std::vector<NodePose> GltfScene::RestPoses() const
{
    std::vector<NodePose> poses(model_.nodes.size());
    for (size_t n = 0; n < poses.size(); ++n) {
        const tinygltf::Node& node = model_.nodes[n];
        NodePose& pose = poses[n];
        if (node.matrix.size() == 16) {
            pose.matrixGiven = true;
            std::copy(node.matrix.begin(), node.matrix.end(), pose.matrix.begin());
        }
        if (node.translation.size() == 3)
            std::copy(node.translation.begin(), node.translation.end(), pose.translation.begin());
        if (node.rotation.size() == 4)
            std::copy(node.rotation.begin(), node.rotation.end(), pose.rotation.begin());
        if (node.scale.size() == 3)
            std::copy(node.scale.begin(), node.scale.end(), pose.scale.begin());
        if (!node.weights.empty())
            pose.weights = node.weights;
        else if (node.mesh >= 0 && static_cast<size_t>(node.mesh) < model_.meshes.size())
            pose.weights = model_.meshes[static_cast<size_t>(node.mesh)].weights;
    }
    return poses;
}

double GltfScene::Duration(const tinygltf::Animation& animation) const
{
    double end = 0;
    for (const tinygltf::AnimationSampler& sampler : animation.samplers) {
        size_t width = 0;
        const std::vector<double>& times = Accessor(sampler.input, width);
        if (!times.empty())
            end = std::max(end, times.back());
    }
    return end;
}

void GltfScene::Pose(const tinygltf::Animation& animation, double seconds, std::vector<NodePose>& poses) const
{
    for (const tinygltf::AnimationChannel& channel : animation.channels) {
        if (channel.target_node < 0 || static_cast<size_t>(channel.target_node) >= poses.size() ||
            channel.sampler < 0 || static_cast<size_t>(channel.sampler) >= animation.samplers.size())
            continue;
        const tinygltf::AnimationSampler& sampler = animation.samplers[static_cast<size_t>(channel.sampler)];
        size_t one = 0, width = 0;
        const std::vector<double>& times = Accessor(sampler.input, one);
        const std::vector<double>& values = Accessor(sampler.output, width);
        NodePose& pose = poses[static_cast<size_t>(channel.target_node)];
        const std::string& path = channel.target_path;
        const size_t keys = times.size();
        if (keys == 0 || one != 1 || !std::is_sorted(times.begin(), times.end()))
            continue;
        const size_t perKey = path == "weights" ? pose.weights.size() : path == "rotation" ? 4 : 3;
        if (path == "weights" && (perKey == 0 || width != 1))
            continue;
        if (path != "weights" && width != perKey)
            continue;
        const size_t cubic = sampler.interpolation == "CUBICSPLINE" ? 3 : 1;
        if (values.size() != keys * perKey * cubic)
            continue;
        const std::vector<double> value = sample(times, values, perKey, sampler.interpolation, seconds,
                                                 path == "rotation");
        if (path == "translation")
            std::copy_n(value.begin(), 3, pose.translation.begin());
        else if (path == "rotation")
            std::copy_n(value.begin(), 4, pose.rotation.begin());
        else if (path == "scale")
            std::copy_n(value.begin(), 3, pose.scale.begin());
        else if (path == "weights")
            pose.weights = value;
    }
}

std::vector<Mat4> GltfScene::WorldMatrices(const std::vector<NodePose>& poses) const
{
    std::vector<Mat4> world(poses.size());
    std::vector<char> done(poses.size(), 0);
    for (size_t n = 0; n < poses.size(); ++n) {
        // Parents first: the chain up to a node already placed, then down.
        std::vector<size_t> chain;
        for (int at = static_cast<int>(n); at >= 0 && !done[static_cast<size_t>(at)]; at = parents_[static_cast<size_t>(at)])
            chain.push_back(static_cast<size_t>(at));
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const NodePose& pose = poses[*it];
            const Mat4 local = pose.matrixGiven ? pose.matrix : ComposeTrs(pose.translation, pose.rotation, pose.scale);
            const int parent = parents_[*it];
            world[*it] = parent < 0 ? local : Multiply(world[static_cast<size_t>(parent)], local);
            done[*it] = 1;
        }
    }
    return world;
}

} // namespace gltfin
