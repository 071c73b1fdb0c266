// SPDX-License-Identifier: GPL-3.0-or-later
// The model classes, the mode registry and copies of models.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "xandrel/device/MatrixModels.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ModelRegistry.h"

namespace {

TEST(ModelRegistry, EveryClassConstructsWithItsCatalogValues)
{
    for (const xandrel::ModelSpec& spec : xandrel::AllModels()) {
        SCOPED_TRACE(spec.className);
        std::unique_ptr<INFODEVICEMATRIXBASE> model = xandrel::CreateModel(spec);
        EXPECT_EQ(model->m_InputNumber, spec.inputs);
        EXPECT_EQ(model->m_InputPortNumber, spec.inputs);
        EXPECT_EQ(model->m_OutputNumber, spec.outputs);
        EXPECT_EQ(model->m_OutputPortNumber, spec.outputs);
        EXPECT_EQ(std::memcmp(model->m_MachineModeHeader, spec.header.data(), 4), 0);
        EXPECT_EQ(model->m_DeviceID, 255);
        EXPECT_EQ(model->m_BaudRate, 9600u);
        EXPECT_EQ(model->m_RetryTimes, 1);
        EXPECT_EQ(model->m_ErrorCode, 0);
        for (int o = 0; o < spec.outputs; ++o)
            EXPECT_EQ(model->m_VideoOutputChannel[o], 1);
        for (int i = 0; i < spec.inputs; ++i)
            EXPECT_EQ(model->m_VideoInputSignal[i], 0u);
    }
}

TEST(ModelRegistry, ModesBuildTheirClassesAndNothingBeyond10)
{
    std::unique_ptr<INFODEVICEMATRIXBASE> mode4(CreateMatrixModeObject(4));
    ASSERT_NE(dynamic_cast<INFOHDMIMATRIX0001_4_4_C*>(mode4.get()), nullptr);
    EXPECT_EQ(mode4->m_InputNumber, 4);
    EXPECT_EQ(mode4->m_MachineModeHeader[3], 0x44);
    std::unique_ptr<INFODEVICEMATRIXBASE> mode10(CreateMatrixModeObject(10));
    EXPECT_NE(dynamic_cast<INFOVGAMATRIX_5_5*>(mode10.get()), nullptr);
    EXPECT_EQ(CreateMatrixModeObject(11), nullptr);
    EXPECT_EQ(CreateMatrixModeObject(0xFFFFFFFFu), nullptr);

    EXPECT_EQ(D_MatrixModeNumber, 11u);
    EXPECT_STREQ(D_MatrixModeName[0], "SDI 5 Ports Switch");
    EXPECT_STREQ(D_MatrixModeName[7], "HDMI 8x8 Ports Matrix(HDMI)");
    EXPECT_STREQ(D_MatrixModeName[10], "VGA 5x5 Ports Matrix");
    for (uint32_t position = 0; position < D_MatrixModeNumber; ++position) {
        EXPECT_EQ(D_MatrixModeMapping[position], position);
        std::unique_ptr<INFODEVICEMATRIXBASE> model(CreateMatrixModeObject(position));
        EXPECT_STREQ(xandrel::FindModel(xandrel::ModelOfMode(position)->className)->displayName,
                     D_MatrixModeName[position]);
    }
}

TEST(ModelRegistry, SubclassesInheritTheirFamilysBehaviour)
{
    INFOHDMIMATRIX0001_8_4 narrow;
    INFOHDMIMATRIX0001_8_8& family = narrow;
    EXPECT_EQ(narrow.m_InputNumber, 8);
    EXPECT_EQ(narrow.m_OutputNumber, 4);
    EXPECT_EQ(narrow.m_MachineModeHeader[3], 0x88);
    // Unchanged routing is the 8x8 family's no-op, even without a port.
    const BYTE same[] = {1, 1, 1, 1};
    EXPECT_EQ(family.DEVMA_SetVideoOutputChannel(same), 1);

    INFOSDISWITCH_8_2 splitter;
    EXPECT_EQ(splitter.m_InputNumber, 8);
    EXPECT_EQ(splitter.m_OutputNumber, 1);
}

TEST(ModelRegistry, CopiesShareStateAndOutliveEachOther)
{
    auto original = std::make_unique<INFOHDMIMATRIX0001_4_4>();
    INFOHDMIMATRIX0001_4_4 copy(*original);
    INFOHDMIMATRIX0001_4_4 assigned;
    assigned = *original;

    original->m_VideoOutputChannel[2] = 3;
    EXPECT_EQ(copy.m_VideoOutputChannel[2], 3);
    EXPECT_EQ(assigned.m_VideoOutputChannel[2], 3);

    // Destroying the original through the base class leaves the copies' arrays alive.
    std::unique_ptr<INFODEVICEMATRIXBASE> asBase(original.release());
    asBase.reset();
    copy.m_VideoInputSignal[3] = 1;
    EXPECT_EQ(assigned.m_VideoInputSignal[3], 1u);
}

// A host's own class has no row; the device on its line is the catalog
// model with its header and counts.
struct HostsOwnModel : INFOHDMIMATRIX0001_8_4 { };

TEST(ModelRegistry, ClassNamesAreFoundExactly)
{
    ASSERT_NE(xandrel::FindModel("INFOVGAMATRIX_2_4"), nullptr);
    EXPECT_EQ(xandrel::FindModel("INFOVGAMATRIX_2_4")->inputs, 2);
    EXPECT_EQ(xandrel::FindModel("infovgamatrix_2_4"), nullptr);
    EXPECT_EQ(xandrel::FindModel(""), nullptr);

    const HostsOwnModel own;
    EXPECT_EQ(xandrel::SpecOf(own), nullptr);
    EXPECT_EQ(xandrel::SpecOrEquivalent(own), xandrel::FindModel("INFOHDMIMATRIX0001_8_4"));
}

}  // namespace

namespace {

TEST(ModelRegistry, ModelsAreFoundByTheNamesPeopleType)
{
    const std::pair<const char*, const char*> names[] = {
        {"INFOVGAMATRIX_5_5", "INFOVGAMATRIX_5_5"},
        {"10", "INFOVGAMATRIX_5_5"},
        {"vga 5x5 ports matrix", "INFOVGAMATRIX_5_5"},
        {"8x8", "INFOHDMIMATRIX0001_8_8"},
        {"HDMI-4x8", "INFOHDMIMATRIX0001_4_8"},
        {"4X4-h", "INFOHDMIMATRIX0001_4_4_H"},
        {"sdi-8x2", "INFOSDISWITCH_8_2"},
    };
    for (const auto& [typed, className] : names) {
        const xandrel::ModelSpec* model = xandrel::FindModelByAnyName(typed);
        ASSERT_NE(model, nullptr) << typed;
        EXPECT_STREQ(model->className, className) << typed;
    }
    for (const char* unknown : {"9x9", "hdmi-vga-5x5", "hdmi-", ""})
        EXPECT_EQ(xandrel::FindModelByAnyName(unknown), nullptr) << unknown;
}

}  // namespace

// What a new model must bring, everywhere a model is named: this fails until
// its catalog row, its class and the class's constructor agree.
TEST(ModelRegistry, EveryModelIsCompleteWhereverModelsAreNamed)
{
    const auto models = xandrel::AllModels();
    std::set<std::string> classNames, shortNames;
    for (size_t k = 0; k < models.size(); ++k) {
        const xandrel::ModelSpec& spec = models[k];
        SCOPED_TRACE(spec.className);
        EXPECT_EQ(spec.mode, k < D_MatrixModeNumber ? static_cast<int>(k) : -1)
            << "the modes 0-10 come first and in order; a new row goes last";
        EXPECT_TRUE(classNames.insert(spec.className).second);
        EXPECT_TRUE(shortNames.insert(spec.shortName).second);
        EXPECT_TRUE(spec.inputs >= 1 && spec.inputs <= 8 && spec.outputs >= 1 && spec.outputs <= 8)
            << "the window shows at most 8 inputs and 8 outputs";
        std::unique_ptr<INFODEVICEMATRIXBASE> model = xandrel::CreateModel(spec);
        EXPECT_EQ(xandrel::SpecOf(*model), &spec) << "the class's constructor takes its own catalog row";
        EXPECT_EQ(&xandrel::Model(spec.className), &spec);
        EXPECT_EQ(xandrel::FindModelByAnyName(spec.shortName), &spec);
    }
}
