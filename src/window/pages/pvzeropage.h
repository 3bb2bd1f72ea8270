// Page 11: clear the PV to zero, and, on the maker's own transmitters, cancel that.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class PvZeroPage;
}

class PvZeroPage : public QWidget
{
    Q_OBJECT

public:
    explicit PvZeroPage(PageHost &host, QWidget *parent = nullptr);
    ~PvZeroPage() override;

    // Cancelling a zero needs the maker's own commands.
    void setCancelOffered(bool offered);

private slots:
    void on_pushButton_qingling_clicked();
    void on_pushButton_quxiaoqingling_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::PvZeroPage> ui;
};
