#pragma once
// cpp-httplib, for the server and its tests. On Windows it brings in the
// system's headers, which are kept lean and from defining min and max.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#endif
#include <httplib.h>
