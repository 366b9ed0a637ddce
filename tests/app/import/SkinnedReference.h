#pragma once
// A plain, separate computation of a skinned character's pose from its
// description, in double precision, against which the importer's baked
// frames are checked. It shares no code with the sample's writer or the
// program: its own matrices, quaternions and key interpolation.
#include "tools/samples/SkinnedCharacter.h"

#include <array>
#include <string>
#include <vector>

namespace importtest {

// Column-major, as glTF stores matrices: element [column * 4 + row].
using RefMatrix = std::array<double, 16>;
using RefPoint = std::array<double, 3>;

// The world matrix of the node named nodeName with animationName ("" for the
// rest pose) applied at seconds. Throws std::invalid_argument for an unknown
// node or animation.
RefMatrix ReferenceWorldMatrix(const samples::SkinnedCharacter& character, const std::string& nodeName,
                               const std::string& animationName, double seconds);

// The vertices of the mesh named meshName, in its order, skinned by the pose
// of animationName ("" for the rest pose) at seconds, in glTF world metres.
// Throws std::invalid_argument for an unknown mesh or animation.
std::vector<RefPoint> ReferenceSkinnedPositions(const samples::SkinnedCharacter& character,
                                                const std::string& meshName, const std::string& animationName,
                                                double seconds);

} // namespace importtest
