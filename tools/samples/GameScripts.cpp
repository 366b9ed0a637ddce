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
           "\t\tmap /" + kOtherFolderShaderImage + " // the cloth is mira's; the game drops the slash\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "}\n\n" +
           kNoDrawShader +
           "\n"
           "{\n"
           "\tsurfaceparm nodraw\n"
           "\tsurfaceparm trans\n"
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
    return std::string("// work in progress\n"
                       "models/players/bruno/cape_draft\n") +
           "{\n"
           "\tcull none\n"
           "\t{\n"
           "\t\tmap " + kTwoSidedImage + "\n"
           "\t\tblendFunc blend\n"
           "}\n";
}

} // namespace samples

namespace samples {

std::string effectsScriptText()
{
    // One shader an effect, as packs write them: tab-indented, comments, the
    // body's own shaders named after their images.
    return R"(// vesta: every effect the game draws on a model, one shader each

// Skin "default": lit body parts, chrome, glowing lines, cut-outs, a visor.
models/players/vesta/legs
{
	{
		map models/players/vesta/legs.tga
		rgbGen lightingDiffuse
		alphaGen identity
	}
	{
		map models/players/vesta/chrome.tga
		tcGen environment
		blendFunc GL_DST_COLOR GL_ONE_MINUS_DST_ALPHA
		rgbGen identity
	}
}

models/players/vesta/torso
{
	{
		map models/players/vesta/torso.tga
		tcGen base
		rgbGen lightingDiffuse
	}
	{
		map models/players/vesta/lines.tga
		blendFunc add
		tcMod scroll 0 0.5
		tcMod scale 1 2
		rgbGen wave sin 0.5 0.5 0 0.5
	}
}

models/players/vesta/arms
{
	cull none
	{
		map models/players/vesta/arms.tga
		alphaFunc GE128
		depthWrite
		rgbGen lightingDiffuse
	}
}

models/players/vesta/cape
{
	cull disable
	{
		map models/players/vesta/cape.tga
		alphaFunc GT0
		rgbGen lightingDiffuse
	}
	{
		map $lightmap
		blendFunc filter
		depthFunc equal
	}
}

models/players/vesta/head
{
	{
		map models/players/vesta/head.tga
		rgbGen lightingDiffuse
	}
	{
		map $whiteimage
		blendFunc GL_SRC_ALPHA GL_ONE
		rgbGen const ( 1 0.95 0.85 )
		alphaGen lightingSpecular
	}
}

models/players/vesta/hair
{
	deformVertexes wave 40 sin 0 0.4 0 0.8
	{
		animMap 3 models/players/vesta/hair1.tga models/players/vesta/hair2.tga models/players/vesta/hair3.tga
		alphaFunc LT128
		rgbGen identityLighting
	}
}

// Drawn although the level compiler would skip it: a model has no use for nodraw.
models/players/vesta/visor
{
	surfaceparm nodraw
	sort additive
	{
		map models/players/vesta/visor.tga
		blendFunc add
		tcMod rotate 20
		rgbGen identity
	}
}

// Skin "motion": vertices that move, textures that turn.
models/players/vesta/pulse
{
	cull front
	deformVertexes bulge 2 0.6 3
	{
		map models/players/vesta/pulse.tga
		rgbGen wave square 0.4 0.6 0 1
	}
}

models/players/vesta/swirl
{
	{
		clampMap models/players/vesta/swirl.tga
		tcMod rotate 60
		tcMod stretch sin 1 0.15 0 0.5
		rgbGen lightingDiffuse
	}
	{
		map models/players/vesta/lines.tga
		blendFunc GL_ONE GL_ONE_MINUS_SRC_COLOR
		tcMod turb 0 0.1 0 0.4
	}
}

models/players/vesta/breathe
{
	deformVertexes normal 0.3 2
	deformVertexes move 0 0 0.5 sin 0 1 0 0.5
	{
		map models/players/vesta/arms.tga
		alphaFunc GE128
		rgbGen lightingDiffuse
	}
}

models/players/vesta/flag
{
	cull none
	deformVertexes wave 30 sin 0 1.5 0 1
	{
		map models/players/vesta/cape.tga
		rgbGen lightingDiffuse
	}
}

models/players/vesta/scan
{
	{
		map models/players/vesta/head.tga
		rgbGen lightingDiffuse
	}
	{
		map models/players/vesta/lines.tga
		blendFunc add
		tcMod scroll 0 -1
		rgbGen wave sawtooth 0 1 0 1
	}
}

// Sprites turn to face the eye in a level; on a model the deform is left out.
models/players/vesta/sprite
{
	deformVertexes autosprite
	{
		map models/players/vesta/hair1.tga
		alphaFunc GE128
	}
}

models/players/vesta/hidden
{
	surfaceparm nodraw
}

// Skin "entity": colours of the entity and the vertices, which a player has none of.
models/players/vesta/entity
{
	{
		map models/players/vesta/legs.tga
		rgbGen entity
	}
}

models/players/vesta/oneminus
{
	{
		map models/players/vesta/torso.tga
		rgbGen oneMinusEntity
		alphaGen oneMinusEntity
	}
}

models/players/vesta/vertex
{
	{
		map models/players/vesta/arms.tga
		alphaFunc GE128
		rgbGen vertex
	}
}

models/players/vesta/exact
{
	cull back
	{
		map models/players/vesta/cape.tga
		rgbGen exactVertex
	}
}

models/players/vesta/portal
{
	{
		map models/players/vesta/head.tga
		blendFunc blend
		rgbGen identity
		alphaGen portal 200
	}
}

models/players/vesta/ghost
{
	{
		map models/players/vesta/hair1.tga
		blendFunc blend
		rgbGen oneMinusVertex
		alphaGen entity
	}
}

// Skin "tables": every wave form, vectors and matrices.
models/players/vesta/triangle
{
	{
		map models/players/vesta/legs.tga
		rgbGen wave triangle 0.5 0.5 0 0.5
	}
}

models/players/vesta/noise
{
	{
		map models/players/vesta/torso.tga
		rgbGen wave noise 0.6 0.4 0 2
	}
}

models/players/vesta/inverse
{
	{
		map models/players/vesta/arms.tga
		alphaFunc GE128
		rgbGen wave inversesawtooth 0.3 0.7 0 1
		alphaGen const 1
	}
}

models/players/vesta/vector
{
	cull twosided
	{
		map models/players/vesta/swirl.tga
		tcGen vector ( 0.05 0 0 ) ( 0 0 0.05 )
		tcMod transform 1 0.3 0 1 0 0
		rgbGen identityLighting
	}
}

models/players/vesta/decal
{
	polygonOffset
	{
		map models/players/vesta/head.tga
		rgbGen lightingDiffuse
	}
	{
		map $whiteimage
		blendFunc blend
		rgbGen const ( 0.2 0.6 1 )
		alphaGen wave sin 0.3 0.3 0 1
	}
}

models/players/vesta/sawtooth
{
	{
		animMap 8 models/players/vesta/hair1.tga models/players/vesta/hair2.tga models/players/vesta/hair3.tga
		alphaFunc LT128
		rgbGen wave sawtooth 0.2 0.8 0.5 2
		tcMod scale 2 1
	}
}
)";
}

} // namespace samples
