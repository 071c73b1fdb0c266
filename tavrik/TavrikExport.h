// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Symbols of the Tavrik port library that other deliverables may use.
#if defined(_WIN32)
#if defined(TAVRIK_BUILDING)
#define TAVRIK_EXPORT __declspec(dllexport)
#else
#define TAVRIK_EXPORT __declspec(dllimport)
#endif
#else
#define TAVRIK_EXPORT __attribute__((visibility("default")))
#endif
