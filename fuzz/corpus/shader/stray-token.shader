first { }
stray
lost
{
}
