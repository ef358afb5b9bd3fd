#pragma once
// cpp-httplib, for the server and its tests. On Windows it brings in the
// system's headers, which are kept lean and from defining min and max.
//
// The listening socket's backlog: a burst of connections from the page's
// reloads and its streams waits in it rather than being refused, which at
// the library's own five it soon would be. The system caps it at its own
// maximum (somaxconn).

#ifndef CPPHTTPLIB_LISTEN_BACKLOG
#define CPPHTTPLIB_LISTEN_BACKLOG 1024
#endif
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#endif
#include <httplib.h>
