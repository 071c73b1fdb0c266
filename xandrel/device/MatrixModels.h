// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device model classes, one per row of the model catalog. They differ by
// the values of their ModelSpec (counts, header, traits) and by the family
// whose operations they inherit; each default constructor takes its class's
// own row, xandrel::Model("ITS_CLASS_NAME").
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

// SDI switches: one output; the splitters differ only by header.
class XANDREL_EXPORT INFOSDISWITCH_5 : public INFODEVICEMATRIXBASE {
public:
    INFOSDISWITCH_5();
};
class XANDREL_EXPORT INFOSDISWITCH_5_2 : public INFODEVICEMATRIXBASE {
public:
    INFOSDISWITCH_5_2();
};
class XANDREL_EXPORT INFOSDISWITCH_8 : public INFODEVICEMATRIXBASE {
public:
    INFOSDISWITCH_8();
};
class XANDREL_EXPORT INFOSDISWITCH_8_2 : public INFODEVICEMATRIXBASE {
public:
    INFOSDISWITCH_8_2();
};

// VGA switches: one output.
class XANDREL_EXPORT INFOVGASWITCH_4 : public INFODEVICEMATRIXBASE {
public:
    INFOVGASWITCH_4();
};
class XANDREL_EXPORT INFOVGASWITCH_8 : public INFODEVICEMATRIXBASE {
public:
    INFOVGASWITCH_8();
};

// HDMI 4x4 family: the full refresh reads the signals, then the routing.
class XANDREL_EXPORT INFOHDMIMATRIX0001_4_4 : public INFODEVICEMATRIXBASE {
public:
    INFOHDMIMATRIX0001_4_4();
    int DEVMA_GetDeviceAllStatus() override;

protected:
    explicit INFOHDMIMATRIX0001_4_4(const xandrel::ModelSpec& model);
};
class XANDREL_EXPORT INFOHDMIMATRIX0001_4_4_H : public INFOHDMIMATRIX0001_4_4 {
public:
    INFOHDMIMATRIX0001_4_4_H();
};
class XANDREL_EXPORT INFOHDMIMATRIX0001_4_4_C : public INFOHDMIMATRIX0001_4_4 {
public:
    INFOHDMIMATRIX0001_4_4_C();
};

// HDMI 8x8 family: refresh as the 4x4 family; routing goes in a 16-byte frame
// and is not sent when unchanged; the ID is read at the model's own ID.
class XANDREL_EXPORT INFOHDMIMATRIX0001_8_8 : public INFODEVICEMATRIXBASE {
public:
    INFOHDMIMATRIX0001_8_8();
    int DEVMA_SetVideoOutputChannel(const BYTE* routing) override;
    int DEVMA_GetVideoOutputChannel() override;
    int DEVMA_GetVideoInputSignal() override;
    int DEVMA_GetDeviceID() override;
    int DEVMA_GetDeviceAllStatus() override;

    static constexpr BYTE kRoutingFrameLength = 16;
    static constexpr BYTE kRoutingReplyLength = 16;

protected:
    explicit INFOHDMIMATRIX0001_8_8(const xandrel::ModelSpec& model);
};
class XANDREL_EXPORT INFOHDMIMATRIX0001_8_8_H : public INFOHDMIMATRIX0001_8_8 {
public:
    INFOHDMIMATRIX0001_8_8_H();
};
class XANDREL_EXPORT INFOHDMIMATRIX0001_8_8_C : public INFOHDMIMATRIX0001_8_8 {
public:
    INFOHDMIMATRIX0001_8_8_C();
};
class XANDREL_EXPORT INFOHDMIMATRIX0001_4_8 : public INFOHDMIMATRIX0001_8_8 {
public:
    INFOHDMIMATRIX0001_4_8();
};
class XANDREL_EXPORT INFOHDMIMATRIX0001_8_4 : public INFOHDMIMATRIX0001_8_8 {
public:
    INFOHDMIMATRIX0001_8_4();
};

// VGA matrices: the full refresh reads the routing only.
class XANDREL_EXPORT INFOVGAMATRIX_5_5 : public INFODEVICEMATRIXBASE {
public:
    INFOVGAMATRIX_5_5();
    int DEVMA_GetDeviceAllStatus() override;

protected:
    explicit INFOVGAMATRIX_5_5(const xandrel::ModelSpec& model);
};
class XANDREL_EXPORT INFOVGAMATRIX_4_2 : public INFODEVICEMATRIXBASE {
public:
    INFOVGAMATRIX_4_2();
    int DEVMA_GetDeviceAllStatus() override;
};
class XANDREL_EXPORT INFOVGAMATRIX_2_4 : public INFODEVICEMATRIXBASE {
public:
    INFOVGAMATRIX_2_4();
    int DEVMA_GetDeviceAllStatus() override;
};
