#include "GltfCheck.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstring>

namespace {

// Images are the export's own PNG files: their pixels are not looked at.
bool keepImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*)
{
    return true;
}

std::string accessorProblem(const tinygltf::Model& model, const tinygltf::Accessor& accessor)
{
    if (accessor.bufferView < 0)
        return "";
    if (static_cast<size_t>(accessor.bufferView) >= model.bufferViews.size())
        return "an accessor names a buffer view that is not there";
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(accessor.bufferView)];
    const int components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    const int bytes = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(accessor.componentType));
    if (components <= 0 || bytes <= 0)
        return "an accessor has an unknown type";
    const size_t element = static_cast<size_t>(components * bytes);
    const size_t stride = view.byteStride > 0 ? view.byteStride : element;
    if (accessor.count > 0 && (accessor.byteOffset > view.byteLength ||
                               (accessor.count - 1) * stride + element > view.byteLength - accessor.byteOffset))
        return "an accessor runs past its buffer view";
    if (accessor.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        return "";
    const std::vector<unsigned char>& data = model.buffers[static_cast<size_t>(view.buffer)].data;
    for (size_t i = 0; i < accessor.count; ++i)
        for (int c = 0; c < components; ++c) {
            float value = 0;
            std::memcpy(&value, data.data() + view.byteOffset + accessor.byteOffset + i * stride + c * sizeof value,
                        sizeof value);
            if (!std::isfinite(value))
                return "a float accessor holds a value that is no finite number";
        }
    return "";
}

} // namespace

std::string GlbProblem(std::string_view bytes)
{
    tinygltf::TinyGLTF reader;
    reader.SetImageLoader(keepImage, nullptr);
    tinygltf::Model model;
    std::string error, warning;
    if (!reader.LoadBinaryFromMemory(&model, &error, &warning, reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<unsigned int>(bytes.size())))
        return "the glTF reader refuses it: " + error;
    for (const tinygltf::BufferView& view : model.bufferViews)
        if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size() ||
            view.byteOffset > model.buffers[static_cast<size_t>(view.buffer)].data.size() ||
            view.byteLength > model.buffers[static_cast<size_t>(view.buffer)].data.size() - view.byteOffset)
            return "a buffer view lies outside its buffer";
    for (const tinygltf::Accessor& accessor : model.accessors) {
        const std::string problem = accessorProblem(model, accessor);
        if (!problem.empty())
            return problem;
    }
    return "";
}
