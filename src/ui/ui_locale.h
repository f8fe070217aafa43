#pragma once

#include <QStringList>

// Makes the toolkit's own texts (standard buttons, edit menus, the folder
// picker, the calendar) Chinese like the rest of the program: zh_CN becomes
// the default locale whatever the environment says, and Qt's Simplified
// Chinese translations are installed from the first of Folders that has them.
// False when none has; the toolkit then keeps its English texts.
bool InstallChineseUi(const QStringList& Folders);

// Where Qt's translations are looked for: Qt's own folder, then a
// "translations" folder next to the program (a copied Windows build).
QStringList TranslationFolders();
