// Modal warning box; see dialog_warning.h.
#include "dialog_warning.h"
#include "ui_dialog_warning.h"

#include <QMouseEvent>

Dialog_Warning::Dialog_Warning(QWidget *parent, const QString &title, const QString &text)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Dialog_Warning>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setMouseTracking(true);
    ui->label_title->setText(title);
    setWindowTitle(title);
    ui->label_warning->setText(text);
    ui->label_warning->setWordWrap(true);
    ui->label_warning->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

Dialog_Warning::~Dialog_Warning() = default;

void Dialog_Warning::on_pushButton_ok_clicked()
{
    close();
}

void Dialog_Warning::on_pushButton_close_clicked()
{
    close();
}

void Dialog_Warning::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.press(event->localPos(), ui->widget_title->size());
}

void Dialog_Warning::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag.isDragging())
        move(m_drag.target(event->screenPos()));
}

void Dialog_Warning::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.release();
}
