// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modes an operator can choose: indices 0-10, their display names and
// the order a mode list shows them in.
#include <cstdint>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

XANDREL_EXPORT extern const uint32_t D_MatrixModeNumber;       // 11
XANDREL_EXPORT extern const char* const D_MatrixModeName[11];  // by mode index
XANDREL_EXPORT extern const uint32_t D_MatrixModeMapping[11];  // list position -> mode index

// A new model of the mode's class, owned by the caller; null for a mode above 10.
XANDREL_EXPORT INFODEVICEMATRIXBASE* CreateMatrixModeObject(uint32_t mode);
