// The game's way of drawing shaded surfaces, on OpenGL 1.1 vertex arrays.
#include "GameRenderer.h"

#include "GameAnimation.h"
#include "GameLight.h"
#include "GameShader.h"
#include "StageVertices.h"

#include <algorithm>
#include <cmath>

namespace {

// One surface to draw, with the model-view matrix of its part.
struct DrawItem {
    const GamePart* part;
    const TMesh* mesh;
    const BoundShader* shader;
    size_t entity;
    size_t surface;
    GLfloat modelView[16];
};

void collect(const GamePart& part, std::vector<DrawItem>& items, size_t& entities)
{
    DrawItem item{&part, nullptr, nullptr, entities++, 0, {}};
    glGetFloatv(GL_MODELVIEW_MATRIX, item.modelView);
    for (size_t i = 0; i < part.model.Meshes.size(); ++i) {
        if (!part.ShaderOf(i))
            continue;
        item.mesh = &part.model.Meshes[i];
        item.shader = part.ShaderOf(i);
        item.surface = i;
        items.push_back(item);
    }
    for (size_t i = 0; i < part.links.size(); ++i) {
        if (!part.links[i])
            continue;
        GLfloat matrix[16];
        GameTagMatrix(part.model, i, matrix);
        glPushMatrix();
        glMultMatrixf(matrix);
        if (part.links[i]->rollDegrees != 0)
            glRotatef(part.links[i]->rollDegrees, 1.0f, 0.0f, 0.0f);
        collect(*part.links[i], items, entities);
        glPopMatrix();
    }
}

// The first tag of a frame named name, or null.
const TMD3Tag* tagNamed(const TMD3Model& part, size_t frame, const std::string& name)
{
    const size_t tagsPerFrame = part.Links.size();
    for (size_t i = 0; i < tagsPerFrame; ++i) {
        const TMD3Tag& tag = part.Tags[frame * tagsPerFrame + i];
        if (MD3Name(tag.Name) == name)
            return &tag;
    }
    return nullptr;
}

// Appends a mesh's vertices in the part's current pose to batch, and its
// triangles (shifted past what batch held) to indices.
void appendMesh(const TMD3Model& part, const TMesh& mesh, BatchVertices& batch, std::vector<GLuint>& indices)
{
    const size_t vertsPerFrame = mesh.TexCoords.size();
    const size_t vertexFrames = VertexFrames(mesh);
    if (vertexFrames == 0)
        return;
    const MeshFrames frames = GameMeshFrames(part);
    const double weight = frames.weight;
    // A surface may hold fewer frames than its part says.
    const TMD3Vertex* current = &mesh.Vertices[ClampFrame(static_cast<int32_t>(frames.current), vertexFrames) * vertsPerFrame];
    const TMD3Vertex* next = &mesh.Vertices[ClampFrame(static_cast<int32_t>(frames.next), vertexFrames) * vertsPerFrame];
    const bool blended = current != next && weight > 0;
    const size_t base = batch.positions.size();
    for (size_t v = 0; v < vertsPerFrame; ++v) {
        const std::array<float, 3> na = DecodeGameNormal(current[v].Normal);
        const std::array<float, 3> nb = blended ? DecodeGameNormal(next[v].Normal) : na;
        std::array<float, 3> position{}, normal{};
        for (int k = 0; k < 3; ++k) {
            const float pa = current[v].Position[k] * kMD3XyzScale;
            const float pb = next[v].Position[k] * kMD3XyzScale;
            position[k] = blended ? static_cast<float>(pa + weight * (pb - pa)) : pa;
            normal[k] = blended ? static_cast<float>(na[k] + weight * (nb[k] - na[k])) : na[k];
        }
        if (blended) {
            const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
            for (float& c : normal)
                c = length > 0 ? c / length : c;
        }
        batch.positions.push_back(position);
        batch.normals.push_back(normal);
        batch.texCoords.push_back({mesh.TexCoords[v].S, mesh.TexCoords[v].T});
    }
    for (const TMD3Triangle& triangle : mesh.Triangles) {
        for (int32_t index : triangle.Index)
            indices.push_back(static_cast<GLuint>(base + static_cast<size_t>(index)));
    }
}

void applyCull(CullFace cull)
{
    // The game's models wind their triangles clockwise seen from outside, so
    // the faces it culls by default are GL's front faces.
    if (cull == CullFace::None) {
        glDisable(GL_CULL_FACE);
        return;
    }
    glEnable(GL_CULL_FACE);
    glCullFace(cull == CullFace::Front ? GL_FRONT : GL_BACK);
}

void applyStageState(const GameStage& stage)
{
    if (stage.blend) {
        glEnable(GL_BLEND);
        glBlendFunc(stage.blendSrc, stage.blendDst);
    } else {
        glDisable(GL_BLEND);
    }
    glDepthMask(stage.depthWrite ? GL_TRUE : GL_FALSE);
    glDepthFunc(stage.depthEqual ? GL_EQUAL : GL_LEQUAL);
    if (stage.alphaFunc != GL_ALWAYS) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(stage.alphaFunc, stage.alphaRef);
    } else {
        glDisable(GL_ALPHA_TEST);
    }
}

class BatchDrawer {
public:
    BatchDrawer(double seconds, bool lightingOn) : seconds_(seconds), lightingOn_(lightingOn) {}

    void draw(const DrawItem* first, const DrawItem* last)
    {
        const BoundShader& bound = *first->shader;
        const GameShader& shader = bound.shader;
        if (shader.stages.empty())
            return;
        batch_.positions.clear();
        batch_.normals.clear();
        batch_.texCoords.clear();
        indices_.clear();
        for (const DrawItem* item = first; item != last; ++item)
            appendMesh(item->part->model, *item->mesh, batch_, indices_);
        if (indices_.empty())
            return;
        glLoadMatrixf(first->modelView);
        const PartLighting light = LightingOfPart(first->modelView, lightingOn_);
        PartEntity entity;
        std::copy_n(first->part->entityColor, 4, entity.color);
        ApplyDeforms(shader, seconds_, batch_);
        applyCull(shader.cull);
        if (shader.polygonOffset) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(-1.0f, -2.0f);
        } else {
            glDisable(GL_POLYGON_OFFSET_FILL);
        }
        glVertexPointer(3, GL_FLOAT, 0, batch_.positions.data());
        glNormalPointer(GL_FLOAT, 0, batch_.normals.data());
        for (size_t s = 0; s < shader.stages.size(); ++s)
            drawStage(shader.stages[s], s < bound.textures.size() ? bound.textures[s] : std::vector<GLuint>{}, light,
                      entity);
    }

private:
    void drawStage(const GameStage& stage, const std::vector<GLuint>& textures, const PartLighting& light,
                   const PartEntity& entity)
    {
        // The viewer's eight lights light the stages the game lights itself.
        const bool viewerLit = stage.rgbGen == RgbGen::LightingDiffuse && CurrentSceneLight() == SceneLight::Viewer;
        if (viewerLit && lightingOn_) {
            glEnable(GL_LIGHTING);
            glDisableClientState(GL_COLOR_ARRAY);
            glColor4ub(255, 255, 255, 255);
        } else {
            glDisable(GL_LIGHTING);
            if (stage.sharesPreviousColor) {
                GameStage white = stage;
                white.rgbGen = RgbGen::Identity;
                white.alphaGen = AlphaGen::Identity;
                StageColors(white, batch_, light, entity, seconds_, colors_);
            } else {
                StageColors(stage, batch_, light, entity, seconds_, colors_);
            }
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors_.data());
        }
        StageTexCoords(stage, batch_, light, seconds_, texCoords_);
        // Our images lie bottom row first; the game's coordinates run down
        // from the top row.
        for (auto& st : texCoords_)
            st[1] = 1.0f - st[1];
        glTexCoordPointer(2, GL_FLOAT, 0, texCoords_.data());
        const size_t image = AnimationImage(stage.animationFrequency, textures.size(), seconds_);
        glBindTexture(GL_TEXTURE_2D, image < textures.size() ? textures[image] : 0);
        applyStageState(stage);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, indices_.data());
    }

    double seconds_;
    bool lightingOn_;
    BatchVertices batch_;
    std::vector<GLuint> indices_;
    std::vector<uint8_t> colors_;
    std::vector<std::array<float, 2>> texCoords_;
};

} // namespace

void DrawGameModel(const GamePart& root, double shaderSeconds)
{
    std::vector<DrawItem> items;
    size_t entities = 0;
    collect(root, items, entities);
    if (items.empty())
        return;
    // Opaque before blended, then the order shaders were first asked for,
    // then part, then surface: the game's draw order, with no sorting by
    // depth even for blended surfaces.
    std::stable_sort(items.begin(), items.end(), [](const DrawItem& a, const DrawItem& b) {
        if (a.shader->shader.sort != b.shader->shader.sort)
            return a.shader->shader.sort < b.shader->shader.sort;
        if (a.shader->order != b.shader->order)
            return a.shader->order < b.shader->order;
        return a.entity < b.entity;
    });

    const bool lightingOn = glIsEnabled(GL_LIGHTING) == GL_TRUE;
    // Everything the passes change is put back afterwards, so that nothing
    // reaches the axes, the overlay or the next frame.
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT | GL_TEXTURE_BIT |
                 GL_LIGHTING_BIT | GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);

    BatchDrawer drawer(shaderSeconds, lightingOn);
    for (size_t first = 0; first < items.size();) {
        size_t last = first + 1;
        while (last < items.size() && items[last].shader == items[first].shader &&
               items[last].entity == items[first].entity)
            ++last;
        drawer.draw(&items[first], &items[last]);
        first = last;
    }

    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

bool DrawsNothing(const BoundShader* shader) { return shader && shader->shader.stages.empty(); }

std::unordered_set<const TMesh*> MeshesDrawingNothing(const GamePart& root)
{
    std::unordered_set<const TMesh*> meshes;
    ForEachGamePart(root, [&](const GamePart& part) {
        for (size_t i = 0; i < part.model.Meshes.size(); ++i)
            if (DrawsNothing(part.ShaderOf(i)))
                meshes.insert(&part.model.Meshes[i]);
    });
    return meshes;
}

void DrawGamePlayer(GamePlayer& player, float seconds)
{
    UpdateGamePlayer(player, seconds);
    UseCharacterColours();
    DrawGameModel(player.Lower, seconds); // shaders run on the animation clock
}

MeshFrames GameMeshFrames(const TMD3Model& part)
{
    const int64_t frames = part.Header.NumFrames;
    const auto outside = [&](int32_t frame) { return frame < 0 || frame >= frames; };
    // The game shows the first frame's pose rather than none for frames the
    // part does not have.
    if (outside(part.CurrentFrame) || outside(part.NextFrame))
        return {};
    const auto current = static_cast<size_t>(part.CurrentFrame), next = static_cast<size_t>(part.NextFrame);
    return {current, next, current == next ? 0.0 : std::clamp(static_cast<double>(part.Blend), 0.0, 1.0)};
}

void GameTagMatrix(const TMD3Model& part, size_t tag, GLfloat matrix[16])
{
    std::fill_n(matrix, 16, 0.0f);
    for (int i = 0; i < 4; ++i)
        matrix[i * 5] = 1.0f;
    const size_t tagsPerFrame = part.Links.size();
    if (tag >= tagsPerFrame || part.Tags.size() < tagsPerFrame || tagsPerFrame == 0)
        return;
    const size_t frames = part.Tags.size() / tagsPerFrame;
    const std::string name = MD3Name(part.Tags[tag].Name);
    // Tags of frames past the last are the last frame's.
    const TMD3Tag* from = tagNamed(part, ClampFrame(part.CurrentFrame, frames), name);
    const TMD3Tag* to = tagNamed(part, ClampFrame(part.NextFrame, frames), name);
    if (!from || !to)
        return;
    const float f = std::clamp(part.Blend, 0.0f, 1.0f);
    for (int axis = 0; axis < 3; ++axis) {
        float v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = from->Axis[axis][c] * (1.0f - f) + to->Axis[axis][c] * f;
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int c = 0; c < 3; ++c)
            matrix[axis * 4 + c] = length > 0 ? v[c] / length : v[c];
    }
    for (int c = 0; c < 3; ++c)
        matrix[12 + c] = from->Origin[c] * (1.0f - f) + to->Origin[c] * f;
}
