// Page 6: sensor limits (shown only), PV unit and range (written).
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class RangePage;
}

class RangePage : public QWidget
{
    Q_OBJECT

public:
    explicit RangePage(PageHost &host, QWidget *parent = nullptr);
    ~RangePage() override;

    enum class Fields { All, UnitAndRangeOnly };
    void fill(Fields fields = Fields::All);

private slots:
    void on_pushButton_set_range_clicked();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::RangePage> ui;
};
