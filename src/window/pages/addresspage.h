// Page 5: the polling address the master uses and the device identifier; writes a new one.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class AddressPage;
}

class AddressPage : public QWidget
{
    Q_OBJECT

public:
    explicit AddressPage(PageHost &host, QWidget *parent = nullptr);
    ~AddressPage() override;

    void fill();

private slots:
    void on_pushButton_set_addr_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::AddressPage> ui;
};
