// Page 12, current trim and current test: holds the loop at 4 mA or 20 mA for a trim with
// the ammeter's reading, or at any test current, with three button states driven by results.
#pragma once

#include <QWidget>

#include <memory>
#include <optional>

class PageHost;

namespace Ui {
class CurrentTrimPage;
}

namespace currenttrim {

enum class State { Idle, Calibrating, Testing };

// Which controls a state leaves enabled.
struct Controls
{
    bool pointCombo, enterCalibration, sendCalibration, leaveCalibration;
    bool enterTest, sendTest, leaveTest;
};
Controls controlsFor(State state);

// The trim point held while calibrating: combo item 0 is 4 mA, any other 20 mA.
float trimPointMa(int comboIndex);

// A typed current in mA, or nothing when the text is empty, not a number or not above 0:
// a trim reading of 0 is no reading, and a test current of 0 would release the loop while
// the page still shows it held. Any other value goes as typed (a 3.6 mA low-alarm test).
std::optional<float> typedCurrentMa(const QString &text);

// The state a result leads to, or the present one for results that keep it.
State nextState(State present, const QString &result);

} // namespace currenttrim

class CurrentTrimPage : public QWidget
{
    Q_OBJECT

public:
    explicit CurrentTrimPage(PageHost &host, QWidget *parent = nullptr);
    ~CurrentTrimPage() override;

    currenttrim::State state() const { return m_state; }
    // For each of the page's results, after the shell's status text, dialog and
    // fixed-current flag; returns false for strings that are not the page's.
    bool onTrimResult(const QString &result);

private slots:
    void on_pushButton_dianliujiaozhun_jinrujiaozhun_clicked();
    void on_comboBox_dianliujiaozhun_lilundianliu_activated(int index);
    void on_pushButton_dianliujiaozhun_fasongjiaozhun_clicked();
    void on_pushButton_dianliujiaozhun_tuichujiaozhun_clicked();
    void on_pushButton_dianliujiaozhun_jinruceshi_clicked();
    void on_pushButton_dianliujiaozhun_fasongceshi_clicked();
    void on_pushButton_dianliujiaozhun_tuichuceshi_clicked();

private:
    void setState(currenttrim::State state);
    void holdCurrent(float mA);
    void request(const QString &request, const QString &busyText = QString());

    PageHost &m_host;
    std::unique_ptr<Ui::CurrentTrimPage> ui;
    currenttrim::State m_state = currenttrim::State::Idle;
};
