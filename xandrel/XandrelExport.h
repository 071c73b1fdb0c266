// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Symbols of the Xandrel library that hosts may use.
#if defined(_WIN32)
#if defined(XANDREL_BUILDING)
#define XANDREL_EXPORT __declspec(dllexport)
#else
#define XANDREL_EXPORT __declspec(dllimport)
#endif
#else
#define XANDREL_EXPORT __attribute__((visibility("default")))
#endif
