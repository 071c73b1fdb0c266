// SPDX-License-Identifier: GPL-3.0-or-later
// The GUI Config dialog (StringModify) and the String Table dialog (String2),
// driven without modal loops: message boxes and file dialogs are answered by
// recorders, the data folder is "data" below a fresh current directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "xandrel/custom/String2.h"
#include "xandrel/custom/StringModify.h"
#include "xandrel/edid/CDlgEDIDConfig.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/res/Artwork.h"

namespace {

namespace fs = std::filesystem;
using xandrel::StringSection;
using xandrel::StringTable;
using xandrel::gui::MessageRequest;

const std::string kEuro = "\xE2\x82\xAC";

QLineEdit* Box(QWidget& dialog, int id)
{
    return dialog.findChild<QLineEdit*>(QStringLiteral("box%1").arg(id));
}

std::string Text(QWidget& dialog, int id)
{
    return xandrel::gui::ToBytes(Box(dialog, id)->text());
}

void SetText(QWidget& dialog, int id, const std::string& text)
{
    Box(dialog, id)->setText(xandrel::gui::FromBytes(text));
}

void Click(QWidget& dialog, int id)
{
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("button%1").arg(id)), Qt::LeftButton);
}

constexpr std::pair<StringSection, int> kFirstBoxes[] = {
    {StringSection::Toolbar, 1165}, {StringSection::ErrorMessages, 1144}, {StringSection::Titles, 1180},
    {StringSection::Inputs, 1172},  {StringSection::Outputs, 1157},
};

// Every box the dialog has shows its entry of `table`.
void ExpectShows(QWidget& dialog, const StringTable& table)
{
    for (const auto& [section, firstId] : kFirstBoxes)
        for (size_t k = 0; k < table.Entries(section).size(); ++k)
            if (const int id = firstId + static_cast<int>(k); Box(dialog, id)) {
                EXPECT_EQ(Text(dialog, id), table.Entries(section)[k]) << id;
            }
}

// Every entry distinct from the defaults, non-ASCII names among them.
StringTable Sample()
{
    StringTable table;
    for (const auto& [section, firstId] : kFirstBoxes)
        for (size_t k = 0; k < table.Entries(section).size(); ++k)
            table.Entries(section)[k] = "entry " + std::to_string(firstId + k);
    table.titles[0] = std::string(60, 'M');
    table.inputs[1] = "Bühne Süd";
    table.outputs[2] = "Écran " + kEuro;
    return table;
}

StringTable ReadBack()
{
    StringTable table;
    EXPECT_TRUE(xandrel::ReadStringTableFile(xandrel::StringTableReader::GuiConfig, table, "data"));
    return table;
}

std::string FileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool SaveFilled(const fs::path& path, QSize size, QColor colour, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(QString::fromStdString(path.string()), format);
}

class CustomDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int run = 0;
        root = fs::path(::testing::TempDir()) / ("dialogs-" + std::to_string(::getpid()) + "-" + std::to_string(++run));
        fs::remove_all(root);
        fs::create_directories(root / "data");
        fs::create_directories(root / "elsewhere");
        previousDirectory = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(root.string())));
        xandrel::gui::SetDataFolder("data");
        xandrel::gui::SetMessageHandler([this](const MessageRequest& request) {
            messages.push_back(request);
            return answer;
        });
        // Like the file dialogs of some systems, this one moves the current
        // directory to the folder it picked from.
        xandrel::gui::SetFileChooser([this](QWidget*, xandrel::gui::FileUse, const QString&, const QString&) {
            QDir::setCurrent(QString::fromStdString((root / "elsewhere").string()));
            return chosen;
        });
    }

    void TearDown() override
    {
        xandrel::gui::SetMessageHandler({});
        xandrel::gui::SetFileChooser({});
        xandrel::gui::SetDataFolder("data");
        QDir::setCurrent(previousDirectory);
        fs::permissions(root / "data", fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }

    void writeStringTable(const StringTable& table) { WriteBytes(root / "data" / "ds.dat", FormatStringTable(table)); }
    std::string stringTableBytes() const { return FileBytes(root / "data" / "ds.dat"); }

    // Whether the last message is the confirmation of a save.
    bool saved() const
    {
        return !messages.empty()
            && (messages.back().text == xandrel::kSaveConfirmationText
                || messages.back().text == String2::kNamesSavedText)
            && messages.back().caption == xandrel::kSaveConfirmationCaption;
    }

    // Shows `dialog` or presses its "Set Default": either asks the question,
    // the only message, which gets `reply`.
    void expectSetDefaultQuestion(QWidget& dialog, QMessageBox::StandardButton reply, bool show = false)
    {
        messages.clear();
        answer = reply;
        show ? dialog.show() : Click(dialog, 1143);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Are you sure you want to set all table to default?");
        EXPECT_EQ(messages[0].caption, "Confirm Overwrite");
        EXPECT_EQ(messages[0].icon, QMessageBox::Question);
        EXPECT_EQ(messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    }

    // Chooses `file` in the next file dialog, opened by the button `id`.
    void load(QWidget& dialog, int id, const fs::path& file)
    {
        chosen = QString::fromStdString(file.string());
        Click(dialog, id);
    }

    fs::path root;
    QString previousDirectory;
    std::vector<MessageRequest> messages;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QString chosen;
};

TEST_F(CustomDialogs, GuiConfigShowsEveryEntryAndSavesThemCutToTheWritersLimits)
{
    const StringTable sample = Sample();
    writeStringTable(sample);
    StringModify dialog;
    dialog.m_InputNumber = 4;
    dialog.m_OutputNumber = 2;
    dialog.show();
    EXPECT_TRUE(messages.empty());
    ExpectShows(dialog, sample);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(Box(dialog, 1172 + k)->isEnabled(), k < 4) << k;
        EXPECT_EQ(Box(dialog, 1157 + k)->isEnabled(), k < 2) << k;
    }

    const std::string sevenEuros = kEuro + kEuro + kEuro + kEuro + kEuro + kEuro + kEuro;
    SetText(dialog, 1165, std::string(40, 'T'));
    SetText(dialog, 1178, "Proj " + sevenEuros + kEuro);  // disabled; 29 bytes
    SetText(dialog, 1149, std::string(120, 'e'));
    Click(dialog, 1156);
    ASSERT_TRUE(saved());
    StringTable expected = sample;
    expected.toolbar[0] = std::string(28, 'T');
    expected.inputs[6] = "Proj " + sevenEuros;
    expected.errorMessages[5] = std::string(98, 'e');
    EXPECT_EQ(stringTableBytes(), FormatStringTable(expected));
}

// GUI Config fills its defaults without asking and leaves the main title
// empty; String Table asks, and on Cancel saves empty names under the
// default main title.
TEST_F(CustomDialogs, WithoutStringTable)
{
    StringTable defaults = xandrel::DefaultStringTable();
    {
        StringModify config;
        config.show();
        EXPECT_TRUE(messages.empty());
        defaults.titles[0] = "";
        ExpectShows(config, defaults);
        String2 names;
        expectSetDefaultQuestion(names, QMessageBox::Ok, true);
        ExpectShows(names, defaults);
    }
    String2 names;
    expectSetDefaultQuestion(names, QMessageBox::Cancel, true);
    EXPECT_FALSE(names.m_MainTitle);
    Click(names, 1156);
    ASSERT_TRUE(saved());
    StringTable expected = xandrel::DefaultStringTable();
    expected.inputs.fill("");
    expected.outputs.fill("");
    EXPECT_EQ(stringTableBytes(), FormatStringTable(expected));
}

TEST_F(CustomDialogs, SetDefaultAsksAndOnlyOnOkFillsTheBoxesWritingNothing)
{
    const StringTable sample = Sample();
    writeStringTable(sample);
    StringTable defaults = xandrel::DefaultStringTable();
    defaults.titles[0] = sample.titles[0];  // the main title is no default
    StringModify config;
    String2 names;
    for (QDialog* dialog : {static_cast<QDialog*>(&config), static_cast<QDialog*>(&names)}) {
        dialog->show();
        expectSetDefaultQuestion(*dialog, QMessageBox::Cancel);
        ExpectShows(*dialog, sample);
        expectSetDefaultQuestion(*dialog, QMessageBox::Ok);
        ExpectShows(*dialog, defaults);
    }
    EXPECT_EQ(stringTableBytes(), FormatStringTable(sample));
}

TEST_F(CustomDialogs, EnterAndEscapeCloseWithoutSaving)
{
    writeStringTable(Sample());
    StringModify config;
    String2 names;
    for (QDialog* dialog : {static_cast<QDialog*>(&config), static_cast<QDialog*>(&names)}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            dialog->show();
            SetText(*dialog, 1172, "typed");
            QTest::keyClick(Box(*dialog, 1172), key);
            EXPECT_FALSE(dialog->isVisible()) << key;
        }
    }
    EXPECT_EQ(stringTableBytes(), FormatStringTable(Sample()));
}

TEST_F(CustomDialogs, FailedSaveSaysWhichFileAndWhyAndKeepsTheOldFile)
{
    xandrel::gui::SetDataFolder("missing");
    StringModify config;
    String2 names;
    for (QDialog* dialog : {static_cast<QDialog*>(&config), static_cast<QDialog*>(&names)}) {
        dialog->show();
        messages.clear();
        Click(*dialog, 1156);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
        EXPECT_TRUE(messages[0].text.contains("missing/ds.dat: the folder")) << messages[0].text.toStdString();
    }
    EXPECT_FALSE(fs::exists(root / "missing"));

    // A data folder that cannot be written (not for root, who writes anyway).
    xandrel::gui::SetDataFolder("data");
    writeStringTable(Sample());
    fs::permissions(root / "data", fs::perms::owner_write, fs::perm_options::remove);
    if (::access((root / "data").c_str(), W_OK) == 0)
        return;
    config.show();
    SetText(config, 1165, "changed");
    messages.clear();
    Click(config, 1156);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("data/ds.dat")) << messages[0].text.toStdString();
    EXPECT_EQ(stringTableBytes(), FormatStringTable(Sample()));
}

TEST_F(CustomDialogs, StringTableSavesTheNamesAndKeepsWhatGuiConfigSet)
{
    {
        StringModify config;
        config.show();
        SetText(config, 1180, "Studio A");
        SetText(config, 1165, "Einstellungen");
        SetText(config, 1149, "Kein Echo vom Gerät.");
        SetText(config, 1181, "Réglages");
        SetText(config, 1182, "Ports");
        Click(config, 1156);
    }
    String2 names;
    names.m_InputNumber = 4;
    names.show();
    EXPECT_EQ(names.m_MainTitle, "Studio A");
    EXPECT_FALSE(Box(names, 1176)->isEnabled());
    SetText(names, 1172, "Kamera " + kEuro);
    SetText(names, 1179, std::string(35, 'n'));  // disabled, saved all the same
    Click(names, 1156);
    ASSERT_TRUE(saved());

    const StringTable read = ReadBack();
    EXPECT_EQ(read.toolbar[0], "Einstellungen");
    EXPECT_EQ(read.errorMessages[5], "Kein Echo vom Gerät.");
    EXPECT_EQ(read.titles, (std::array<std::string, 3>{"Studio A", "Réglages", "Ports"}));
    EXPECT_EQ(read.inputs[0], "Kamera " + kEuro);
    EXPECT_EQ(read.inputs[7], std::string(28, 'n'));
    EXPECT_EQ(read.outputs[7], "output 8");
}

TEST_F(CustomDialogs, LoadedFilesArePreviewedAndCopiedOverTheDataFiles)
{
    const fs::path elsewhere = root / "elsewhere";
    ASSERT_TRUE(SaveFilled(elsewhere / "red.ico", QSize(32, 32), Qt::red, "ICO"));
    ASSERT_TRUE(SaveFilled(elsewhere / "blue.bmp", QSize(64, 40), Qt::blue, "BMP"));
    StringModify dialog;
    dialog.show();
    load(dialog, 1151, "red.ico");  // named from the directory the file dialog moved to
    EXPECT_EQ(QDir::currentPath(), QString::fromStdString(root.string()));
    EXPECT_EQ(dialog.m_IconPath, QString::fromStdString((elsewhere / "red.ico").string()));
    const QImage icon = dialog.findChild<QLabel*>(QStringLiteral("preview1155"))->pixmap().toImage();
    EXPECT_EQ(icon.pixelColor(icon.rect().center()), QColor(Qt::red));

    load(dialog, 1150, elsewhere / "blue.bmp");
    const QImage picture = dialog.findChild<QWidget*>(QStringLiteral("preview1154"))->grab().toImage();
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::black)) << "the frame";
    EXPECT_EQ(picture.pixelColor(1, picture.height() - 2), QColor(Qt::blue)) << "stretched to the frame";

    load(dialog, 1151, "");  // cancelled: the path stays, the directory comes back
    EXPECT_EQ(QDir::currentPath(), QString::fromStdString(root.string()));
    EXPECT_TRUE(dialog.m_IconPath.endsWith("red.ico"));

    Click(dialog, 1156);
    EXPECT_TRUE(fs::exists(root / "data" / "ds.dat"));
    Click(dialog, 1153);
    Click(dialog, 1152);
    EXPECT_EQ(FileBytes(root / "data" / "ic.dat"), FileBytes(elsewhere / "red.ico"));
    EXPECT_EQ(FileBytes(root / "data" / "sp.dat"), FileBytes(elsewhere / "blue.bmp"));
    EXPECT_EQ(messages.size(), 1u) << "the save's confirmation only";
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "data"), fs::directory_iterator()), 3)
        << "no temporary file left";

    expectSetDefaultQuestion(dialog, QMessageBox::Ok);
    EXPECT_EQ(dialog.m_IconPath, "data/ic.dat");
    EXPECT_EQ(dialog.m_SplashPath, "data/sp.dat");
}

// Files that are no pictures get the built-in icon and an empty frame, and
// are copied all the same. A copy is reported only when the data folder
// cannot take it, not when the chosen file cannot be read.
TEST_F(CustomDialogs, PicturesThatAreNoneAndCopiesThatFail)
{
    const std::string garbage("\0\0\1\0\xFF\xFF", 6);
    WriteBytes(root / "elsewhere" / "garbage.ico", garbage);
    ASSERT_TRUE(SaveFilled(root / "data" / "sp.dat", QSize(20, 20), Qt::green, "PNG"));
    StringModify dialog;
    dialog.show();
    auto* icon = dialog.findChild<QLabel*>(QStringLiteral("preview1155"));
    const QImage builtIn = xandrel::art::LibraryIcon().pixmap(icon->size()).toImage();
    EXPECT_EQ(icon->pixmap().toImage(), builtIn) << "no ic.dat";
    const QImage frame = dialog.findChild<QWidget*>(QStringLiteral("preview1154"))->grab().toImage();
    EXPECT_EQ(frame.pixelColor(frame.rect().center()), dialog.palette().color(QPalette::Window))
        << "a PNG is no bitmap for the splash";

    Click(dialog, 1153);  // no Load and no ic.dat: nothing to copy
    load(dialog, 1151, root / "elsewhere" / "no such file");
    Click(dialog, 1153);
    EXPECT_FALSE(fs::exists(root / "data" / "ic.dat"));
    load(dialog, 1151, root / "elsewhere" / "garbage.ico");
    EXPECT_EQ(icon->pixmap().toImage(), builtIn);
    Click(dialog, 1153);
    EXPECT_EQ(FileBytes(root / "data" / "ic.dat"), garbage);
    EXPECT_TRUE(messages.empty());

    xandrel::gui::SetDataFolder("gone");
    Click(dialog, 1153);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Change ICON");
    EXPECT_TRUE(messages[0].text.contains("gone/ic.dat")) << messages[0].text.toStdString();
    EXPECT_FALSE(fs::exists(root / "gone"));
}

// Every label and button gets the room it asks for, inside its parent. With
// QUELLIX_DIALOG_SHOTS set to a folder, both dialogs are saved there as PNG.
TEST_F(CustomDialogs, LayoutsGiveEveryControlItsRoom)
{
    StringTable table = xandrel::DefaultStringTable();
    table.inputs = {"Blu-ray Player", "Camera 1", "Camera 2", "Laptop", "Media Server", "Satellite", "Console", "PC"};
    table.outputs = {"Projector", "Stage Left", "Stage Right", "Lobby", "Control Room", "Recorder", "Stream", "Spare"};
    writeStringTable(table);
    ASSERT_TRUE(SaveFilled(root / "data" / "sp.dat", QSize(480, 300), QColor(40, 90, 150), "BMP"));
    StringModify config;
    config.m_InputNumber = 4;
    String2 names;
    names.m_OutputNumber = 4;
    const QString shots = qEnvironmentVariable("QUELLIX_DIALOG_SHOTS");
    for (auto [dialog, name] : {std::pair<QDialog*, const char*>{&config, "gui-config"}, {&names, "string-table"}}) {
        dialog->show();
        dialog->resize(dialog->sizeHint());  // the offscreen screen is small
        QApplication::processEvents();
        for (QWidget* child : dialog->findChildren<QWidget*>()) {
            EXPECT_TRUE(child->parentWidget()->rect().contains(child->geometry())) << name;
            if (qobject_cast<QLabel*>(child) || qobject_cast<QPushButton*>(child)) {
                EXPECT_GE(child->width(), child->sizeHint().width())
                    << name << " " << child->property("text").toString().toStdString();
            }
        }
        if (!shots.isEmpty()) {
            EXPECT_TRUE(QDir().mkpath(shots) && dialog->grab().save(shots + "/" + name + ".png"));
        }
    }
}

// A laptop's work area of 1280 x 720 shows the two largest dialogs whole,
// less the title bar: what does not fit scrolls into view.
TEST(SmallScreen, TheLargestDialogsFitAndScroll)
{
    StringModify config;
    CDlgEDIDConfig edid;
    edid.m_Tab->setCurrentIndex(1);  // the taller byte page
    for (QDialog* dialog : {static_cast<QDialog*>(&config), static_cast<QDialog*>(&edid)}) {
        dialog->resize(1280, 672);
        dialog->show();
        QApplication::processEvents();
        EXPECT_LE(dialog->height(), 672) << dialog->windowTitle().toStdString();
        const QList<QScrollArea*> areas = dialog->findChildren<QScrollArea*>();
        EXPECT_FALSE(areas.isEmpty());
        for (const QScrollArea* area : areas) {
            if (area->isVisible()) {
                EXPECT_GE(area->verticalScrollBar()->maximum(), area->widget()->height() - area->viewport()->height())
                    << "what does not fit scrolls into view";
            }
        }
        dialog->hide();
    }
}

}  // namespace
