// Reads a part file for the open dialog's preview panel through the image file component.
#pragma once

#include "pic_show_dlg.h"

#include <memory>

namespace tandemscan {

class ImageFileLibrary;

// A reader for CPicShowDlg; it reads nothing when the component is missing.
PictureReader makePartPreviewReader(std::shared_ptr<ImageFileLibrary> component);

} // namespace tandemscan
