// The user's language: Qt's own translations (its dialogs and buttons) and the program's, from
// translations/ beside the program, for the locale the session asks for.
#pragma once

class QCoreApplication;
class QString;

namespace ostrel {

// Installs the translators that exist for the system locale; English needs none.
void LoadTranslations(QCoreApplication& app, const QString& appFolder);

}  // namespace ostrel
