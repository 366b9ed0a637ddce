#pragma once
// The binary data of an exported file: the one buffer, its views and the
// accessors over them. Dense data goes into a view of its own as it comes;
// the elements of sparse accessors are poured into pools, one per component
// type, which become views when everything is built.
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace gltf {

class GltfBuffers {
public:
    // The pools of sparse accessors' indices and values.
    enum Pool { Index8, Index16, Index32, Shorts, Bytes, UnsignedBytes, Floats, kPools };
    // Indices poured into a pool: the pool and their offset in it.
    using PouredIndices = std::pair<Pool, size_t>;

    // Writes into model's first buffer, which it adds.
    explicit GltfBuffers(tinygltf::Model& model);

    // Reserves the buffer's bytes, so that it is never copied while it grows.
    void Reserve(size_t bytes);

    // A view of size bytes copied from data, 4-byte aligned in the buffer.
    int AddView(const void* data, size_t size, int stride, int target);

    int AddAccessor(int view, size_t offset, int componentType, int type, size_t count, bool normalized = false,
                    std::vector<double> min = {}, std::vector<double> max = {});

    // Values of vectors of width components (stride values apart), in a view
    // of their own, with their bounds when asked.
    template <class T>
    int AddVectors(const std::vector<T>& values, int width, int stride, int componentType, int type, bool normalized,
                   bool bounds, int target = TINYGLTF_TARGET_ARRAY_BUFFER);

    // Pours listed (strictly increasing, each below count) into the index
    // pool of the narrowest type that holds count.
    PouredIndices PourIndices(const std::vector<uint32_t>& listed, size_t count);

    // A sparse accessor of count elements, zero but for the listed ones at
    // indices, whose values are poured into pool.
    template <class T>
    int AddSparse(const PouredIndices& indices, size_t listed, Pool pool, const std::vector<T>& values,
                  int componentType, int type, size_t count, bool normalized, std::vector<double> low = {},
                  std::vector<double> high = {});

    // The pools as views, and the sparse accessors pointed at them; once,
    // after everything else is added.
    void AddPools();

private:
    struct Sparse {
        int accessor;
        Pool indices, values;
    };

    std::vector<uint8_t>& bytes() { return model_.buffers[0].data; }
    // Appends values to pool, aligned to their size; their offset in it.
    template <class T> size_t pour(Pool pool, const std::vector<T>& values);
    // The sparse accessor over poured indices, its values at valuesOffset in pool.
    int addSparseAccessor(const PouredIndices& indices, size_t listed, Pool pool, size_t valuesOffset,
                          int componentType, int type, size_t count, bool normalized, std::vector<double> low,
                          std::vector<double> high);

    tinygltf::Model& model_;
    std::array<std::vector<uint8_t>, kPools> pools_;
    std::vector<Sparse> sparse_;
};

template <class T>
int GltfBuffers::AddVectors(const std::vector<T>& values, int width, int stride, int componentType, int type,
                            bool normalized, bool bounds, int target)
{
    const size_t count = values.size() / static_cast<size_t>(stride);
    std::vector<double> low, high;
    if (bounds) {
        low.assign(static_cast<size_t>(width), std::numeric_limits<double>::max());
        high.assign(static_cast<size_t>(width), std::numeric_limits<double>::lowest());
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < width; ++c) {
                const double v = static_cast<double>(values[i * static_cast<size_t>(stride) + static_cast<size_t>(c)]);
                low[static_cast<size_t>(c)] = std::min(low[static_cast<size_t>(c)], v);
                high[static_cast<size_t>(c)] = std::max(high[static_cast<size_t>(c)], v);
            }
    }
    const int byteStride = stride == width && target != TINYGLTF_TARGET_ARRAY_BUFFER
                               ? 0
                               : static_cast<int>(sizeof(T)) * stride;
    const int view = AddView(values.data(), values.size() * sizeof(T), byteStride, target);
    return AddAccessor(view, 0, componentType, type, count, normalized, std::move(low), std::move(high));
}

template <class T> size_t GltfBuffers::pour(Pool pool, const std::vector<T>& values)
{
    std::vector<uint8_t>& into = pools_[pool];
    into.resize((into.size() + sizeof(T) - 1) / sizeof(T) * sizeof(T));
    const size_t offset = into.size();
    const auto* from = reinterpret_cast<const uint8_t*>(values.data());
    into.insert(into.end(), from, from + values.size() * sizeof(T));
    return offset;
}

template <class T>
int GltfBuffers::AddSparse(const PouredIndices& indices, size_t listed, Pool pool, const std::vector<T>& values,
                           int componentType, int type, size_t count, bool normalized, std::vector<double> low,
                           std::vector<double> high)
{
    const size_t offset = pour(pool, values);
    return addSparseAccessor(indices, listed, pool, offset, componentType, type, count, normalized, std::move(low),
                             std::move(high));
}

} // namespace gltf
