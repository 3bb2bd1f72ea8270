// Page 8: damping and transfer function.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class OutputPage;
}

class OutputPage : public QWidget
{
    Q_OBJECT

public:
    explicit OutputPage(PageHost &host, QWidget *parent = nullptr);
    ~OutputPage() override;

    void fill();
    void collect();

private slots:
    void on_pushButton_send_shuchushezhi_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::OutputPage> ui;
};
