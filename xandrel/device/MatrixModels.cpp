// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/MatrixModels.h"

#include <algorithm>

#include "xandrel/device/ModelCatalog.h"

using xandrel::Model;

INFOSDISWITCH_5::INFOSDISWITCH_5()
    : INFODEVICEMATRIXBASE(Model("INFOSDISWITCH_5"))
{
}
INFOSDISWITCH_5_2::INFOSDISWITCH_5_2()
    : INFODEVICEMATRIXBASE(Model("INFOSDISWITCH_5_2"))
{
}
INFOSDISWITCH_8::INFOSDISWITCH_8()
    : INFODEVICEMATRIXBASE(Model("INFOSDISWITCH_8"))
{
}
INFOSDISWITCH_8_2::INFOSDISWITCH_8_2()
    : INFODEVICEMATRIXBASE(Model("INFOSDISWITCH_8_2"))
{
}
INFOVGASWITCH_4::INFOVGASWITCH_4()
    : INFODEVICEMATRIXBASE(Model("INFOVGASWITCH_4"))
{
}
INFOVGASWITCH_8::INFOVGASWITCH_8()
    : INFODEVICEMATRIXBASE(Model("INFOVGASWITCH_8"))
{
}

// HDMI 4x4 family.
INFOHDMIMATRIX0001_4_4::INFOHDMIMATRIX0001_4_4()
    : INFODEVICEMATRIXBASE(Model("INFOHDMIMATRIX0001_4_4"))
{
}
INFOHDMIMATRIX0001_4_4::INFOHDMIMATRIX0001_4_4(const xandrel::ModelSpec& model)
    : INFODEVICEMATRIXBASE(model)
{
}
INFOHDMIMATRIX0001_4_4_H::INFOHDMIMATRIX0001_4_4_H()
    : INFOHDMIMATRIX0001_4_4(Model("INFOHDMIMATRIX0001_4_4_H"))
{
}
INFOHDMIMATRIX0001_4_4_C::INFOHDMIMATRIX0001_4_4_C()
    : INFOHDMIMATRIX0001_4_4(Model("INFOHDMIMATRIX0001_4_4_C"))
{
}

int INFOHDMIMATRIX0001_4_4::DEVMA_GetDeviceAllStatus()
{
    return RefreshSignalsThenRouting();
}

// HDMI 8x8 family.
INFOHDMIMATRIX0001_8_8::INFOHDMIMATRIX0001_8_8()
    : INFODEVICEMATRIXBASE(Model("INFOHDMIMATRIX0001_8_8"))
{
}
INFOHDMIMATRIX0001_8_8::INFOHDMIMATRIX0001_8_8(const xandrel::ModelSpec& model)
    : INFODEVICEMATRIXBASE(model)
{
}
INFOHDMIMATRIX0001_8_8_H::INFOHDMIMATRIX0001_8_8_H()
    : INFOHDMIMATRIX0001_8_8(Model("INFOHDMIMATRIX0001_8_8_H"))
{
}
INFOHDMIMATRIX0001_8_8_C::INFOHDMIMATRIX0001_8_8_C()
    : INFOHDMIMATRIX0001_8_8(Model("INFOHDMIMATRIX0001_8_8_C"))
{
}
INFOHDMIMATRIX0001_4_8::INFOHDMIMATRIX0001_4_8()
    : INFOHDMIMATRIX0001_8_8(Model("INFOHDMIMATRIX0001_4_8"))
{
}
INFOHDMIMATRIX0001_8_4::INFOHDMIMATRIX0001_8_4()
    : INFOHDMIMATRIX0001_8_8(Model("INFOHDMIMATRIX0001_8_4"))
{
}

// An unchanged routing is not sent. The frame always has room for eight
// outputs; a model with fewer sends 0 (no input) for the outputs it lacks.
int INFOHDMIMATRIX0001_8_8::DEVMA_SetVideoOutputChannel(const BYTE* routing)
{
    if (!routing)
        return 0;
    if (std::equal(routing, routing + m_OutputNumber, m_VideoOutputChannel.get()))
        return 1;
    return SendRouting(routing, kRoutingFrameLength, kRoutingReplyLength);
}

int INFOHDMIMATRIX0001_8_8::DEVMA_GetVideoOutputChannel()
{
    return INFODEVICEMATRIXBASE::DEVMA_GetVideoOutputChannel();
}

int INFOHDMIMATRIX0001_8_8::DEVMA_GetVideoInputSignal()
{
    return INFODEVICEMATRIXBASE::DEVMA_GetVideoInputSignal();
}

// Asks the device at the model's own ID, with the retry count and the port's
// read settings as they are.
int INFOHDMIMATRIX0001_8_8::DEVMA_GetDeviceID()
{
    return QueryDeviceID();
}

int INFOHDMIMATRIX0001_8_8::DEVMA_GetDeviceAllStatus()
{
    return RefreshSignalsThenRouting();
}

// VGA matrices.
INFOVGAMATRIX_5_5::INFOVGAMATRIX_5_5()
    : INFODEVICEMATRIXBASE(Model("INFOVGAMATRIX_5_5"))
{
}
INFOVGAMATRIX_5_5::INFOVGAMATRIX_5_5(const xandrel::ModelSpec& model)
    : INFODEVICEMATRIXBASE(model)
{
}
INFOVGAMATRIX_4_2::INFOVGAMATRIX_4_2()
    : INFODEVICEMATRIXBASE(Model("INFOVGAMATRIX_4_2"))
{
}
INFOVGAMATRIX_2_4::INFOVGAMATRIX_2_4()
    : INFODEVICEMATRIXBASE(Model("INFOVGAMATRIX_2_4"))
{
}

int INFOVGAMATRIX_5_5::DEVMA_GetDeviceAllStatus()
{
    return RefreshRoutingOnly();
}

int INFOVGAMATRIX_4_2::DEVMA_GetDeviceAllStatus()
{
    return RefreshRoutingOnly();
}

int INFOVGAMATRIX_2_4::DEVMA_GetDeviceAllStatus()
{
    return RefreshRoutingOnly();
}
