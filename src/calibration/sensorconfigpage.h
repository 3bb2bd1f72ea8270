// Page 16, sensor configuration: the sensor type, its compensation source, excitation and
// gains, its own unit, limits and serial number, with the wiring diagram of each sensor.
#pragma once

#include <QWidget>

#include <memory>

class PageHost;

namespace Ui {
class SensorConfigPage;
}

class SensorConfigPage : public QWidget
{
    Q_OBJECT

public:
    explicit SensorConfigPage(PageHost &host, QWidget *parent = nullptr);
    ~SensorConfigPage() override;

    // "read chuanganqipeizhishuju succeed"; takes the data lock itself.
    void fill();
    // Before "write chuanganqipeizhishuju" and in write-all; takes the data lock itself.
    void collect();

signals:
    // The sensor unit's text, for the linearization page's user unit.
    void sensorUnitChanged(const QString &unitText);

private slots:
    void on_pushButton_chuanganqishezhi_duqu_clicked();
    void on_pushButton_chuanganqishezhi_xieru_clicked();
    void on_comboBox_chuanganqishezhi_chuanganqileixing_currentTextChanged(const QString &text);
    void on_comboBox_chuanganqishezhi_wenbufangshi_currentTextChanged(const QString &text);
    void on_comboBox_chuanganqishezhi_chuanganqileixing_currentIndexChanged(int index);
    void on_comboBox_chuanganqishezhi_sersor_unit_currentIndexChanged(int index);
    void on_comboBox_chuanganqishezhi_hengyayuan_currentTextChanged(const QString &text);
    void on_comboBox_chuanganqishezhi_p_gain_currentTextChanged(const QString &text);
    void on_comboBox_chuanganqishezhi_t_gain_currentTextChanged(const QString &text);

private:
    enum class Apply { WholeRow, ImageOfSiliconTypes };
    void applyWiring(Apply what);
    void refuseBridgeForMonocrystalline();
    void updateRanges();

    PageHost &m_host;
    std::unique_ptr<Ui::SensorConfigPage> ui;
    // While a fill sets the combos one by one, a half-set combination is no user choice.
    bool m_filling = false;
};
