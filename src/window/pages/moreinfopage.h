// Page 4: manufacturer, device type, revisions, alarm selection and write protection.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class MoreInfoPage;
}

class MoreInfoPage : public QWidget
{
    Q_OBJECT

public:
    explicit MoreInfoPage(PageHost &host, QWidget *parent = nullptr);
    ~MoreInfoPage() override;

    void fill();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::MoreInfoPage> ui;
};
