// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/ModelRegistry.h"

#include "xandrel/device/ModelCatalog.h"

namespace {

const char* ModeName(unsigned mode)
{
    return xandrel::ModelOfMode(mode)->displayName;
}

}  // namespace

const uint32_t D_MatrixModeNumber = 11;

// The names live in the model catalog, which is constant data and so ready
// before this table is filled when the library loads.
const char* const D_MatrixModeName[11] = {
    ModeName(0), ModeName(1), ModeName(2), ModeName(3), ModeName(4),  ModeName(5),
    ModeName(6), ModeName(7), ModeName(8), ModeName(9), ModeName(10),
};

const uint32_t D_MatrixModeMapping[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

INFODEVICEMATRIXBASE* CreateMatrixModeObject(uint32_t mode)
{
    const xandrel::ModelSpec* model = xandrel::ModelOfMode(mode);
    return model ? model->create() : nullptr;
}
