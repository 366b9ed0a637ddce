#pragma once
// A glTF file as the import reads it: its accessors as numbers (dense or
// sparse, normalised integers scaled, every offset checked against the
// buffers), its nodes posed by an animation at a time, and the vertices of
// a primitive where a pose puts them (morph targets weighted, skins bound).
#include <tiny_gltf.h>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace gltfin {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>; // x, y, z, w
using Mat4 = std::array<double, 16>; // column-major, as glTF writes matrices

Mat4 Identity();
Mat4 Multiply(const Mat4& a, const Mat4& b);
// The inverse of an affine matrix (identity when it has none).
Mat4 InverseAffine(const Mat4& m);
Vec3 TransformPoint(const Mat4& m, const Vec3& p);
Vec3 TransformDirection(const Mat4& m, const Vec3& d);
Mat4 ComposeTrs(const Vec3& t, const Quat& r, const Vec3& s);

// A node's local transform and morph weights at one moment.
struct NodePose {
    bool matrixGiven = false; // a node given as a matrix is not animated
    Mat4 matrix = Identity();
    Vec3 translation{0, 0, 0};
    Quat rotation{0, 0, 0, 1};
    Vec3 scale{1, 1, 1};
    std::vector<double> weights;
};

class GltfScene {
public:
    // Throws platform::EConvertError when the file's nodes form no tree
    // (a node with two parents or below itself).
    explicit GltfScene(tinygltf::Model model);

    const tinygltf::Model& Model() const { return model_; }

    // The elements of an accessor, components each, as numbers; throws
    // platform::EConvertError for an accessor the file cannot hold.
    const std::vector<double>& Accessor(int index, size_t& components) const;
    // The listed elements of a sparse accessor: their indices, and their
    // values (components each).
    std::pair<std::vector<size_t>, std::vector<double>> SparseListing(int index, size_t& components) const;

    // Every node at rest (as the file places it).
    std::vector<NodePose> RestPoses() const;
    // Moves poses to seconds into animation (keys before the first hold the
    // first value, after the last the last).
    void Pose(const tinygltf::Animation& animation, double seconds, std::vector<NodePose>& poses) const;
    // The time of an animation's last key.
    double Duration(const tinygltf::Animation& animation) const;
    // Each node's matrix in the scene.
    std::vector<Mat4> WorldMatrices(const std::vector<NodePose>& poses) const;
    // A node's parent, -1 for a root.
    int Parent(int node) const { return parents_[static_cast<size_t>(node)]; }

    // The positions and normals of a node's primitive as posed, in the
    // scene's space.
    struct Posed {
        std::vector<Vec3> positions, normals;
    };
    Posed PosePrimitive(int node, size_t primitive, const std::vector<NodePose>& poses,
                        const std::vector<Mat4>& world) const;

private:
    tinygltf::Model model_;
    std::vector<int> parents_;
    mutable std::map<int, std::pair<size_t, std::vector<double>>> accessors_;
};

} // namespace gltfin
