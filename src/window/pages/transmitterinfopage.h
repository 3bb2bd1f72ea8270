// Page 2: sensor limits, range, damping and transfer function of the found transmitter.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;
struct DeviceData;

namespace Ui {
class TransmitterInfoPage;
}

class TransmitterInfoPage : public QWidget
{
    Q_OBJECT

public:
    explicit TransmitterInfoPage(PageHost &host, QWidget *parent = nullptr);
    ~TransmitterInfoPage() override;

    void fill();
    // From a copy the caller already took under the data lock (the search flow).
    void fillFrom(const DeviceData &d);

private:
    PageHost &m_host;
    std::unique_ptr<Ui::TransmitterInfoPage> ui;
};
