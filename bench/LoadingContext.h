#pragma once
// The small offscreen GL context in which the benchmarks that load
// characters upload their textures: made once, on first use, for the
// process's life.
#include "support/HeadlessGL.h"

inline testsupport::HeadlessGL& LoadingContext()
{
    static testsupport::HeadlessGL gl(64, 64);
    return gl;
}
