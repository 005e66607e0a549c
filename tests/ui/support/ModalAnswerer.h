#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

class QMessageBox;

// Answers the modal windows (dialogs, message boxes, popup menus) that the
// code under test opens, one step per window in the order they appear. A
// step runs once the window is the active modal (or popup) widget; a window
// counts as new again after it has been hidden.
class CModalAnswerer : public QObject {
    Q_OBJECT
public:
    using Step = std::function<void(QWidget*)>;

    CModalAnswerer();

    CModalAnswerer& Then(Step step);
    bool Done() const { return m_steps.empty(); }
    int Answered() const { return m_nAnswered; }
    // Modal windows that appeared while no step was left; each is closed.
    int Unexpected() const { return m_nUnexpected; }

    // Clicks a button of a message box and checks its text, caption and icon.
    static Step AnswerBox(const QString& text, const QString& caption, int icon, int button);

private:
    void Poll();

    std::deque<Step> m_steps;
    QPointer<QWidget> m_last;
    QTimer m_timer;
    int m_nAnswered = 0;
    int m_nUnexpected = 0;
};

// Clicks a message box's standard button like a user.
void ClickBoxButton(QMessageBox* box, int button);

// Types a name into the export's Save As dialog and clicks Save.
void SaveAs(QWidget* widget, const QString& name);
