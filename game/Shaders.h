#pragma once
// Shader scripts of game data (character mode only). A skin line may name a
// shader instead of an image: "models/players/NAME/hair", no such file, but a
// definition in one of the game root's scripts/*.shader files:
//
//   models/players/NAME/hair      // the shader's name
//   {
//       cull none                 // keyword lines of the shader itself
//       {                         // a stage: keyword lines of one drawing pass
//           map models/players/NAME/hair.tga
//           blendFunc GL_ONE GL_ONE
//       }
//   }
//
// Tokens (cut as GameTokens.h cuts shader scripts) are separated by
// whitespace; "..." quotes one token; "//" and "/* */" comments may start
// wherever a token may. A keyword line runs to the end of its text line (or
// to a brace). Keywords and shader names are read
// without regard to letter case; blocks nested inside a stage are skipped.
//
// Which definition counts when a name is defined more than once is the
// game's: it lists the script files mount by mount, the last mount first
// (ListFilesByMount), joins their texts in the opposite order and takes the
// first definition of a name in the joined text. So within one file the first
// definition counts, and across files the one of the file listed last: of an
// earlier archive, not a later one, and a script of the loose files loses to
// a script of another name in any archive. Files are added to the table in
// the game's list order.
#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A file that could not be read to its end. The game then ignores the whole
// file, and so does the table.
struct ShaderProblem {
    std::string fileName;
    size_t line = 0; // 1-based; 0 when the file could not be read at all
    std::string message; // "FILE, line N: what is wrong", ready to show
};

// The tokens of one keyword line. The keyword (the first token) is stored in
// lower case, its arguments as written.
using ShaderLine = std::vector<std::string>;

// One stage block: one drawing pass of a shader.
struct ShaderStage {
    std::vector<ShaderLine> lines;
    size_t afterLines = 0; // how many of the shader's own keyword lines come before it
};

// Where a definition is written.
struct ShaderPlace {
    std::string fileName;
    size_t line = 0;
};

struct ShaderDefinition {
    std::string name; // lower case, separators as written
    std::string fileName; // the script it was read from
    size_t line = 0; // the line of its name
    std::vector<ShaderLine> lines; // keyword lines outside the stages
    std::vector<ShaderStage> stages;
    std::vector<ShaderPlace> overrides; // the other definitions of the name, which this one wins over
    // Where it is written in its file's bytes: from its name to its closing
    // brace, both included.
    size_t textBegin = 0, textEnd = 0;
};

// The text of definition as written in its script's text (the bytes the
// table read it from), or "" when the span does not lie in text.
std::string_view DefinitionText(const ShaderDefinition& definition, std::string_view text);

// Lower-cases a shader name, the form names are stored and looked up in
// ("\" and "/" stay as written: the game tells them apart in shader names).
std::string NormalShaderName(std::string_view name);

// The definitions of every shader script read so far.
class ShaderTable {
public:
    // Reads the shader script text of fileName (a path from the game root)
    // into the table; its definitions win over those of the files added
    // before. A broken file (unbalanced braces, a brace or a stray token
    // where a shader name or its "{" belongs, the end of the file inside a
    // block) adds one problem to problems and nothing to the table, as the
    // game ignores the whole file. Throws nothing but std::bad_alloc.
    void AddFile(const std::string& fileName, std::string_view text, std::vector<ShaderProblem>& problems);

    // The definition of name (letter case ignored). A name
    // with an extension that names no shader is also tried without it, as a
    // skin may say "hair.tga" for the shader "hair". nullptr when none.
    const ShaderDefinition* Find(std::string_view name) const;

    // Every definition by its stored name.
    const std::map<std::string, ShaderDefinition>& All() const { return definitions_; }

private:
    void add(ShaderDefinition definition);

    std::map<std::string, ShaderDefinition> definitions_;
};

// The folder of the shader scripts in a game root.
inline constexpr std::string_view kShaderScriptFolder = "scripts";

// The scripts/*.shader files of the mounted game data (extension in any
// letter case) in the game's list order (ListFilesByMount), as paths from
// the game root. Throws nothing but std::bad_alloc.
//
// Inline, as LoadShaderScripts below, so that only programs that call it
// need the file layer linked in.
inline std::vector<std::string> ShaderScriptFiles()
{
    constexpr std::string_view kExtension = ".shader";
    const std::string folder(kShaderScriptFolder);
    std::vector<std::string> paths;
    for (const std::string& name : platform::files::ListFilesByMount(folder)) {
        if (name.size() > kExtension.size() &&
            NormalShaderName(name.substr(name.size() - kExtension.size())) == kExtension)
            paths.push_back(folder + "/" + name);
    }
    return paths;
}

// Reads every file of ShaderScriptFiles() in its order through the file
// layer. A file that cannot be read adds a problem (line 0) and the others
// still load. Throws nothing but std::bad_alloc.
//
// Inline so that only programs that call it need the file layer linked in:
// the parser's tests and fuzzer link without it.
inline ShaderTable LoadShaderScripts(std::vector<ShaderProblem>& problems)
{
    ShaderTable table;
    for (const std::string& path : ShaderScriptFiles()) {
        std::vector<uint8_t> bytes;
        try {
            bytes = platform::files::ReadFileBytes(path);
        } catch (const platform::EInOutError& error) {
            problems.push_back({path, 0, error.what()});
            continue;
        }
        table.AddFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), problems);
    }
    return table;
}
