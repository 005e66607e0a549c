#pragma once

#include <QFileDialog>

class CHelpViewer;

// The export's Save As: Qt's own file dialog (the same on every desktop)
// titled "Export Data", for text files, with a Help button that opens the
// "export.htm" topic. A name without an extension gets ".txt"; an existing
// file is replaced only after the user agrees; a folder that does not exist
// is refused with a message.
class CMyFileDialog : public QFileDialog {
    Q_OBJECT
public:
    CMyFileDialog(CHelpViewer& help, QWidget* parent);

    // Opens in `initialFolder` (the home folder when it is empty or gone)
    // with `proposal` as the file name; true with the chosen full path after
    // Save, false after Cancel.
    bool Ask(const QString& proposal, const QString& initialFolder, QString& chosenPath);

    void accept() override;

private:
    CHelpViewer& m_help;
};
