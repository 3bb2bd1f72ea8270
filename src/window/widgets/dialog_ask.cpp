// Modal yes/no question; see dialog_ask.h.
#include "dialog_ask.h"
#include "ui_dialog_ask.h"

#include <QMouseEvent>

Dialog_ask::Dialog_ask(QWidget *parent, const QString &title, const QString &text)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Dialog_ask>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setMouseTracking(true);
    ui->label_title->setText(title);
    setWindowTitle(title);
    ui->label_content->setText(text);
    ui->label_content->setWordWrap(true);
    ui->label_content->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

Dialog_ask::~Dialog_ask() = default;

void Dialog_ask::on_pushButton_yes_clicked()
{
    m_answer = true;
    close();
}

void Dialog_ask::on_pushButton_no_clicked()
{
    m_answer = false;
    close();
}

void Dialog_ask::on_pushButton_close_clicked()
{
    close();
}

void Dialog_ask::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.press(event->localPos(), ui->widget_title->size());
}

void Dialog_ask::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag.isDragging())
        move(m_drag.target(event->screenPos()));
}

void Dialog_ask::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.release();
}
