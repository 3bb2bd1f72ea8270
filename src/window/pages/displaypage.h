// Page 9: what the local display shows, its decimals, language and contrast.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class DisplayPage;
}

class DisplayPage : public QWidget
{
    Q_OBJECT

public:
    explicit DisplayPage(PageHost &host, QWidget *parent = nullptr);
    ~DisplayPage() override;

    void fill();
    void collect();

private slots:
    void on_pushButton_send_xianshishezhi_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::DisplayPage> ui;
};
