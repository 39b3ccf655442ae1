// The desktop program's compiled-in images: the application icon and the
// toolbar's button images.
//
// The resource file is compiled into the static library quorvia_gui, whose
// registration object the linker drops unless something refers to it, so
// the program (and every widget test) calls InitGuiResources() once before
// the first image is asked for.
#pragma once

#include <QIcon>

namespace qm {

// The application id, in reverse domain form: the name of the desktop file
// the desktop knows the program by (com.zantoria.Quorvia.desktop) and of its
// icon; the launcher's progress and the window's application id use it.
inline constexpr char16_t kDesktopFileId[] = u"com.zantoria.Quorvia";

// The toolbar's images, indexed in button order.
enum QmToolbarImage : int {
    QM_TBIMG_NEW = 0,
    QM_TBIMG_OPEN = 1,
    QM_TBIMG_SAVE = 2,
    QM_TBIMG_RELOCATE = 3,
    QM_TBIMG_VERIFY_ALL = 4,
    QM_TBIMG_STOP = 5,
    QM_TBIMG_FIND = 6,
    QM_TBIMG_ABOUT = 7,
    QM_TBIMG_COUNT = 8,
};

// Registers the compiled-in resources; later calls do nothing.
void InitGuiResources();

// The application icon in every bundled size.
QIcon AppIcon();

// The image of toolbar button `imageIndex`: the desktop theme's icon for that
// action when the theme has one, so the toolbar matches the desktop, else our
// own bundled image, so no button is ever blank. A null icon for an index
// outside 0 … QM_TBIMG_COUNT − 1.
QIcon ToolbarIcon(int imageIndex);

// Only our bundled image of button `imageIndex` (the theme is not asked).
QIcon BundledToolbarIcon(int imageIndex);

}  // namespace qm
