#include "navigationbox.h"
#include "ui_navigationbox.h"

#include "pagehost.h"

#include <QScrollArea>

namespace {

constexpr int kForeignGroups = 4;
constexpr int kMakerGroups = 5;
constexpr int kFactoryGroups = 8;

} // namespace

NavigationBox::NavigationBox(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::NavigationBox>())
{
    ui->setupUi(this);
    // As wide as the tool box inside it; the pages take the rest of the row.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    // The groups are kept for when a transmitter is found.
    for (int i = 0; i < int(m_groups.size()); ++i) {
        m_groups[i] = ui->toolBox->widget(i);
        m_titles[i] = ui->toolBox->itemText(i);
    }
    clear();
}

NavigationBox::~NavigationBox() = default;

void NavigationBox::markPage(int index)
{
    QLabel *const arrows[pageindex::Count] = {
            nullptr,
            nullptr,
            ui->label_biansongqixinxi,
            ui->label_yibiaoxinxi,
            ui->label_gengduoxinxi,
            ui->label_dizhishezhi,
            ui->label_liangchengshezhi,
            ui->label_youyuanqianyi,
            ui->label_shuchushezhi,
            ui->label_xianshishezhi,
            ui->label_zhuanyoushezhi,
            ui->label_yibiaoqingling,
            ui->label_dianliuweitiao,
            ui->label_guochengjiankong,
            ui->label_yonghujiaozhun,
            ui->label_modbus_zutai,
            ui->label_chuanganqipeizhi,
            ui->label_xianxinhuajiwenbu,
            ui->label_SecondNonlinearityCorrection,
            ui->label_chuchangjiance,
    };
    for (QLabel *arrow : arrows) {
        if (arrow)
            arrow->setEnabled(false);
    }
    if (index >= 0 && index < pageindex::Count && arrows[index])
        arrows[index]->setEnabled(true);
}

void NavigationBox::clear()
{
    for (QWidget *group : m_groups)
        group->hide();
    while (ui->toolBox->count() > 0) {
        // QToolBox only deleteLater()s the scroll area that carried the group. Until then its
        // event filter stays on the group, and once the group is added again the old and the
        // new scroll area resize it against each other without end (a stack overflow when
        // the groups are rebuilt before the event loop runs). Delete it now.
        QWidget *group = ui->toolBox->widget(0);
        QWidget *viewport = group->parentWidget();
        auto *scrollArea =
                viewport ? qobject_cast<QScrollArea *>(viewport->parentWidget()) : nullptr;
        ui->toolBox->removeItem(0);
        if (scrollArea && scrollArea->widget() == group)
            delete scrollArea;
    }
}

void NavigationBox::rebuild(bool makerDevice, Edition edition)
{
    clear();
    int groups = kForeignGroups;
    if (makerDevice)
        groups = edition == Edition::Factory ? kFactoryGroups : kMakerGroups;
    for (int i = 0; i < groups; ++i) {
        ui->toolBox->addItem(m_groups[i], m_titles[i]);
        m_groups[i]->show();
    }
    // Display and proprietary settings need the maker's own commands.
    for (QWidget *w :
         std::initializer_list<QWidget *>{ui->pushButton_xianshishezhi, ui->label_xianshishezhi,
                                          ui->pushButton_zhuanyoushezhi, ui->label_zhuanyoushezhi})
        w->setVisible(makerDevice);
}

// Buttons that read their page's data first; the page is shown on the result.
void NavigationBox::requestPage(const char *request, const char *busyText)
{
    if (m_host && m_host->portReady())
        m_host->startRequest(QLatin1String(request), windowTr(busyText), WhileBusy::ShowEmptyPage);
}

void NavigationBox::openPage(int index)
{
    if (!m_host)
        return;
    m_host->showPage(index);
    emit pageOpened(index);
}

void NavigationBox::on_pushButton_biansongqixinxi_clicked()
{
    requestPage("read tramsmeter info", QT_TRANSLATE_NOOP("MainWindow", "正在读取变送器信息..."));
}

void NavigationBox::on_pushButton_yibiaoxinxi_clicked()
{
    requestPage("read meter info", QT_TRANSLATE_NOOP("MainWindow", "正在读取仪表信息..."));
}

void NavigationBox::on_pushButton_gengduoxinxi_clicked()
{
    requestPage("read more info", QT_TRANSLATE_NOOP("MainWindow", "正在读取更多信息..."));
}

void NavigationBox::on_pushButton_dizhishezhi_clicked()
{
    openPage(pageindex::Address);
}

void NavigationBox::on_pushButton_liangchengshezhi_clicked()
{
    requestPage("read range info", QT_TRANSLATE_NOOP("MainWindow", "正在读取量程信息..."));
}

void NavigationBox::on_pushButton_youyuanqianyi_clicked()
{
    requestPage("read qianyi range info", QT_TRANSLATE_NOOP("MainWindow", "正在读取量程信息..."));
}

void NavigationBox::on_pushButton_shuchushezhi_clicked()
{
    requestPage("read shuchushezhi", QT_TRANSLATE_NOOP("MainWindow", "正在读取输出设置..."));
}

void NavigationBox::on_pushButton_xianshishezhi_clicked()
{
    requestPage("read xianshishezhi", QT_TRANSLATE_NOOP("MainWindow", "正在读取显示设置..."));
}

void NavigationBox::on_pushButton_zhuanyoushezhi_clicked()
{
    requestPage("read zhuanyoushezhi", QT_TRANSLATE_NOOP("MainWindow", "正在读取专有设置数据..."));
}

void NavigationBox::on_pushButton_yibiaoqingling_clicked()
{
    openPage(pageindex::PvZero);
}

void NavigationBox::on_pushButton_dianliuweitiao_clicked()
{
    openPage(pageindex::CurrentTrim);
}

void NavigationBox::on_pushButton_guochengjiankong_clicked()
{
    openPage(pageindex::Monitoring);
}

void NavigationBox::on_pushButton_yonghujiaozhun_clicked()
{
    requestPage("read yonghujiaozhunshuju",
                QT_TRANSLATE_NOOP("MainWindow", "正在读取用户校准数据..."));
}

void NavigationBox::on_pushButton_chuanganqipeizhi_clicked()
{
    requestPage("read chuanganqipeizhishuju",
                QT_TRANSLATE_NOOP("MainWindow", "正在读取传感器配置数据..."));
}

void NavigationBox::on_pushButton_xianxinhuajiwenbu_clicked()
{
    openPage(pageindex::Linearization);
}

void NavigationBox::on_pushButton_SecondNonlinearityCorrection_clicked()
{
    openPage(pageindex::SecondCorrection);
}

void NavigationBox::on_pushButton_modbus_zutai_clicked()
{
    openPage(pageindex::Modbus);
}

void NavigationBox::on_pushButton_chuchangjiance_clicked()
{
    openPage(pageindex::FactoryTest);
}
