// The navigation tool box on the left of the window: its eight groups of page buttons, the
// arrow that marks the current page, and the groups offered for the found transmitter.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class PageHost;

namespace Ui {
class NavigationBox;
}

enum class Edition { User, Factory };

class NavigationBox : public QWidget
{
    Q_OBJECT

public:
    explicit NavigationBox(QWidget *parent = nullptr);
    ~NavigationBox() override;

    // Until a host is set the buttons do nothing; the window sets itself right after its form.
    void setHost(PageHost &host) { m_host = &host; }

    // The arrow of exactly one page is enabled (none for pages 0 and 1).
    void markPage(int index);

    // No groups until a transmitter is found.
    void clear();
    // Groups 0-3 for any transmitter; group 4 and the maker-only buttons for the maker's own;
    // in the factory edition also the factory groups 5-7 for the maker's own.
    void rebuild(bool makerDevice, Edition edition);

signals:
    // A button that only changes the page has shown it; the window adds what goes with it.
    void pageOpened(int index);

private slots:
    void on_pushButton_biansongqixinxi_clicked();
    void on_pushButton_yibiaoxinxi_clicked();
    void on_pushButton_gengduoxinxi_clicked();
    void on_pushButton_dizhishezhi_clicked();
    void on_pushButton_liangchengshezhi_clicked();
    void on_pushButton_youyuanqianyi_clicked();
    void on_pushButton_shuchushezhi_clicked();
    void on_pushButton_xianshishezhi_clicked();
    void on_pushButton_zhuanyoushezhi_clicked();
    void on_pushButton_yibiaoqingling_clicked();
    void on_pushButton_dianliuweitiao_clicked();
    void on_pushButton_guochengjiankong_clicked();
    void on_pushButton_yonghujiaozhun_clicked();
    void on_pushButton_chuanganqipeizhi_clicked();
    void on_pushButton_xianxinhuajiwenbu_clicked();
    void on_pushButton_SecondNonlinearityCorrection_clicked();
    void on_pushButton_modbus_zutai_clicked();
    void on_pushButton_chuchangjiance_clicked();

private:
    void requestPage(const char *request, const char *busyText);
    void openPage(int index);

    std::unique_ptr<Ui::NavigationBox> ui;
    PageHost *m_host = nullptr;
    std::array<QWidget *, 8> m_groups{};
    std::array<QString, 8> m_titles;
};
