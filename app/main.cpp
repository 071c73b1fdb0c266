// Quellix: until the splash and the matrix window exist, the program shows
// which model it drives and which ports it finds.
#include <cstdio>

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/MatrixModels.h"

int main()
{
    INFOHDMIMATRIX0001_8_8 device;
    INFOPORTDRIVER portDriver;
    device.DEVMA_SetPortDriver(&portDriver);
    std::printf("Quellix: %u x %u HDMI matrix model ready\n", device.m_InputNumber, device.m_OutputNumber);
    for (const tavrik::PortEntry& entry : tavrik::PortTable::instance().entries())
        std::printf("  %s  %s\n", tavrik::PortLabel(entry.number).c_str(), entry.description.c_str());
    return 0;
}
