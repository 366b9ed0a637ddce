"Models\Players\Quoted Name" {
{ MAP *white
BLENDFUNC gl_dst_color GL_SRC_COLOR }
}
twice { } twice { cull twosided }
/* a comment
over lines */ deep { { { { map x.tga } } } }
paths { { map textures//a.tga// } }
empty { { animMap 10 } { map "" } }
hidden
{
	surfaceparm nodraw
	{
		map a.tga
		blendFunc add
	}
}
