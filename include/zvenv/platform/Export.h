#pragma once

// Every public header includes this one, so a compiler set to an older
// language gets this message among the first errors it reports.
#if (defined(_MSVC_LANG) && _MSVC_LANG < 201703L) || (!defined(_MSVC_LANG) && __cplusplus < 201703L)
#error "ZvEnvMgr needs C++17 or later: compile with -std=c++17 (CMake consumers of ZvEnvMgr::ZvEnvMgr get it)"
#endif

// Symbol visibility of the project's shared libraries. Everything is hidden by
// default; these macros mark what a library exports.
#if defined(_WIN32)
#define ZV_DLL_EXPORT __declspec(dllexport)
#define ZV_DLL_IMPORT __declspec(dllimport)
#else
#define ZV_DLL_EXPORT __attribute__((visibility("default")))
#define ZV_DLL_IMPORT __attribute__((visibility("default")))
#endif

#ifdef ZVPLATFORM_BUILD
#define ZVPLATFORM_API ZV_DLL_EXPORT
#else
#define ZVPLATFORM_API ZV_DLL_IMPORT
#endif

#ifdef ZVUTIL_BUILD
#define ZVUTIL_API ZV_DLL_EXPORT
#else
#define ZVUTIL_API ZV_DLL_IMPORT
#endif

#ifdef ZVENVMGR_BUILD
#define ZVENVMGR_API ZV_DLL_EXPORT
#else
#define ZVENVMGR_API ZV_DLL_IMPORT
#endif
