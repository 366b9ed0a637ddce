first { }
lost {
	{
		map a.tga
