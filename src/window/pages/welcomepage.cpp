#include "welcomepage.h"
#include "ui_welcomepage.h"

WelcomePage::WelcomePage(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::WelcomePage>())
{
    ui->setupUi(this);
    ui->label_fac_name->hide();
    ui->label_fac_addr->hide();
}

WelcomePage::~WelcomePage() = default;
