// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The GUI Config dialog: every text of the string table, the window icon and
// the splash picture. It is opened from the matrix window's Setting command
// with the configuration key chord held.
#include <QString>

#include "xandrel/custom/DataFolder.h"
#include "xandrel/custom/String2.h"

class QLabel;

namespace xandrel::gui {
class PicturePreview;
}

class XANDREL_EXPORT StringModify : public xandrel::gui::StringTableDialog {
    Q_OBJECT
public:
    explicit StringModify(QWidget* parent = nullptr);

    // The file the icon preview shows and "Change ICON" copies over ic.dat,
    // and the file the picture preview shows and "Change Splash Picture"
    // copies over sp.dat: the data files themselves until a Load picks others.
    QString m_IconPath;
    QString m_SplashPath;
    // The current directory when the dialog was shown. The data files are
    // named from it, so it is restored after every file dialog.
    QString m_SavedDirectory;

protected:
    void OnInitDialog() override;
    void FillDefaults() override;
    xandrel::StringTable TableToSave() const override;

private:
    // Both paths back to the data files, and both previews redone.
    void ResetPictures();
    void ShowIconPreview();
    void ShowPicturePreview();
    void LoadFile(QString& path, const QString& caption, void (StringModify::*preview)());
    void ReplaceDataFile(const QString& source, xandrel::DataFile file, const QString& caption);

    xandrel::gui::StringSectionGroup* m_TitleGroup;
    xandrel::gui::StringSectionGroup* m_ErrorGroup;
    xandrel::gui::StringSectionGroup* m_ToolbarGroup;
    QLabel* m_IconPreview;
    xandrel::gui::PicturePreview* m_PicturePreview;
};
