// Reading MD3 files. The file is untrusted: every count and offset is
// checked against the file's size before any array is allocated (the
// triangles, whose indices are checked next, are the only array read before
// the whole file is found sound), and the part is only changed once it has.
#include "Model.h"

#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

double NormalTable[256][256][3];

namespace {

constexpr uint64_t kHeaderSize = sizeof(TMD3Header);
constexpr uint64_t kSurfaceHeaderSize = sizeof(TMD3SurfaceHeader);
constexpr uint64_t kWholeFileReadBytes = 64 * 1024;

// Where the parser's bytes come from. A file is read at offsets, so that
// each array goes from the file straight into its vector in one block read,
// with no copy of the whole file in between. Callers check every range
// against size() first.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    virtual void copy(uint64_t offset, void* target, uint64_t count) const = 0;
    // Every range; a file reads them in as few system calls as it can.
    virtual void copyAll(std::span<const platform::files::FileRange> ranges) const
    {
        for (const platform::files::FileRange& range : ranges)
            copy(range.offset, range.target, range.count);
    }
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    void copy(uint64_t offset, void* target, uint64_t count) const override
    {
        std::memcpy(target, bytes_.data() + offset, count);
    }

private:
    std::span<const uint8_t> bytes_;
};

// A file of the file layer, read at offsets.
class OpenedFileSource final : public ByteSource {
public:
    explicit OpenedFileSource(const platform::files::OpenedFile& file) : file_(file) {}
    uint64_t size() const override { return file_.Size(); }
    void copy(uint64_t offset, void* target, uint64_t count) const override { file_.ReadAt(offset, target, count); }
    void copyAll(std::span<const platform::files::FileRange> ranges) const override { file_.ReadRanges(ranges); }

private:
    const platform::files::OpenedFile& file_;
};

// Where the arrays of one surface lie in the file, once checked.
struct SurfaceLayout {
    uint64_t start = 0;
    TMD3SurfaceHeader header{};
    uint64_t shaders = 0;
    uint64_t triangles = 0;
    uint64_t texCoords = 0;
    uint64_t vertices = 0;
    uint64_t vertexCount = 0; // Fs x V
};

class Md3Parser {
public:
    Md3Parser(const std::string& fileName, const ByteSource& source, Md3Arrangement arrangement)
        : fileName_(fileName), source_(source), atOffsets_(arrangement == Md3Arrangement::AtOffsets)
    {
    }

    TMD3Header readHeader() const
    {
        if (size() < kHeaderSize)
            fail("the header runs past the end of the file");
        return read<TMD3Header>(0);
    }

    // Checks the whole layout, then fills parsed. Throws EInOutError.
    void parse(const TMD3Header& header, TMD3Model& parsed) const
    {
        const uint64_t frames = requireCount(header.NumFrames, "frame count");
        const uint64_t tagsPerFrame = requireCount(header.NumTags, "tag count");
        const uint64_t surfaces = requireCount(header.NumSurfaces, "surface count");

        // The viewer reads the standard arrangement (frames after the
        // header, tags after the frames, the first surface after the tags);
        // the game reads each array where the header's offset says.
        const uint64_t framesStart = atOffsets_ ? headerOffset(header.OfsFrames, "frame") : kHeaderSize;
        const uint64_t framesEnd = requireArray(framesStart, frames, sizeof(TMD3Frame), size(), "frames");
        const uint64_t tagsStart = atOffsets_ ? headerOffset(header.OfsTags, "tag") : framesEnd;
        // Even without frames the tag count sizes the link array, so it must
        // stay within what the file could hold.
        if (tagsPerFrame > size() / sizeof(TMD3Tag))
            fail("tag count " + std::to_string(tagsPerFrame) + " does not fit in the file");
        uint64_t tagsEnd = tagsStart;
        if (frames > 0) {
            if (tagsStart > size() || tagsPerFrame > (size() - tagsStart) / sizeof(TMD3Tag) / frames)
                fail("tags run past the end of the file");
            tagsEnd = tagsStart + frames * tagsPerFrame * sizeof(TMD3Tag);
        }
        const uint64_t surfacesStart = atOffsets_ ? headerOffset(header.OfsSurfaces, "surface") : tagsEnd;
        if (surfacesStart > size() || surfaces > (size() - surfacesStart) / kSurfaceHeaderSize)
            fail("surface count " + std::to_string(surfaces) + " does not fit in the file");

        std::vector<SurfaceLayout> layouts(surfaces);
        uint64_t position = surfacesStart;
        for (uint64_t i = 0; i < surfaces; ++i) {
            layouts[i] = checkSurface(position, i + 1);
            position += static_cast<uint64_t>(layouts[i].header.OfsEnd);
        }

        // Every array is read at once, straight into its place: a file on
        // disk reads them in one scattered read where they lie one after
        // another, as writers lay them out.
        std::vector<platform::files::FileRange> ranges;
        placeArray(ranges, parsed.Frames, framesStart, frames);
        placeArray(ranges, parsed.Tags, tagsStart, frames * tagsPerFrame);
        parsed.Links.assign(tagsPerFrame, nullptr);
        parsed.Meshes.resize(surfaces);
        for (uint64_t i = 0; i < surfaces; ++i) {
            const SurfaceLayout& layout = layouts[i];
            TMesh& mesh = parsed.Meshes[i];
            mesh.Header = layout.header;
            placeArray(ranges, mesh.Shaders, layout.shaders, static_cast<uint64_t>(layout.header.NumShaders));
            placeArray(ranges, mesh.Triangles, layout.triangles, static_cast<uint64_t>(layout.header.NumTriangles));
            placeArray(ranges, mesh.TexCoords, layout.texCoords, static_cast<uint64_t>(layout.header.NumVerts));
            placeArray(ranges, mesh.Vertices, layout.vertices, layout.vertexCount);
        }
        source_.copyAll(ranges);
        for (uint64_t i = 0; i < surfaces; ++i)
            checkTriangles(parsed.Meshes[i], i + 1);
    }

private:
    uint64_t size() const { return source_.size(); }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw platform::EInOutError("Model file \"" + fileName_ + "\": " + what);
    }

    template <class T> T read(uint64_t offset) const
    {
        T record;
        source_.copy(offset, &record, sizeof(T));
        return record;
    }

    // Sizes an array and notes where its records come from: one block copy
    // per array, the records keep their file layout.
    template <class T>
    static void placeArray(std::vector<platform::files::FileRange>& ranges, RecordArray<T>& target, uint64_t offset,
                           uint64_t count)
    {
        target.resize(count);
        if (count > 0)
            ranges.push_back({offset, target.data(), count * sizeof(T)});
    }

    // Every corner of every triangle is a vertex of its surface.
    void checkTriangles(const TMesh& mesh, uint64_t number) const
    {
        const auto vertsPerFrame = static_cast<uint64_t>(mesh.Header.NumVerts);
        for (size_t t = 0; t < mesh.Triangles.size(); ++t) {
            for (int32_t index : mesh.Triangles[t].Index) {
                if (index < 0 || static_cast<uint64_t>(index) >= vertsPerFrame)
                    fail("surface " + std::to_string(number) + " triangle " + std::to_string(t + 1) +
                         " has vertex index " + std::to_string(index) + " outside 0 ... " +
                         std::to_string(static_cast<int64_t>(vertsPerFrame) - 1));
            }
        }
    }

    uint64_t requireCount(int32_t count, const std::string& what) const
    {
        if (count < 0)
            fail(what + " " + std::to_string(count) + " is negative");
        return static_cast<uint64_t>(count);
    }

    // Checks that count records of recordSize bytes starting at offset end at
    // or before limit; returns where they end.
    uint64_t requireArray(uint64_t offset, uint64_t count, uint64_t recordSize, uint64_t limit,
                          const std::string& what, const char* end = "the file") const
    {
        if (offset > limit || count > (limit - offset) / recordSize)
            fail(what + " run past the end of " + end);
        return offset + count * recordSize;
    }

    // An array offset of the header counts from the file's start.
    uint64_t headerOffset(int32_t offset, const std::string& what) const
    {
        if (offset < 0)
            fail(what + " offset " + std::to_string(offset) + " is negative");
        return static_cast<uint64_t>(offset);
    }

    // An array offset of a surface counts from the surface's start.
    uint64_t requireOffset(const SurfaceLayout& layout, int32_t offset, const std::string& what) const
    {
        if (offset < 0)
            fail(what + " offset " + std::to_string(offset) + " lies before the surface");
        return layout.start + static_cast<uint64_t>(offset);
    }

    // Checks the surface's arrays against limit, the end of the file or of
    // the surface.
    void requireSurfaceArrays(const SurfaceLayout& layout, uint64_t limit, const char* end,
                              const std::string& surface) const
    {
        const TMD3SurfaceHeader& h = layout.header;
        const auto vertsPerFrame = static_cast<uint64_t>(h.NumVerts);
        requireArray(layout.shaders, static_cast<uint64_t>(h.NumShaders), sizeof(TMD3Shader), limit,
                     surface + " shaders", end);
        requireArray(layout.triangles, static_cast<uint64_t>(h.NumTriangles), sizeof(TMD3Triangle), limit,
                     surface + " triangles", end);
        requireArray(layout.texCoords, vertsPerFrame, sizeof(TMD3TexCoord), limit, surface + " texture coordinates",
                     end);
        // Without vertices per frame the vertex array is empty, whatever the
        // frame count says.
        requireArray(layout.vertices, 0, sizeof(TMD3Vertex), limit, surface + " vertices", end);
        if (vertsPerFrame > 0 &&
            static_cast<uint64_t>(h.NumFrames) > (limit - layout.vertices) / sizeof(TMD3Vertex) / vertsPerFrame)
            fail(surface + " vertices run past the end of " + end);
    }

    SurfaceLayout checkSurface(uint64_t start, uint64_t number) const
    {
        const std::string surface = "surface " + std::to_string(number);
        SurfaceLayout layout;
        layout.start = start;
        if (start > size() || size() - start < kSurfaceHeaderSize)
            fail(surface + " header runs past the end of the file");
        layout.header = read<TMD3SurfaceHeader>(start);
        const TMD3SurfaceHeader& h = layout.header;
        const uint64_t vertexFrames = requireCount(h.NumFrames, surface + " vertex frame count");
        requireCount(h.NumShaders, surface + " shader count");
        const uint64_t vertsPerFrame = requireCount(h.NumVerts, surface + " vertex count");
        requireCount(h.NumTriangles, surface + " triangle count");
        // The viewer takes the shader records from right after the surface
        // header; the game from where the surface's shader offset says.
        layout.shaders = atOffsets_ ? requireOffset(layout, h.OfsShaders, surface + " shader")
                                    : start + kSurfaceHeaderSize;
        layout.triangles = requireOffset(layout, h.OfsTriangles, surface + " triangle");
        layout.texCoords = requireOffset(layout, h.OfsSt, surface + " texture coordinate");
        layout.vertices = requireOffset(layout, h.OfsXyzNormal, surface + " vertex");
        requireSurfaceArrays(layout, size(), "the file", surface);

        // Each surface holds its own records and the next one starts at its
        // end. Keeping the arrays inside the surface also keeps surfaces from
        // sharing one block of the file many times over.
        if (h.OfsEnd < static_cast<int32_t>(kSurfaceHeaderSize) || static_cast<uint64_t>(h.OfsEnd) > size() - start)
            fail(surface + " end offset " + std::to_string(h.OfsEnd) + " does not fit in the file");
        requireSurfaceArrays(layout, start + static_cast<uint64_t>(h.OfsEnd), "the surface", surface);
        layout.vertexCount = vertsPerFrame == 0 ? 0 : vertexFrames * vertsPerFrame;
        return layout;
    }

    const std::string& fileName_;
    const ByteSource& source_;
    bool atOffsets_;
};

void loadFromSource(TMD3Model& part, const std::string& fileName, const ByteSource& source, Md3Arrangement arrangement)
{
    Md3Parser parser(fileName, source, arrangement);
    const TMD3Header header = parser.readHeader();
    if (!IsMD3Header(header)) {
        // Not a file this reader knows: keep what was read, change nothing else.
        part.FileName = fileName;
        part.Header = header;
        return;
    }

    TMD3Model parsed;
    parser.parse(header, parsed);

    part.FileName = fileName;
    part.Header = header;
    part.Frames = std::move(parsed.Frames);
    part.Tags = std::move(parsed.Tags);
    part.Links = std::move(parsed.Links);
    part.Meshes = std::move(parsed.Meshes);
    part.StartFrame = 0;
    part.EndFrame = header.NumFrames - 1;
}

} // namespace

bool IsMD3Header(const TMD3Header& header)
{
    const char expected[4] = {'I', 'D', 'P', '3'};
    for (int i = 0; i < 4; ++i) {
        if (std::toupper(static_cast<unsigned char>(header.Ident[i])) != expected[i])
            return false;
    }
    return header.Version == kMD3Version;
}

std::string MD3Name(const char (&field)[kMD3NameLength])
{
    // A name that fills its field without a NUL is cut at the field's width.
    return std::string(field, strnlen(field, kMD3NameLength));
}

void LoadMD3FromBytes(TMD3Model& part, const std::string& fileName, std::span<const uint8_t> bytes, Md3Arrangement arrangement)
{
    loadFromSource(part, fileName, MemorySource(bytes), arrangement);
}

void LoadMD3(TMD3Model& part, const std::string& fileName, Md3Arrangement arrangement)
{
    const std::unique_ptr<platform::files::OpenedFile> file = platform::files::OpenFileIfExists(fileName);
    if (!file)
        return;
    // A large file is read array by array straight into the part. A small
    // one is cheaper read whole in one go and copied from memory than
    // fetched in a dozen small reads.
    if (file->Size() > kWholeFileReadBytes) {
        loadFromSource(part, fileName, OpenedFileSource(*file), arrangement);
        return;
    }
    std::vector<uint8_t> bytes(file->Size());
    file->ReadAt(0, bytes.data(), bytes.size());
    LoadMD3FromBytes(part, fileName, bytes, arrangement);
}

void BuildNormalTable()
{
    // A full turn is 255 steps of the angle bytes, not 256. Each byte has
    // only 256 values, so each angle's sine and cosine is taken once.
    const long double pi = std::numbers::pi_v<long double>;
    std::array<long double, 256> sines{};
    std::array<long double, 256> cosines{};
    for (int step = 0; step < 256; ++step) {
        const long double theta = (2.0L * step) * pi / 255.0L;
        sines[step] = std::sin(theta);
        cosines[step] = std::cos(theta);
    }
    for (int u = 0; u < 256; ++u) {
        for (int w = 0; w < 256; ++w) {
            NormalTable[u][w][0] = static_cast<double>(cosines[w] * sines[u]);
            NormalTable[u][w][1] = static_cast<double>(sines[w] * sines[u]);
            NormalTable[u][w][2] = static_cast<double>(cosines[u]);
        }
    }
}

std::array<uint8_t, 2> NearestNormalCode(double x, double y, double z)
{
    if (NormalTable[0][0][2] != 1.0)
        BuildNormalTable();
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length))
        return {0, 0};
    x /= length;
    y /= length;
    z /= length;
    // A direction has two pairs of angles: (u, w) and (-u, w + half a turn).
    // The bytes nearest each are searched around it.
    const double steps = 255.0 / (2.0 * std::numbers::pi);
    const double u = std::acos(std::clamp(z, -1.0, 1.0)) * steps;
    double w = std::atan2(y, x) * steps;
    if (w < 0)
        w += 255.0;
    std::array<uint8_t, 2> best{0, 0};
    double bestDot = -2.0;
    const auto search = [&](double around, double turn) {
        const int u0 = static_cast<int>(std::floor(around)), w0 = static_cast<int>(std::floor(turn));
        for (int ui = std::max(0, u0 - 1); ui <= std::min(255, u0 + 2); ++ui)
            for (int wi = w0 - 1; wi <= w0 + 2; ++wi) {
                const int wrapped = ((wi % 255) + 255) % 255;
                const double* n = NormalTable[ui][wrapped];
                const double dot = n[0] * x + n[1] * y + n[2] * z;
                if (dot > bestDot) {
                    bestDot = dot;
                    best = {static_cast<uint8_t>(ui), static_cast<uint8_t>(wrapped)};
                }
            }
    };
    search(u, w);
    search(255.0 - u, std::fmod(w + 127.5, 255.0));
    return best;
}
