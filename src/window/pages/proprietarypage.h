// Page 10: write protection, alarm, small-signal cut-off, bias, gain and density.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class ProprietaryPage;
}

class ProprietaryPage : public QWidget
{
    Q_OBJECT

public:
    explicit ProprietaryPage(PageHost &host, QWidget *parent = nullptr);
    ~ProprietaryPage() override;

    void fill();
    void collect();

private slots:
    void on_pushButton_zhuanyoushezhi_fasong_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::ProprietaryPage> ui;
};
