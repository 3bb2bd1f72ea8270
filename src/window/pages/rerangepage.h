// Page 7: the present range, shifted to the process value at its zero or its span.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class RerangePage;
}

class RerangePage : public QWidget
{
    Q_OBJECT

public:
    explicit RerangePage(PageHost &host, QWidget *parent = nullptr);
    ~RerangePage() override;

    void fill();

private slots:
    void on_pushButton_lingdianqianyi_clicked();
    void on_pushButton_liangchengqianyi_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::RerangePage> ui;
};
