// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/StringModify.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/gui/ScrollingContent.h"
#include "xandrel/res/Artwork.h"

namespace xandrel::gui {

// The splash picture's preview: a black frame, the whole picture stretched
// into it, or nothing inside when there is no picture.
class PicturePreview : public QWidget {
public:
    explicit PicturePreview(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("preview1154"));
        // 128 x 82 dialog units of the dialog's font: a quarter of the average
        // character width across, an eighth of the line height down.
        const QFontMetrics metrics(font());
        setFixedSize(128 * metrics.averageCharWidth() / 4, 82 * metrics.height() / 8);
    }

    void SetPicture(QImage picture)
    {
        picture_ = std::move(picture);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        if (!picture_.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(rect().adjusted(1, 1, -1, -1), picture_);
        }
    }

private:
    QImage picture_;
};

}  // namespace xandrel::gui

namespace {

using namespace xandrel::gui;
using xandrel::DataFile;
using xandrel::StringSection;

// Room in the boxes, in average characters: the default error texts whole,
// and the usual toolbar captions.
constexpr int kTextChars = 48;
constexpr int kCaptionChars = 12;

QString PathOf(DataFile file)
{
    return FromBytes(xandrel::DataFilePath(file, DataFolder()));
}

QStringList Labels(std::initializer_list<const char*> texts)
{
    QStringList labels;
    for (const char* text : texts)
        labels << QString::fromLatin1(text);
    return labels;
}

QVBoxLayout* Column(QWidget* top, QWidget* bottom)
{
    auto* column = new QVBoxLayout;
    column->addWidget(top);
    column->addWidget(bottom);
    column->addStretch();
    return column;
}

// A splash picture holds at most 32 megapixels of 4 bytes, with its header.
constexpr size_t kLargestPictureFile = 132u << 20;

// Copies `source` over `target` with the programs' one safe writer, so that a
// failed copy leaves the old file whole. Empty on success, and also when the
// source cannot be read: the operator is not told about a copy that fails
// for that reason. Otherwise what went wrong with the target, for the
// operator.
QString CopyOver(const QString& source, const QString& target)
{
    const QFileInfo to(target);
    if (to.exists() && to.canonicalFilePath() == QFileInfo(source).canonicalFilePath())
        return {};  // the data file itself: nothing to change
    std::string bytes;
    std::string error;
    if (!xandrel::ReadFileBytes(source.toStdString(), bytes, error, kLargestPictureFile))
        return {};
    const QString shown = QDir::cleanPath(to.absoluteFilePath());
    if (!xandrel::WriteFileAtomically(shown.toStdString(), bytes, error))
        return xandrel::gui::FromBytes(error);
    return {};
}

}  // namespace

StringModify::StringModify(QWidget* parent)
    : StringTableDialog(QStringLiteral("GUI Config"), parent)
{
    m_TitleGroup = AddGroup(new StringSectionGroup(StringSection::Titles, QStringLiteral("Dialog Title"),
                                                   Labels({"Main Dialog :", "Setting Dialog :", "Port Scan Dialog :"}),
                                                   1180, kTextChars, this));
    m_ErrorGroup = AddGroup(new StringSectionGroup(StringSection::ErrorMessages, QStringLiteral("Error Message"),
                                                   Labels({"NO.1 :", "NO.2 :", "NO.3 :", "NO.4 :", "NO.5 :", "NO.6 :"}),
                                                   1144, kTextChars, this));
    m_ToolbarGroup = AddGroup(new StringSectionGroup(
        StringSection::Toolbar, QStringLiteral("Tool Bar Modify"),
        Labels({"Setting :", "Scan :", "Linkage :", "Open :", "Close :", "Mapping :", "Fast Select :"}), 1165,
        kCaptionChars, this));

    auto* strings = new QGroupBox(QStringLiteral("String Modify"), this);
    auto* grid = new QGridLayout(strings);
    grid->addWidget(m_TitleGroup, 0, 0);
    grid->addWidget(m_ErrorGroup, 1, 0);
    grid->addLayout(Column(saveButton_, defaultButton_), 0, 1, 2, 1);
    auto* ports = new QHBoxLayout;
    ports->addWidget(inputGroup_);
    ports->addWidget(outputGroup_);
    ports->addWidget(m_ToolbarGroup);
    grid->addLayout(ports, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    m_IconPreview = new QLabel(this);
    m_IconPreview->setObjectName(QStringLiteral("preview1155"));
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    m_IconPreview->setFixedSize(iconSize, iconSize);
    m_IconPreview->setAlignment(Qt::AlignCenter);
    m_PicturePreview = new PicturePreview(this);
    QPushButton* changeIcon = MakeButton(QStringLiteral("Change ICON"), 1153, this);
    QPushButton* loadIcon = MakeButton(QStringLiteral("Load ICON"), 1151, this);
    QPushButton* changeSplash = MakeButton(QStringLiteral("Change Splash Picture"), 1152, this);
    QPushButton* loadBmp = MakeButton(QStringLiteral("Load BMP"), 1150, this);

    auto* pictures = new QGroupBox(QStringLiteral("Picture Modify"), this);
    auto* row = new QHBoxLayout(pictures);
    row->addWidget(m_IconPreview, 0, Qt::AlignTop);
    row->addLayout(Column(changeIcon, loadIcon));
    row->addStretch();
    row->addWidget(m_PicturePreview);
    row->addLayout(Column(changeSplash, loadBmp));
    row->addStretch();

    auto* layout = new QVBoxLayout(xandrel::gui::ScrollingContent(*this));
    layout->addWidget(strings);
    layout->addWidget(pictures);

    // Tab through the texts in the order they stand, then the buttons.
    std::vector<QWidget*> order;
    for (const StringSectionGroup* group : {m_TitleGroup, m_ErrorGroup, inputGroup_, outputGroup_, m_ToolbarGroup})
        for (size_t k = 0; k < group->size(); ++k)
            order.push_back(group->box(k));
    order.insert(order.end(), {saveButton_, defaultButton_, changeIcon, loadIcon, changeSplash, loadBmp});
    for (size_t k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
    xandrel::gui::SizeForScreen(*this);

    connect(loadIcon, &QPushButton::clicked, this,
            [this] { LoadFile(m_IconPath, QStringLiteral("Load ICON"), &StringModify::ShowIconPreview); });
    connect(loadBmp, &QPushButton::clicked, this,
            [this] { LoadFile(m_SplashPath, QStringLiteral("Load BMP"), &StringModify::ShowPicturePreview); });
    connect(changeIcon, &QPushButton::clicked, this,
            [this] { ReplaceDataFile(m_IconPath, DataFile::Icon, QStringLiteral("Change ICON")); });
    connect(changeSplash, &QPushButton::clicked, this,
            [this] { ReplaceDataFile(m_SplashPath, DataFile::Splash, QStringLiteral("Change Splash Picture")); });
}

void StringModify::OnInitDialog()
{
    m_SavedDirectory = QDir::currentPath();
    ResetPictures();
    DisableMissingPorts();
    xandrel::StringTable table = BoxContents();
    if (!xandrel::ReadStringTableFile(xandrel::StringTableReader::GuiConfig, table, DataFolderPath())) {
        FillDefaults();
        return;
    }
    ShowInBoxes(table);
}

// Everything but the main window's title, which keeps what its box holds.
void StringModify::FillDefaults()
{
    ResetPictures();
    xandrel::StringTable table = xandrel::DefaultStringTable();
    table.titles[0] = ToBytes(m_TitleGroup->box(0)->text());
    ShowInBoxes(table);
}

xandrel::StringTable StringModify::TableToSave() const
{
    return BoxContents();
}

void StringModify::ResetPictures()
{
    m_IconPath = PathOf(DataFile::Icon);
    m_SplashPath = PathOf(DataFile::Splash);
    ShowIconPreview();
    ShowPicturePreview();
}

// Loaded as the matrix window loads its icon: any icon or picture file;
// the built-in icon when the file is none.
void StringModify::ShowIconPreview()
{
    QIcon icon(m_IconPath);
    if (icon.isNull() || icon.availableSizes().isEmpty())
        icon = xandrel::art::LibraryIcon();
    m_IconPreview->setPixmap(icon.pixmap(m_IconPreview->size()));
}

// Loaded as the program loads its splash picture: a bitmap file only.
void StringModify::ShowPicturePreview()
{
    QImage picture;
    picture.load(m_SplashPath, "BMP");
    m_PicturePreview->SetPicture(picture);
}

// A file dialog may move the current directory (it does on some systems), and
// the data files are named from it: it goes back in every case.
void StringModify::LoadFile(QString& path, const QString& caption, void (StringModify::*preview)())
{
    const QString chosen = ChooseFile(this, xandrel::gui::FileUse::Open, caption, QStringLiteral("* (*);;*.* (*)"));
    if (!chosen.isEmpty()) {
        path = QFileInfo(chosen).absoluteFilePath();
        (this->*preview)();
    }
    if (!m_SavedDirectory.isEmpty())
        QDir::setCurrent(m_SavedDirectory);
}

// A file that cannot be read is passed over in silence (then nothing
// changes); a data folder that cannot take the copy is reported.
void StringModify::ReplaceDataFile(const QString& source, DataFile file, const QString& caption)
{
    const QString problem = CopyOver(source, PathOf(file));
    if (!problem.isEmpty())
        ShowMessage(MessageRequest{this, problem, caption, QMessageBox::Warning});
}
