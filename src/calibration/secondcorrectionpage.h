// Page 18: the second nonlinearity correction, a 2-5 point polynomial from the measured to the
// standard value applied after the range has been rescaled.
#pragma once

#include "calibrationrules.h"

#include <QWidget>

#include <array>
#include <memory>

class PageHost;
class QLineEdit;
class QPushButton;

namespace Ui {
class SecondCorrectionPage;
}

class SecondCorrectionPage : public QWidget
{
    Q_OBJECT
public:
    explicit SecondCorrectionPage(PageHost &host, QWidget *parent = nullptr);
    ~SecondCorrectionPage() override;

    // "read SecondNonlinearityCorrection succeed".
    void fill();
    // Widgets -> record with the fit; returns why it must not be written, or an empty text.
    QString collect();
    // "read ADC succeed".
    void showLiveValues();

private slots:
    void on_comboBox_SecondNonlinearityCorrectionNum_currentTextChanged(const QString &text);
    void on_pushButton_SecondNonlinearityCorrection_duqu_clicked();
    void on_pushButton_SecondNonlinearityCorrection_xieru_clicked();
    void pushButton_clicked_SecondNonlinearityCorrection_caiji_slot();

private:
    PageHost &m_host;
    std::unique_ptr<Ui::SecondCorrectionPage> ui;
    std::array<QLineEdit *, calrules::kSecondPoints> m_secondStdEdits{};
    std::array<QLineEdit *, calrules::kSecondPoints> m_secondMeasEdits{};
    std::array<QPushButton *, calrules::kSecondPoints> m_secondCollectButtons{};
};
