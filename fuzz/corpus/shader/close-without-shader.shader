first { { map a.tga } }
}
lost { }
