#include "MyFileDialog.h"

#include "CatalogHost.h"
#include "HelpViewer.h"
#include "MessageBoxes.h"
#include "TextFormat.h"
#include "UiText.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QShortcut>

namespace {

// The filter entry of the string table ("Text files (*.txt)|*.txt||") in
// the form Qt takes: "Text files (*.txt)".
QStringList NameFilters(const QString& entry) {
    QStringList filters;
    const QStringList parts = entry.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        const QString& pattern = parts[i + 1];
        filters << (parts[i].contains(u'(') ? parts[i] : parts[i] + QStringLiteral(" (") + pattern + u')');
    }
    return filters;
}

} // namespace

CMyFileDialog::CMyFileDialog(CHelpViewer& help, QWidget* parent) : QFileDialog(parent), m_help(help) {
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowTitle(Text(IDS_EXPORT_TITLE));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters(NameFilters(Text(IDS_EXPORT_FILTER)));
    setDefaultSuffix(QStringLiteral("txt"));
    const auto showHelp = [this] { m_help.ShowTopic(QStringLiteral("export.htm"), this); };
    // After the accept mode, which sets the standard buttons anew.
    if (auto* buttons = findChild<QDialogButtonBox*>()) {
        buttons->addButton(QDialogButtonBox::Help);
        connect(buttons, &QDialogButtonBox::helpRequested, this, showHelp);
    }
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, showHelp);
}

bool CMyFileDialog::Ask(const QString& proposal, const QString& initialFolder, QString& chosenPath) {
    const bool folderExists = !initialFolder.isEmpty() && QFileInfo(initialFolder).isDir();
    setDirectory(folderExists ? initialFolder : QDir::homePath());
    selectFile(proposal);
    if (exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList files = selectedFiles();
    if (files.isEmpty()) {
        return false;
    }
    chosenPath = files.first();
    return true;
}

void CMyFileDialog::accept() {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
        const QFileInfo chosen(files.first());
        if (!chosen.isDir() && !QFileInfo(chosen.absolutePath()).isDir()) {
            const std::string text = FormatString(IDS_FOLDER_MISSING, {PathFromQString(chosen.absolutePath())});
            ShowMessageBox(this, ToQString(text), windowTitle(), MB_ICONEXCLAMATION);
            return;
        }
    }
    QFileDialog::accept();
}
