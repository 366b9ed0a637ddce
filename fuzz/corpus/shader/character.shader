// the sample character's surfaces
models/players/sample/hair
{
	cull none
	deformVertexes wave 100 sin 0 0.5 0 0.4
	{
		map models/players/sample/hair.tga
		alphaFunc GE128
		depthWrite
		rgbGen lightingDiffuse
	}
}

models/players/sample/visor
{
	{
		map $lightmap
		rgbGen identity
	}
	{
		animMap 4 models/players/sample/visor1.tga models/players/sample/visor2.tga
		blendFunc GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA
		tcMod scroll 0.1 0
	}
	{
		map textures/effects/envmap.tga
		blendFunc add
		tcGen environment
	}
}

models/players/sample/shadow { surfaceparm nodraw }
models/players/sample/glow
{
	cull disable /* both faces */
	{ clampMap $whiteimage
 blendFunc filter
 alphaFunc GT0 }
}
