// The register window ("标准器"): the reference standards with their uncertainty and due
// dates, and a form to add or change one. The due list ("到期"): transmitters whose check is
// due within N days or overdue, sortable, exported as CSV. Both ask the register off the
// window thread.
#pragma once

#include "standardsregister.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

class StandardsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit StandardsWindow(loopcheck::StandardsRegister &reg, QWidget *parent = nullptr);
    void reload();
    // The standard in the form, checked and stored; standardsChanged follows.
    void save();

signals:
    void standardsChanged();
    void loaded(); // the list shows the register as it is now

private:
    void showStandards(const QVector<loopcheck::Standard> &list);
    void editRow(int row);
    void showMessage(const QString &text, bool problem);

    loopcheck::StandardsRegister &m_register;
    QVector<loopcheck::Standard> m_list;
    qint64 m_editing = 0;
    QTableWidget *m_table = nullptr;
    QLineEdit *m_name = nullptr, *m_model = nullptr, *m_serial = nullptr, *m_unit = nullptr,
              *m_certificate = nullptr;
    QComboBox *m_quantity = nullptr;
    QLineEdit *m_low = nullptr, *m_high = nullptr, *m_uReading = nullptr, *m_uSpan = nullptr,
              *m_uAbsolute = nullptr, *m_k = nullptr;
    QDateEdit *m_due = nullptr;
    QPushButton *m_save = nullptr, *m_new = nullptr;
    QLabel *m_message = nullptr;
};

class DueListWindow : public QWidget
{
    Q_OBJECT

public:
    explicit DueListWindow(loopcheck::StandardsRegister &reg, QWidget *parent = nullptr);
    void reload();
    void exportCsv(const QString &path);

signals:
    void loaded();
    void exported(const QString &path, const QString &error);

private:
    void showMessage(const QString &text, bool problem);

    loopcheck::StandardsRegister &m_register;
    QVector<loopcheck::TransmitterSettings> m_rows;
    QSpinBox *m_days = nullptr;
    QTableWidget *m_table = nullptr;
    QPushButton *m_export = nullptr;
    QLabel *m_message = nullptr;
};
