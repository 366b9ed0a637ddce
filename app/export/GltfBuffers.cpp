#include "GltfBuffers.h"

namespace gltf {

namespace {

constexpr int kBufferAlignment = 4;

} // namespace

GltfBuffers::GltfBuffers(tinygltf::Model& model) : model_(model) { model_.buffers.emplace_back(); }

void GltfBuffers::Reserve(size_t bytes) { this->bytes().reserve(bytes); }

int GltfBuffers::AddView(const void* data, size_t size, int stride, int target)
{
    std::vector<uint8_t>& buffer = bytes();
    buffer.resize((buffer.size() + kBufferAlignment - 1) / kBufferAlignment * kBufferAlignment);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = buffer.size();
    view.byteLength = size;
    view.byteStride = static_cast<size_t>(stride);
    view.target = target;
    const auto* from = static_cast<const uint8_t*>(data);
    buffer.insert(buffer.end(), from, from + size);
    model_.bufferViews.push_back(view);
    return static_cast<int>(model_.bufferViews.size()) - 1;
}

int GltfBuffers::AddAccessor(int view, size_t offset, int componentType, int type, size_t count, bool normalized,
                             std::vector<double> min, std::vector<double> max)
{
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.byteOffset = offset;
    accessor.componentType = componentType;
    accessor.type = type;
    accessor.count = count;
    accessor.normalized = normalized;
    accessor.minValues = std::move(min);
    accessor.maxValues = std::move(max);
    model_.accessors.push_back(accessor);
    return static_cast<int>(model_.accessors.size()) - 1;
}

GltfBuffers::PouredIndices GltfBuffers::PourIndices(const std::vector<uint32_t>& listed, size_t count)
{
    if (count <= std::numeric_limits<uint8_t>::max() + size_t{1})
        return {Index8, pour(Index8, std::vector<uint8_t>(listed.begin(), listed.end()))};
    if (count <= std::numeric_limits<uint16_t>::max() + size_t{1})
        return {Index16, pour(Index16, std::vector<uint16_t>(listed.begin(), listed.end()))};
    return {Index32, pour(Index32, listed)};
}

int GltfBuffers::addSparseAccessor(const PouredIndices& indices, size_t listed, Pool pool, size_t valuesOffset,
                                   int componentType, int type, size_t count, bool normalized,
                                   std::vector<double> low, std::vector<double> high)
{
    const int accessor = AddAccessor(-1, 0, componentType, type, count, normalized, std::move(low), std::move(high));
    tinygltf::Accessor& made = model_.accessors.back();
    made.sparse.isSparse = true;
    made.sparse.count = static_cast<int>(listed);
    made.sparse.indices.byteOffset = static_cast<int>(indices.second);
    made.sparse.indices.componentType = indices.first == Index8    ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE
                                        : indices.first == Index16 ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT
                                                                   : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    made.sparse.values.byteOffset = static_cast<int>(valuesOffset);
    sparse_.push_back({accessor, indices.first, pool});
    return accessor;
}

void GltfBuffers::AddPools()
{
    std::array<int, kPools> views{};
    for (size_t pool = 0; pool < kPools; ++pool)
        views[pool] = pools_[pool].empty() ? -1 : AddView(pools_[pool].data(), pools_[pool].size(), 0, 0);
    for (const Sparse& s : sparse_) {
        tinygltf::Accessor& accessor = model_.accessors[static_cast<size_t>(s.accessor)];
        accessor.sparse.indices.bufferView = views[s.indices];
        accessor.sparse.values.bufferView = views[s.values];
    }
}

} // namespace gltf
