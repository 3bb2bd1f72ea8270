// Asks the operator for the loop current an ammeter shows; frameless, draggable by its
// title, Return confirms and closing (× or Escape) cancels.
#pragma once

#include "titlebardrag.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Dialog_Current_cal;
}

class Dialog_Current_cal : public QDialog
{
    Q_OBJECT

public:
    Dialog_Current_cal(QWidget *parent, const QString &title, const QString &initialText);
    ~Dialog_Current_cal() override;

    // The typed text as a number (0 when it is none), whichever way the dialog closed.
    float value() const { return m_value; }
    bool accepted() const { return m_accepted; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void reject() override;

private slots:
    void on_pushButton_OK_clicked();
    void on_pushButton_close_clicked();

private:
    void finish(bool accepted);

    std::unique_ptr<Ui::Dialog_Current_cal> ui;
    TitleBarDrag m_drag;
    float m_value = 0.0f;
    bool m_accepted = false;
};
