// Page 14: the user's two-point calibration, an offset and a slope from the measured to the
// standard value.
#pragma once

#include <QWidget>

#include <array>
#include <memory>

class PageHost;
class QLineEdit;

namespace Ui {
class UserCalibrationPage;
}

class UserCalibrationPage : public QWidget
{
    Q_OBJECT
public:
    explicit UserCalibrationPage(PageHost &host, QWidget *parent = nullptr);
    ~UserCalibrationPage() override;

    // "read yonghujiaozhunshuju succeed" (the window then shows page 14).
    void fill();
    // Widgets -> record with the fit; returns why it must not be written, or an empty text.
    QString collect();
    // "read ADC succeed".
    void showLiveValues();

private slots:
    void on_pushButton_yonghujiaozhun_duqu_clicked();
    void on_pushButton_yonghujiaozhun_xieru_clicked();
    void pushButton_clicked_yonghujiaozhuncaiji0();
    void pushButton_clicked_yonghujiaozhuncaiji1();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::UserCalibrationPage> ui;
    std::array<QLineEdit *, 2> m_userStdEdits{};
    std::array<QLineEdit *, 2> m_userMeasEdits{};
};
