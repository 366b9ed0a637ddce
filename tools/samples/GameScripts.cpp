#include "tools/samples/GameScripts.h"

#include "tools/samples/SampleGame.h"

namespace samples {

namespace {

std::string withCrlf(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

std::string characterScriptText()
{
    // The hair's lightmap stage comes first, as in shaders copied from level
    // surfaces; a character has no lightmap, so the strands give its look.
    return std::string("// bruno and mira\n\n") + kAlphaTestedShader +
           "\n"
           "{\n"
           "\t{\n"
           "\t\tmap $lightmap\n"
           "\t\trgbGen identity\n"
           "\t}\n"
           "\t{\n"
           "\t\tclampMap " + kAlphaTestedImage + "\n"
           "\t\talphaFunc GE128\n"
           "\t\tdepthWrite\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "}\n\n" +
           kTwoSidedShader +
           "\n"
           "{\n"
           "\tcull none\n"
           "\t{\n"
           "\t\tmap " + kTwoSidedImage + "\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "\t{\n"
           "\t\tmap $whiteimage\n"
           "\t\tblendFunc filter\n"
           "\t}\n"
           "}\n\n" +
           kOtherFolderShader +
           "\n"
           "{\n"
           "\tcull twosided\n"
           "\t{\n"
           "\t\tmap " + kOtherFolderShaderImage + " // the cloth is mira's\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "}\n";
}

std::string weaponScriptText()
{
    // The animMap lists the images it cycles through; its first stands for
    // all of them.
    return withCrlf(std::string(kBlendedShader) +
                    "\n"
                    "{\n"
                    "\t{\n"
                    "\t\tanimMap 4 " + kBlendedImage + " models/weapons2/railgun/railgun4.jpg\n"
                    "\t\tblendFunc add\n"
                    "\t\trgbGen wave sin 0.6 0.4 0 1\n"
                    "\t}\n"
                    "}\n");
}

std::string brokenScriptText()
{
    return std::string("// work in progress\n") + kNoDrawShader +
           "\n"
           "{\n"
           "\tsurfaceparm nodraw\n"
           "\tsurfaceparm trans\n"
           "\t{\n"
           "\t\tmap $whiteimage\n"
           "\t}\n"
           "}\n\n"
           "models/players/bruno/cape_draft\n"
           "{\n"
           "\tcull none\n"
           "\t{\n"
           "\t\tmap " + kTwoSidedImage + "\n"
           "\t\tblendFunc blend\n"
           "}\n";
}

} // namespace samples
