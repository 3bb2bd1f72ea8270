// Page 3: addresses (shown only), tag, descriptor, message, date and final assembly number.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class MeterInfoPage;
}

class MeterInfoPage : public QWidget
{
    Q_OBJECT

public:
    explicit MeterInfoPage(PageHost &host, QWidget *parent = nullptr);
    ~MeterInfoPage() override;

    void fill();
    void collect();

private slots:
    void on_pushButton_xieruyibiaoxinxi_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::MeterInfoPage> ui;
};
