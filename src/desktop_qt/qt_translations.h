// Qt's own texts (the buttons of message boxes and file dialogs) in Chinese,
// like the rest of the program.
#pragma once

namespace qm {

// Loads Qt's qtbase_zh_CN translation from the system's Qt translations
// directory and installs it in the application. False when the file is not
// there; the program then shows Qt's English button texts.
bool LoadQtTranslations();

}  // namespace qm
