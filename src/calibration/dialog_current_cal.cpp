// Current entry dialog; see dialog_current_cal.h.
#include "dialog_current_cal.h"
#include "ui_dialog_current_cal.h"

#include "pageformat.h"

#include <QMouseEvent>
#include <QRegularExpressionValidator>

Dialog_Current_cal::Dialog_Current_cal(QWidget *parent, const QString &title,
                                       const QString &initialText)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Dialog_Current_cal>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setMouseTracking(true);
    setWindowTitle(title);
    ui->label_title->setText(title);
    ui->lineEdit_dangqiandianliuzhi->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^(-?(0|([1-9][0-9]{0,6}))\\.[0-9]{0,7})$")), this));
    ui->lineEdit_dangqiandianliuzhi->setText(initialText);
    ui->lineEdit_dangqiandianliuzhi->setFocus();
    connect(ui->lineEdit_dangqiandianliuzhi, &QLineEdit::returnPressed, ui->pushButton_OK,
            &QPushButton::click);
}

Dialog_Current_cal::~Dialog_Current_cal() = default;

void Dialog_Current_cal::on_pushButton_OK_clicked()
{
    finish(true);
}

void Dialog_Current_cal::on_pushButton_close_clicked()
{
    finish(false);
}

// Escape and the window manager's close land here; both count as the close button.
void Dialog_Current_cal::reject()
{
    finish(false);
}

void Dialog_Current_cal::finish(bool accepted)
{
    m_value = pagefmt::parseReal(ui->lineEdit_dangqiandianliuzhi->text());
    m_accepted = accepted;
    done(accepted ? QDialog::Accepted : QDialog::Rejected);
}

void Dialog_Current_cal::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.press(event->localPos(), ui->widget_title->size());
}

void Dialog_Current_cal::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag.isDragging())
        move(m_drag.target(event->screenPos()));
}

void Dialog_Current_cal::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.release();
}
