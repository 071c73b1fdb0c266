// SPDX-License-Identifier: GPL-3.0-or-later
// The EDID configuration dialog against the simulated device: reading every
// kind of source, writing every pair the device supports, the pairs it does
// not, files, typed edits and the report.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <unistd.h>

#include "SimulatedDevices.h"
#include "VirtualClock.h"
#include "WindowExchanges.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/custom/AtomicFile.h"
#include "xandrel/edid/CDlgEDIDConfig.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/DlgEDIDPad1.h"
#include "xandrel/edid/DlgEDIDPad2.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"

namespace fs = std::filesystem;
using quellix::sim::Bytes;
using quellix::sim::VirtualMatrix;

namespace {

class EdidConfigDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = testsupport::StartDevice("INFOHDMIMATRIX0001_8_8");
        ASSERT_TRUE(device);
        tavrik::PortTable::instance().assign(160, device->address());
        model = xandrel::CreateModel(*xandrel::FindModel("INFOHDMIMATRIX0001_8_8"));
        model->DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(160, 9600), 1);
        gui.m_Device = model.get();
        folder = fs::path(::testing::TempDir()) / ("edid-config-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        xandrel::gui::SetMessageHandler([this](const xandrel::gui::MessageRequest& request) {
            messages.push_back(request.text);
            return request.buttons & QMessageBox::Yes ? answer : QMessageBox::Ok;
        });
        xandrel::gui::SetFileChooser([this](QWidget*, xandrel::gui::FileUse use, const QString&, const QString&) {
            uses.push_back(use);
            return chosenFile;
        });
        dialog.m_GUI = &gui;
        dialog.openFresh();
        show(quellix::sim::MakeDefaultEdid(0x7777));
    }

    // `edid` in the image and on the pages, as a loaded file would be.
    void show(const quellix::sim::Edid& edid)
    {
        std::copy(edid.begin(), edid.end(), dialog.m_EDID.begin());
        dialog.m_Pad1->ShowBlock(dialog.m_EDID.data());
        dialog.m_Pad2->ShowBlock(dialog.m_EDID.data() + 128);
    }

    // Reads that wait only briefly, for the tests of a device that stays
    // silent (a copy waits through 30 empty reads).
    void shortenReads()
    {
        COMMTIMEOUTS timeouts{};
        driver.RS232_GetTimeouts(timeouts);
        timeouts.ReadTotalTimeoutConstant = 5;
        driver.RS232_SetTimeouts(timeouts);
    }

    void TearDown() override
    {
        xandrel::gui::DestroyLibraryWindows();  // ends the device's worker before the model goes
        xandrel::gui::SetMessageHandler({});
        xandrel::gui::SetFileChooser({});
        tavrik::PortTable::instance().forgetRunTimeAdditions();
        fs::remove_all(folder);
    }

    static void Choose(QComboBox* list, const QString& text)
    {
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        list->setCurrentIndex(index);
    }

    std::vector<Bytes> payloads() const
    {
        std::vector<Bytes> result;
        for (const Bytes& frame : device->frames())
            result.emplace_back(frame.begin() + 7, frame.end() - 1);
        return result;
    }

    testsupport::NoWaiting noWaiting;
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    std::unique_ptr<INFODEVICEMATRIXBASE> model;
    INFOPORTDRIVER driver;
    GUIDEVICEMATRIXBASE gui;
    CDlgEDIDConfig dialog;
    fs::path folder;
    QString chosenFile;
    std::vector<xandrel::gui::FileUse> uses;
    std::vector<QString> messages;
    QMessageBox::StandardButton answer = QMessageBox::No;  // to the questions with Yes and No
};

TEST_F(EdidConfigDialog, ListsFollowTheModelInSortedOrder)
{
    EXPECT_EQ(dialog.m_ReadSource->count(), 20);
    EXPECT_EQ(dialog.m_WriteSource->count(), 21);
    EXPECT_EQ(dialog.m_WriteTarget->count(), 13);
    EXPECT_EQ(dialog.m_ReadSource->itemText(0), "default A");
    EXPECT_EQ(dialog.m_ReadSource->itemText(4), "input 1");
    EXPECT_EQ(dialog.m_ReadSource->itemText(12), "output 1");
    EXPECT_EQ(dialog.m_WriteSource->itemText(20), "pc memory");
    EXPECT_EQ(dialog.m_WriteTarget->itemText(0), "all input");
    EXPECT_EQ(dialog.m_WriteTarget->itemText(5), "input 1");
}

TEST_F(EdidConfigDialog, ReadsEveryKindOfSource)
{
    device->withMatrix([](VirtualMatrix& matrix) {
        matrix.slotEdid(11) = quellix::sim::MakeDefaultEdid(0x0B0B);
        matrix.inputEdid(2) = quellix::sim::MakeDefaultEdid(0x0202);
        matrix.outputEdid(3) = quellix::sim::MakeDefaultEdid(0x0303);
    });
    const struct {
        const char* source;
        std::vector<Bytes> payloads;
        int product;
    } cases[] = {
        {"default B", {{0xA1, 0xFF, 0x0B}}, 0x0B0B},
        {"input 2", {{0xA5, 0xFF, 0x02}}, 0x0202},
        {"output 3", {{0x01, 0x09, 0x03}, {0xA1, 0xFF, 0x09}}, 0x0303},
    };
    size_t seen = 0;
    for (const auto& c : cases) {
        Choose(dialog.m_ReadSource, c.source);
        dialog.OnReadEDID();
        testsupport::FinishExchanges();
        EXPECT_EQ(dialog.StateText(), "Success") << c.source;
        const auto sent = payloads();
        EXPECT_EQ(std::vector<Bytes>(sent.begin() + static_cast<long>(seen), sent.end()), c.payloads) << c.source;
        seen = sent.size();
        EXPECT_EQ(dialog.m_EDID[10] | dialog.m_EDID[11] << 8, c.product);
        EXPECT_EQ(dialog.m_Pad1->box(3056)->text(), QString("%1").arg(c.product & 0xFF, 2, 16, QChar('0')).toUpper());
    }
    device->command("fault no-ack");
    shortenReads();
    const xandrel::EdidImage before = dialog.m_EDID;
    dialog.OnReadEDID();
    testsupport::FinishExchanges();
    EXPECT_EQ(dialog.StateText(), "False");
    EXPECT_EQ(dialog.m_EDID, before);
}

TEST_F(EdidConfigDialog, WritesEveryPairTheDeviceSupports)
{
    answer = QMessageBox::Yes;  // to the writes that are asked first
    const struct {
        const char* source;
        const char* target;
        Bytes firstPayload;
        const char* state;
    } pairs[] = {
        {"output 2", "all input", {0x02, 0xA5, 0x02}, "Success"},
        {"output 2", "input 7", {0x02, 0x07, 0x02}, "port 7 Success"},
        {"output 4", "default B", {0x01, 0x0B, 0x04}, "Success"},
        {"default A", "input 3", {0x04, 0x03, 0x0A}, "Success"},
        {"default A", "all input", {0x04, 0xA5, 0x0A}, "Success"},
        {"input 1", "default D", {0x03, 0x0D, 0x01}, "Success"},
        {"pc memory", "default C", {}, "Success"},
        {"pc memory", "input 5", {}, "port 5 Success"},
    };
    for (const auto& pair : pairs) {
        const size_t before = device->frames().size();
        Choose(dialog.m_WriteSource, pair.source);
        Choose(dialog.m_WriteTarget, pair.target);
        dialog.OnWriteEDID();
        testsupport::FinishExchanges();
        EXPECT_EQ(dialog.StateText(), pair.state) << pair.source << " to " << pair.target;
        const auto sent = payloads();
        ASSERT_GT(sent.size(), before);
        if (!pair.firstPayload.empty())
            EXPECT_EQ(sent[before], pair.firstPayload) << pair.source << " to " << pair.target;
        else
            EXPECT_EQ(sent.size() - before, 1u + 32u) << "a write keeps what it replaces, then sends 32 chunks";
    }
    EXPECT_EQ(messages.size(), 3u) << "asked: the two writes to all inputs and the one from default A";
    device->withMatrix([this](VirtualMatrix& matrix) {
        xandrel::EdidImage sent = dialog.m_EDID;
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), matrix.inputEdid(5).begin()));
    });
}

TEST_F(EdidConfigDialog, ImageToAllInputsIsWrittenPortByPort)
{
    answer = QMessageBox::Yes;
    Choose(dialog.m_WriteSource, "pc memory");
    Choose(dialog.m_WriteTarget, "all input");
    dialog.OnWriteEDID();
    testsupport::FinishExchanges();
    EXPECT_EQ(device->frames().size(), 8u * (1u + 32u));
    ASSERT_EQ(messages.size(), 1u + 8u);
    EXPECT_EQ(messages[1], "port 1 Success");
    EXPECT_EQ(messages[8], "port 8 Success");
    EXPECT_EQ(dialog.StateText(), "port 8 Success");
}

TEST_F(EdidConfigDialog, WritesToEveryInputOrFromADefaultAreAskedFirst)
{
    const struct {
        const char* source;
        const char* target;
        const char* named;
    } asked[] = {
        {"pc memory", "all input", "the EDID in the pages to all 8 inputs (input 1 to input 8)?"},
        {"default A", "all input", "the EDID of default A to all 8 inputs"},
        {"output 1", "all input", "the EDID of output 1 to all 8 inputs"},
        {"default B", "input 2", "the EDID of default B to input 2?"},
    };
    for (const auto& write : asked) {
        Choose(dialog.m_WriteSource, write.source);
        Choose(dialog.m_WriteTarget, write.target);
        dialog.OnWriteEDID();
        ASSERT_FALSE(messages.empty());
        EXPECT_TRUE(messages.back().contains(write.named)) << messages.back().toStdString();
    }
    testsupport::FinishExchanges();
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_TRUE(device->frames().empty()) << "answered No: nothing is sent";
    EXPECT_TRUE(dialog.StateText().isEmpty());
}

// A write keeps what input 2 holds; Stop ends it between two chunks and
// leaves input 2 broken; the kept EDID is offered back, and the read-back
// tells what input 2 holds.
TEST_F(EdidConfigDialog, AStoppedWriteIsNeverRepeatedAndOffersTheKeptEdidBack)
{
    quellix::sim::Edid former;
    device->withMatrix([&former](VirtualMatrix& matrix) { former = matrix.inputEdid(2); });
    quellix::sim::Faults slow;
    slow.delay = std::chrono::milliseconds(20);  // a chunk takes 20 ms: time to click meanwhile
    device->setFaults(slow);
    Choose(dialog.m_WriteSource, "pc memory");
    Choose(dialog.m_WriteTarget, "input 2");
    auto* write = dialog.findChild<QPushButton*>("button3038");
    const auto stopAfterFourChunks = [&] {
        const size_t before = device->frames().size();
        QTest::mouseClick(write, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->frames().size() >= before + 1 + 4; }, 5000));
        EXPECT_FALSE(write->isEnabled());
        QTest::mouseClick(write, Qt::LeftButton);
        dialog.OnWriteEDID();  // as a click that slipped through would
        ASSERT_TRUE(dialog.m_Stop->isEnabled());
        QTest::mouseClick(dialog.m_Stop, Qt::LeftButton);
        testsupport::FinishExchanges();
    };

    answer = QMessageBox::Yes;
    stopAfterFourChunks();
    const std::vector<Bytes> sent = payloads();
    EXPECT_EQ(sent[0], (Bytes{0xA5, 0xFF, 0x02})) << "what input 2 holds is read first";
    const size_t chunks = sent.size() - 1 - 32 - 1;  // then the cut write, the write back and the read-back
    EXPECT_LT(chunks, 32u) << "the write ended early";
    for (size_t chunk = 0; chunk < chunks; ++chunk)
        EXPECT_EQ(sent[1 + chunk][9], chunk * 8) << "one write, chunk after chunk, none sent twice";
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].contains(QString("input 2 was stopped after %1 of 32 chunks").arg(chunks)))
        << messages[0].toStdString();
    EXPECT_EQ(messages[1], "input 2 holds the EDID it held before the write");
    EXPECT_EQ(dialog.StateText(), "Stopped, restored");
    device->withMatrix([&former](VirtualMatrix& matrix) { EXPECT_EQ(matrix.inputEdid(2), former); });
    EXPECT_TRUE(write->isEnabled());

    answer = QMessageBox::No;
    stopAfterFourChunks();
    EXPECT_EQ(dialog.StateText(), "Stopped, broken EDID") << "declined: the read-back finds it cut";
    EXPECT_EQ(driver.RS232_IsOpen(), 1);
}

TEST_F(EdidConfigDialog, ImagesThatAreNoSoundEdidAreTakenOrWrittenOnlyWhenThePersonSaysSo)
{
    device->withMatrix([](VirtualMatrix& matrix) { matrix.slotEdid(10).fill(0xAA); });
    Choose(dialog.m_ReadSource, "default A");
    const xandrel::EdidImage before = dialog.m_EDID;
    dialog.OnReadEDID();
    testsupport::FinishExchanges();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("header")) << messages[0].toStdString();
    EXPECT_EQ(dialog.m_EDID, before) << "answered No";
    EXPECT_EQ(dialog.StateText(), "False");

    dialog.m_Pad1->box(3046)->setText("12");  // the first header byte
    Choose(dialog.m_WriteSource, "pc memory");
    Choose(dialog.m_WriteTarget, "input 3");
    dialog.OnWriteEDID();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(device->frames().size(), 1u) << "only the read was sent";
    answer = QMessageBox::Yes;
    dialog.OnWriteEDID();
    testsupport::FinishExchanges();
    EXPECT_EQ(dialog.StateText(), "port 3 Success");
}

TEST_F(EdidConfigDialog, PairsTheDeviceCannotDoAreRefusedWithoutSending)
{
    const std::pair<const char*, const char*> refused[] = {
        {"default A", "default B"}, {"input 1", "input 2"}, {"input 1", "all input"}};
    for (const auto& [source, target] : refused) {
        Choose(dialog.m_WriteSource, source);
        Choose(dialog.m_WriteTarget, target);
        dialog.OnWriteEDID();
    }
    EXPECT_EQ(messages, std::vector<QString>(3, "Function not Support!"));
    EXPECT_TRUE(device->frames().empty());
}

TEST_F(EdidConfigDialog, FailedCopyAndWriteSayWhichPort)
{
    device->command("fault cut 0");  // acknowledged, but never done
    shortenReads();
    Choose(dialog.m_WriteSource, "output 1");
    Choose(dialog.m_WriteTarget, "input 6");
    dialog.OnWriteEDID();
    testsupport::FinishExchanges();
    EXPECT_EQ(dialog.StateText(), "port 6 fail");
    Choose(dialog.m_WriteSource, "pc memory");
    dialog.OnWriteEDID();
    testsupport::FinishExchanges();
    EXPECT_EQ(dialog.StateText(), "port 6 Fail");
}

TEST_F(EdidConfigDialog, FilesRoundTripWithSoundChecksums)
{
    dialog.m_Pad1->box(3054)->setText("1a");
    EXPECT_EQ(dialog.m_Pad1->box(3054)->text(), "1A");
    chosenFile = QString::fromStdString((folder / "saved").string());
    dialog.OnSaveFile();
    chosenFile += ".bin";  // a name without a suffix gets the EDID file's
    std::string saved, error;
    ASSERT_TRUE(xandrel::ReadFileBytes(chosenFile.toStdString(), saved, error)) << error;
    ASSERT_EQ(saved.size(), 256u);
    EXPECT_EQ(static_cast<uint8_t>(saved[8]), 0x1A);
    EXPECT_EQ(std::accumulate(saved.begin(), saved.begin() + 128, 0u,
                              [](unsigned sum, char c) { return sum + static_cast<uint8_t>(c); })
                  % 256,
              0u)
        << "the edited block's checksum is sound";
    EXPECT_EQ(dialog.m_EDID[8], 0x1A) << "the image took the edit";

    const quellix::sim::Edid base = quellix::sim::MakeDefaultEdid(0x5151);
    const std::string shortFile = (folder / "base.bin").string();
    std::ofstream(shortFile, std::ios::binary).write(reinterpret_cast<const char*>(base.data()), 128);
    dialog.m_EDID.fill(0x77);
    chosenFile = QString::fromStdString(shortFile);
    dialog.OnLoadFile();
    EXPECT_EQ(uses, (std::vector<xandrel::gui::FileUse>{xandrel::gui::FileUse::Save, xandrel::gui::FileUse::Open}));
    EXPECT_EQ(dialog.m_EDID[10], 0x51);
    EXPECT_EQ(dialog.m_EDID[200], 0x00) << "a 128-byte EDID clears the extension half";

    std::ofstream((folder / "bad.bin").string(), std::ios::binary) << std::string(129, 'x');
    chosenFile = QString::fromStdString((folder / "bad.bin").string());
    const xandrel::EdidImage before = dialog.m_EDID;
    dialog.OnLoadFile();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("bad.bin"));
    EXPECT_EQ(dialog.m_EDID, before);
}

TEST_F(EdidConfigDialog, ABoxThatHoldsNoByteStopsEverythingBeforeItStarts)
{
    dialog.m_Pad2->box(1190)->setText("1G");
    const xandrel::EdidImage before = dialog.m_EDID;
    Choose(dialog.m_WriteSource, "pc memory");
    Choose(dialog.m_WriteTarget, "input 1");
    dialog.OnWriteEDID();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("1G")) << messages[0].toStdString();
    EXPECT_EQ(dialog.m_EDID, before);
    EXPECT_TRUE(device->frames().empty());
    EXPECT_EQ(dialog.m_Tab->currentIndex(), 1) << "the page with the wrong box is shown";
}

TEST_F(EdidConfigDialog, DetailReportsTheImageAndTheIdentitiesListTheInputs)
{
    chosenFile = QString::fromStdString((folder / "detail.bin").string());
    const quellix::sim::Edid edid = quellix::sim::MakeDefaultEdid(0x4242);
    std::ofstream(chosenFile.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(edid.data()), 256);
    dialog.OnLoadFile();
    dialog.m_Pad1->box(3056)->setText("00");  // an edit not yet taken into the image
    QString shown;
    auto capture = [&shown] {
        QTimer::singleShot(0, [&shown] {
            if (auto* info = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = info->findChild<QPlainTextEdit*>()->toPlainText();
                info->accept();
            }
        });
    };
    capture();
    dialog.OnEDIDDetail();
    EXPECT_TRUE(shown.startsWith("Manufacturer ID: QLX4242\n")) << shown.toStdString();
    auto* watcher = new QTimer(&dialog);  // the list is shown once the device has answered
    QObject::connect(watcher, &QTimer::timeout, watcher, [watcher, &shown] {
        if (auto* info = qobject_cast<DlgEDIDInfo*>(QApplication::activeModalWidget())) {
            watcher->stop();
            shown = info->shownText();
            info->accept();
        }
    });
    watcher->start(5);
    shown.clear();
    dialog.OnInputEDIDInfo();
    EXPECT_TRUE(QTest::qWaitFor([&shown] { return !shown.isEmpty(); }, 10000));
    EXPECT_TRUE(shown.contains("Input8 Manufacturer ID: QLX0108")) << shown.toStdString();
}

TEST(EdidConfigEntryPoint, KeepsItsImageAcrossOpenings)
{
    xandrel::gui::DestroyLibraryWindows();
    GUIDEVICEMATRIXBASE gui;
    auto model = xandrel::CreateModel(*xandrel::FindModel("INFOHDMIMATRIX0001_4_4"));
    gui.m_Device = model.get();
    INFOGUIPDATA record;
    gui.DEVMA_GUIEDIDConfig(1, &record);
    CDlgEDIDConfig* dialog = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* config = qobject_cast<CDlgEDIDConfig*>(window))
            dialog = config;
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->m_EDID[5] = 0x55;
    gui.DEVMA_GUIEDIDConfig(0, &record);
    EXPECT_FALSE(dialog->isVisible());
    gui.DEVMA_GUIEDIDConfig(1, &record);
    EXPECT_EQ(dialog->m_EDID[5], 0x55);
    EXPECT_EQ(dialog->m_ReadSource->count(), 4 + 4 + 4);
    xandrel::gui::DestroyLibraryWindows();
}

}  // namespace
