// Pictures of the toolbar's clipboard commands: the desktop's icon theme
// first, our own drawings where the theme has none.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace vekshell {

// "edit-cut" (scissors), "edit-copy" (two sheets) or "edit-paste" (a
// clipboard with a sheet), drawn at 16, 20, 24, 32 and 48 pixels; a null icon
// for any other name.
QIcon drawnCommandIcon(const QString& themeName);

// The theme's icon of that name, or the drawing above.
QIcon commandIcon(const QString& themeName);

}  // namespace vekshell
