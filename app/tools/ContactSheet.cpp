#include "ContactSheet.h"

#include "app/common/CharacterChoice.h"
#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "textures/ImageMemory.h"
#include "platform/images/PngFile.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace {

constexpr int kDefaultCellSide = 256;
constexpr int kDefaultColumns = 6;
// A sheet's side and size in memory; beyond them the sheet is refused
// before anything is drawn rather than failing halfway.
constexpr int64_t kLargestSheetSide = 65535;
constexpr uint64_t kLargestSheetBytes = 1ull << 30;
constexpr int kProgressBarWidth = 24;

struct Cell {
    CharacterChoice choice;
    std::string label;    // NAME, or NAME/SKIN for a sheet of every skin
    std::string progress; // NAME/SKIN
};

struct SheetLayout {
    int cellWidth = 0;
    int cellHeight = 0;
    int columns = 0;
    int64_t rows = 0;
    int64_t width = 0;
    int64_t height = 0;
};

// The cells in name order: the characters sorted by name ignoring letter
// case (the game root's are already), each with its skins in ListSkins order.
// Throws CharacterError, and platform::EInOutError for game data that cannot
// be mounted again.
std::vector<Cell> listCells(const CommandLine& options)
{
    std::vector<CharacterChoice> characters = ResolveCharacterList(options);
    std::stable_sort(characters.begin(), characters.end(), [](const CharacterChoice& a, const CharacterChoice& b) {
        return platform::LowerCase(a.name) < platform::LowerCase(b.name);
    });
    std::vector<Cell> cells;
    for (const CharacterChoice& character : characters) {
        std::vector<std::string> skins{character.skin};
        if (options.allSkins) {
            MountChoice(character);
            if (std::vector<std::string> all = ListSkins(character.folder); !all.empty())
                skins = std::move(all);
        }
        for (const std::string& skin : skins) {
            Cell cell{character, character.name, character.name + "/" + skin};
            cell.choice.skin = skin;
            if (options.allSkins)
                cell.label = cell.progress;
            cells.push_back(std::move(cell));
        }
    }
    return cells;
}

// The sheet's size for the cells; throws CharacterError when it is too large.
SheetLayout layOut(const CommandLine& options, size_t cellCount)
{
    SheetLayout layout;
    layout.cellWidth = options.cell ? options.cell->first : kDefaultCellSide;
    layout.cellHeight = options.cell ? options.cell->second : kDefaultCellSide;
    layout.columns = options.columns.value_or(kDefaultColumns);
    layout.rows = static_cast<int64_t>((cellCount + static_cast<size_t>(layout.columns) - 1) /
                                       static_cast<size_t>(layout.columns));
    // Both factors are below 2^31 (the command line caps cells at 16384 a
    // side), so the products cannot overflow 64 bits.
    layout.width = int64_t{layout.columns} * layout.cellWidth;
    layout.height = layout.rows * layout.cellHeight;
    const bool tooLarge = layout.width > kLargestSheetSide || layout.height > kLargestSheetSide ||
                          static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height) * 3 >
                              kLargestSheetBytes;
    if (tooLarge)
        throw CharacterError("a sheet of " + std::to_string(layout.width) + "x" + std::to_string(layout.height) +
                             " pixels is too large (at most " + std::to_string(kLargestSheetSide) +
                             " a side and " + std::to_string(kLargestSheetBytes >> 20) +
                             " MiB); use fewer --columns or a smaller --cell");
    return layout;
}

// Copies a cell's picture to its place: cells run left to right, top row
// first, while the sheet's pixel rows run bottom-up as the cells' do.
void paste(std::vector<uint8_t>& sheet, const SheetLayout& layout, size_t index, const Picture& cell)
{
    const int64_t column = static_cast<int64_t>(index % static_cast<size_t>(layout.columns));
    const int64_t rowFromTop = static_cast<int64_t>(index / static_cast<size_t>(layout.columns));
    const int64_t x = column * layout.cellWidth;
    const int64_t y = (layout.rows - 1 - rowFromTop) * layout.cellHeight;
    const size_t rowBytes = static_cast<size_t>(layout.cellWidth) * 3;
    for (int line = 0; line < layout.cellHeight; ++line) {
        const size_t to = static_cast<size_t>(((y + line) * layout.width + x) * 3);
        std::memcpy(&sheet[to], &cell.rgb[static_cast<size_t>(line) * rowBytes], rowBytes);
    }
}

// Progress on standard error: a line per cell, or on a terminal one bar
// rewritten in place, ended before any other line is written.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), terminal_(platform::StandardErrorIsTerminal()) {}
    ~Progress() { endLine(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Step(size_t k, const std::string& name)
    {
        if (!terminal_) {
            std::fprintf(stderr, "[%zu/%zu] %s\n", k, total_, name.c_str());
            return;
        }
        const size_t filled = total_ == 0 ? 0 : k * kProgressBarWidth / total_;
        const std::string bar = std::string(filled, '#') + std::string(kProgressBarWidth - filled, ' ');
        // Back to the line's start, and the rest of the line cleared.
        std::fprintf(stderr, "\r[%s] %zu/%zu %s\x1b[K", bar.c_str(), k, total_, name.c_str());
        std::fflush(stderr);
        open_ = true;
    }
    void Report(const std::string& line)
    {
        endLine();
        std::fprintf(stderr, "%s\n", line.c_str());
    }

private:
    void endLine()
    {
        if (open_)
            std::fputc('\n', stderr);
        open_ = false;
    }

    size_t total_;
    bool terminal_;
    bool open_ = false;
};

// Why the sheet could not be written to path, found before anything is
// drawn, or "". The folder is taken exactly as written (letter case too), as
// the file will be opened.
std::string outputFolderProblem(const std::string& path)
{
    const std::string given = platform::ExtractFilePath(path);
    const std::string folder = given.empty() ? "." : given;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return "no folder " + folder;
    if (platform::FolderRefusesWrites(folder) || ::access(folder.c_str(), W_OK) != 0)
        return "the folder " + folder + " cannot be written";
    return "";
}

// Draws every cell; failed counts the characters that could not be drawn.
std::vector<uint8_t> drawSheet(const std::vector<Cell>& cells, const SheetLayout& layout, size_t& failed)
{
    PictureStudio studio(layout.cellWidth, layout.cellHeight);
    std::vector<uint8_t> sheet(static_cast<size_t>(layout.width * layout.height * 3));
    const Picture blank = studio.DrawBlank();
    for (size_t i = cells.size(); i < static_cast<size_t>(layout.rows * layout.columns); ++i)
        paste(sheet, layout, i, blank);
    Progress progress(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        progress.Step(i + 1, cell.progress);
        Picture picture;
        try {
            picture = studio.DrawCharacter(cell.choice, cell.label);
        } catch (const std::exception& e) {
            progress.Report("Quillmo: " + cell.label + ": " + e.what());
            picture = studio.DrawFailure(cell.label, e.what());
            ++failed;
        }
        paste(sheet, layout, i, picture);
    }
    return sheet;
}

} // namespace

int RunContactSheet(const CommandLine& options)
{
    platform::SetNonInteractive(true);
    // Archives left out while the characters are listed count too.
    const size_t problemsBefore = platform::LoadProblemCount();
    const std::string& output = *options.contactSheet;
    std::vector<Cell> cells;
    SheetLayout layout;
    try {
        cells = listCells(options);
        if (cells.empty())
            throw CharacterError("no characters to draw");
        layout = layOut(options, cells.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    if (const std::string problem = outputFolderProblem(output); !problem.empty()) {
        std::fprintf(stderr, "Quillmo: cannot write %s: %s\n", output.c_str(), problem.c_str());
        return kExitCannotRun;
    }
    std::vector<uint8_t> sheet;
    size_t failed = 0;
    try {
        OffscreenRun run;
        UseDecodedImageSide(std::max(layout.cellWidth, layout.cellHeight));
        sheet = drawSheet(cells, layout, failed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    const bool whole = failed == 0 && platform::LoadProblemCount() == problemsBefore;
    return FinishOutput(whole ? kExitDone : kExitProblems, [&] {
        platform::WritePng(output, static_cast<int>(layout.width), static_cast<int>(layout.height), sheet);
    });
}
