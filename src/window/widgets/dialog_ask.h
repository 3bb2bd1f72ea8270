// The program's own modal yes/no question, frameless and styled like the main window.
// The answer is no unless "是" was pressed; "×" answers no.
#pragma once

#include "titlebardrag.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Dialog_ask;
}

class Dialog_ask : public QDialog
{
    Q_OBJECT

public:
    Dialog_ask(QWidget *parent, const QString &title, const QString &text);
    ~Dialog_ask() override;

    bool answer() const { return m_answer; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private slots:
    void on_pushButton_yes_clicked();
    void on_pushButton_no_clicked();
    void on_pushButton_close_clicked();

private:
    std::unique_ptr<Ui::Dialog_ask> ui;
    bool m_answer = false;
    TitleBarDrag m_drag;
};
