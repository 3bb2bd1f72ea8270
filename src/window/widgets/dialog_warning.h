// The program's own modal warning box (title, picture, text, "确定"), frameless and styled
// like the main window; every failure and refusal is reported through it.
#pragma once

#include "titlebardrag.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Dialog_Warning;
}

class Dialog_Warning : public QDialog
{
    Q_OBJECT

public:
    Dialog_Warning(QWidget *parent, const QString &title, const QString &text);
    ~Dialog_Warning() override;

    static constexpr int kWidth = 320;
    static constexpr int kHeight = 150;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private slots:
    void on_pushButton_ok_clicked();
    void on_pushButton_close_clicked();

private:
    std::unique_ptr<Ui::Dialog_Warning> ui;
    TitleBarDrag m_drag;
};
