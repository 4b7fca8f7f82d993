// The open dialog's preview panel and the save dialog's formats.
#include "engine/image_file.h"
#include "file_save_as_dlg.h"
#include "part_preview.h"
#include "pic_show_dlg.h"
#include "shell_test_support.h"
#include "string_table.h"

#include <QCheckBox>
#include <QLabel>

namespace tandemscan {
namespace {

using testing::ProgramFolder;

class FileDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::application(); }
};

std::shared_ptr<ImageFileLibrary> component() {
    std::string why;
    auto library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
    EXPECT_TRUE(library) << why;
    return library;
}

TEST_F(FileDialogsTest, PreviewPanelDescribesTheFile) {
    ProgramFolder folder;
    const QString colour = QString::fromStdString(folder.writePart("colour.bmp", 60, 500, 11811));
    QImage gray(300, 100, QImage::Format_Grayscale8);
    gray.fill(128);
    gray.setDotsPerMeterX(3937);
    const QString grayPath = QString::fromStdString((folder.root / "gray.bmp").string());
    ASSERT_TRUE(gray.save(grayPath));

    CPicShowDlg::setShowPreview(true);
    CPicShowDlg dialog(nullptr, nullptr, makePartPreviewReader(component()));
    dialog.thumbnail()->resize(160, 160);
    EXPECT_TRUE(dialog.previewBox()->isChecked());
    dialog.showFile(colour);
    EXPECT_EQ(dialog.sizeLine()->text(), "Image Size: 500 * 700 pixels");
    EXPECT_EQ(dialog.depthLine()->text(), "Color depth: 24 bits");
    EXPECT_EQ(dialog.typeLine()->text(), "Image Type: color");
    EXPECT_EQ(dialog.resolutionLine()->text(), "Resolution: 300 DPI");
    EXPECT_EQ(dialog.warningLine()->text(), "");
    ASSERT_FALSE(dialog.thumbnail()->image().isNull());
    EXPECT_EQ(dialog.thumbnail()->imageRect(), Rect::at(23, 0, 114, 160));

    dialog.showFile(grayPath);
    EXPECT_EQ(dialog.depthLine()->text(), "Color depth: 8 bits");
    EXPECT_EQ(dialog.typeLine()->text(), "Image Type: gray");
    EXPECT_EQ(dialog.resolutionLine()->text(), "Resolution: 100 DPI");

    // An unreadable file leaves the lines as they were.
    dialog.showFile(QString::fromStdString((folder.root / "missing.bmp").string()));
    EXPECT_EQ(dialog.sizeLine()->text(), "Image Size: 300 * 100 pixels");

    dialog.previewBox()->setChecked(false);
    EXPECT_TRUE(dialog.thumbnail()->image().isNull());
    EXPECT_FALSE(CPicShowDlg::showPreview());
    dialog.showFile(colour); // lines still follow the selection, the picture does not
    EXPECT_EQ(dialog.sizeLine()->text(), "Image Size: 500 * 700 pixels");
    EXPECT_TRUE(dialog.thumbnail()->image().isNull());

    // The choice outlives the dialog.
    CPicShowDlg again(nullptr, nullptr, {});
    EXPECT_FALSE(again.previewBox()->isChecked());
    again.previewBox()->setChecked(true);
    EXPECT_TRUE(CPicShowDlg::showPreview());
}

TEST_F(FileDialogsTest, PartFilterMatchesAnyCase) {
    const QStringList filters = nameFiltersFromPairs(QString::fromLatin1(partFileFilter));
    ASSERT_EQ(filters.size(), 5);
    EXPECT_EQ(filters[0],
              "Supported Files(*.bmp,*.jpg,*.jpeg,*.png,*.tif,*.tiff) (*.[bB][mM][pP] *.[jJ][pP][gG] "
              "*.[jJ][pP][eE][gG] *.[pP][nN][gG] *.[tT][iI][fF] *.[tT][iI][fF][fF])");
    EXPECT_EQ(filters[1], "Bitmap (*.bmp) (*.[bB][mM][pP])");
    EXPECT_EQ(filters[2], "Jpeg (*.jpg,*.jpeg) (*.[jJ][pP][gG] *.[jJ][pP][eE][gG])");
    EXPECT_EQ(filters[4], "TIFF (*.tif,*.tiff) (*.[tT][iI][fF] *.[tT][iI][fF][fF])");
}

TEST_F(FileDialogsTest, SaveDialogKeepsExtensionInStep) {
    CFileSaveAsDlg dialog(nullptr, nullptr, QString(), std::string(stringText(IdsFormatsColour)),
                          QStringLiteral("*.bmp"));
    EXPECT_EQ(dialog.formatIndex(), 1);
    EXPECT_EQ(dialog.nameFilters().size(), 5);
    EXPECT_EQ(dialog.typedName(), "*.bmp");
    dialog.setTypedName(QStringLiteral("scan"));
    dialog.chooseFormat(5);
    EXPECT_EQ(dialog.typedName(), "scan.png");
    EXPECT_EQ(dialog.selectedNameFilter(), "PNG File (*.png)");
    dialog.chooseFormat(2);
    EXPECT_EQ(dialog.typedName(), "scan.tif");
    EXPECT_EQ(dialog.formatIndex(), 2);
    dialog.selectFile(QStringLiteral("/tmp/result"));
    EXPECT_EQ(dialog.chosenPath(), "/tmp/result.tif"); // a bare name gets the chosen format's extension
    dialog.selectFile(QStringLiteral("/tmp/result.png"));
    EXPECT_EQ(dialog.chosenPath(), "/tmp/result.png");

    CFileSaveAsDlg named(nullptr, nullptr, QString(), std::string(stringText(IdsFormatsGray)),
                         QStringLiteral("x.TIF"));
    EXPECT_EQ(named.formatIndex(), 5);
    EXPECT_EQ(named.selectedNameFilter(), "TIFF File (*.tif)");
}

} // namespace
} // namespace tandemscan
