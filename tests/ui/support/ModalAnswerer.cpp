#include "ModalAnswerer.h"

#include "MyFileDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

CModalAnswerer::CModalAnswerer() {
    m_timer.setInterval(15);
    connect(&m_timer, &QTimer::timeout, this, &CModalAnswerer::Poll);
    m_timer.start();
}

CModalAnswerer& CModalAnswerer::Then(Step step) {
    m_steps.push_back(std::move(step));
    return *this;
}

void CModalAnswerer::Poll() {
    if (m_last != nullptr && !m_last->isVisible()) {
        m_last = nullptr;
    }
    // A step that failed leaves its window open: close it, so the test ends
    // with its failure instead of waiting for ever.
    if (m_last != nullptr && QTest::currentTestFailed()) {
        if (auto* dialog = qobject_cast<QDialog*>(m_last.data())) {
            dialog->reject();
        } else {
            m_last->close();
        }
        return;
    }
    QWidget* modal = QApplication::activePopupWidget();
    if (modal == nullptr) {
        modal = QApplication::activeModalWidget();
    }
    if (modal == nullptr || modal == m_last || !modal->isVisible()) {
        return;
    }
    m_last = modal;
    if (m_steps.empty()) {
        // Nobody expected it: count it and close it, so the test goes on to fail.
        ++m_nUnexpected;
        QTimer::singleShot(0, modal, [modal] {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        });
        return;
    }
    ++m_nAnswered;
    // Run outside the poll: a step that opens another modal window waits in
    // its event loop, where the poll must go on.
    QTimer::singleShot(0, modal, [step = std::move(m_steps.front()), target = QPointer<QWidget>(modal)] {
        if (target != nullptr) {
            step(target);
        }
    });
    m_steps.pop_front();
}

void ClickBoxButton(QMessageBox* box, int button) {
    QAbstractButton* target = box->button(static_cast<QMessageBox::StandardButton>(button));
    QVERIFY(target != nullptr);
    QTest::mouseClick(target, Qt::LeftButton);
}

void SaveAs(QWidget* widget, const QString& name) {
    auto* dialog = qobject_cast<CMyFileDialog*>(widget);
    QVERIFY2(dialog != nullptr, widget->metaObject()->className());
    auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameEdit != nullptr);
    nameEdit->clear();
    QTest::keyClicks(nameEdit, name);
    QPushButton* save = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save);
    QVERIFY(save != nullptr);
    QTest::mouseClick(save, Qt::LeftButton);
}

CModalAnswerer::Step CModalAnswerer::AnswerBox(const QString& text, const QString& caption, int icon, int button) {
    return [text, caption, icon, button](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY2(box != nullptr, qPrintable(QStringLiteral("expected a message box, found ") +
                                            widget->metaObject()->className()));
        [&] {
            QCOMPARE(box->text(), text);
            QCOMPARE(box->windowTitle(), caption);
            QCOMPARE(static_cast<int>(box->icon()), icon);
        }();
        ClickBoxButton(box, button);
    };
}
