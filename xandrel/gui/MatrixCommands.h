// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window's command identifiers: the toolbar's buttons and the
// items of its drop-down menus. The toolbar raises them and the window
// carries them out; both take them from here.
namespace xandrel::gui {

// Toolbar commands.
enum MatrixCommand {
    ID_MATRIX_SETTING = 32772,
    ID_MATRIX_SCAN = 32773,
    ID_MATRIX_LINKAGE = 32774,
    ID_MATRIX_OPEN = 32775,
    ID_MATRIX_CLOSE = 32776,
    ID_MATRIX_MAPPING = 32777,
    ID_MATRIX_FASTSELECT = 32778,
    ID_MATRIX_EDIDINFO = 32779,
    ID_MATRIX_PRESETS = 32780,  // beyond the system's own: the presets menu
    ID_MATRIX_TAKE = 32781,     // and Take (take mode)
};

// Menu commands; k counts the inputs from 0.
enum MatrixMenuCommand {
    ID_SELECT_INPUT_OUTPUT = 7201,  // + k
    ID_SELECT_ALL_OUTPUT = 7501,
    ID_UNSELECT_ALL_OUTPUT = 7502,
    ID_INPUT_ALL_OUTPUT = 7503,  // + k
    ID_INPUT_NUM_OUTPUT_NUM = 7803,
};

}  // namespace xandrel::gui
