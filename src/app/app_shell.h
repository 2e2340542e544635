// What the windows ask of the desktop: message boxes, the open dialog, opening addresses,
// modal windows and ending the process. The main window goes through this seam so tests can
// answer the questions and record the messages without anything blocking.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "common/messages.h"

class QDialog;
class QFileDialog;
class QUrl;
class QWidget;

namespace ostrel {

// The vendor website that the update prompt, the Website command and the about window open.
inline const QString kWebsiteUrl = QStringLiteral("https://www.ostrel-software.com/");

enum class MessageIcon { None, Information, Question, Error };

class Shell {
  public:
    virtual ~Shell() = default;

    // A message with an OK button and the application's title.
    virtual void Inform(QWidget* parent, MessageIcon icon, const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // The open dialog: several files may be chosen; nameFilters[0] is preselected. Returns
    // the chosen paths in the dialog's order, or nothing when cancelled.
    virtual QStringList ChooseFiles(QWidget* parent, const QString& folder,
                                    const QStringList& nameFilters) = 0;
    // The folder dialog; the empty text when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& folder) {
        (void)parent;
        (void)folder;
        return {};
    }
    virtual void OpenUrl(const QUrl& url) = 0;
    virtual void RunModal(QDialog& dialog) = 0;
    // Ends the process at once: no window closing steps run.
    virtual void EndProcess() = 0;
};

// The open dialog of ChooseFiles: several files, nameFilters[0] preselected. A typed name of a
// file that does not exist is accepted like any other, so that the window's own "Can not open
// file" message says what is wrong with it.
std::unique_ptr<QFileDialog> NewOpenFilesDialog(QWidget* parent, const QString& folder,
                                                const QStringList& nameFilters);

// The real desktop: QMessageBox, QFileDialog, QDesktopServices.
class DesktopShell : public Shell {
  public:
    void Inform(QWidget* parent, MessageIcon icon, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    QStringList ChooseFiles(QWidget* parent, const QString& folder,
                            const QStringList& nameFilters) override;
    QString ChooseFolder(QWidget* parent, const QString& folder) override;
    void OpenUrl(const QUrl& url) override;
    void RunModal(QDialog& dialog) override;
    void EndProcess() override;
};

}  // namespace ostrel
