#include "operationnames.h"

#include <QCoreApplication>

namespace operations {

namespace {

struct Name
{
    const char *request;
    const char *name;
};

// One row per request the window can send, beside the vocabulary the worker serves.
const Name kNames[] = {
        {"open port", QT_TRANSLATE_NOOP("Operations", "打开端口")},
        {"close port", QT_TRANSLATE_NOOP("Operations", "关闭端口")},
        {"search meter", QT_TRANSLATE_NOOP("Operations", "查询仪表")},
        {"search meter 1-15", QT_TRANSLATE_NOOP("Operations", "查询仪表（地址1~15）")},
        {"read tramsmeter info", QT_TRANSLATE_NOOP("Operations", "读取变送器信息")},
        {"read meter info", QT_TRANSLATE_NOOP("Operations", "读取仪表信息")},
        {"write meter info", QT_TRANSLATE_NOOP("Operations", "写入仪表信息")},
        {"read more info", QT_TRANSLATE_NOOP("Operations", "读取更多信息")},
        {"write addr info", QT_TRANSLATE_NOOP("Operations", "写入地址信息")},
        {"read range info", QT_TRANSLATE_NOOP("Operations", "读取量程信息")},
        {"write range info", QT_TRANSLATE_NOOP("Operations", "写入量程信息")},
        {"read qianyi range info", QT_TRANSLATE_NOOP("Operations", "读取迁移量程")},
        {"lingdianqianyi", QT_TRANSLATE_NOOP("Operations", "零点迁移")},
        {"liangchengqianyi", QT_TRANSLATE_NOOP("Operations", "量程迁移")},
        {"read shuchushezhi", QT_TRANSLATE_NOOP("Operations", "读取输出设置")},
        {"write shuchushezhi", QT_TRANSLATE_NOOP("Operations", "写入输出设置")},
        {"enter dianliujiaozhun", QT_TRANSLATE_NOOP("Operations", "进入电流微调")},
        {"set fix current", QT_TRANSLATE_NOOP("Operations", "设置固定电流")},
        {"exit fix current", QT_TRANSLATE_NOOP("Operations", "退出固定电流")},
        {"jiaozhun4ma", QT_TRANSLATE_NOOP("Operations", "4mA微调")},
        {"jiaozhun20ma", QT_TRANSLATE_NOOP("Operations", "20mA微调")},
        {"enter dianliuceshi", QT_TRANSLATE_NOOP("Operations", "电流测试")},
        {"PV clear", QT_TRANSLATE_NOOP("Operations", "PV清零")},
        {"PV clear reset", QT_TRANSLATE_NOOP("Operations", "取消PV清零")},
        {"read chuanganqipeizhishuju", QT_TRANSLATE_NOOP("Operations", "读取传感器配置")},
        {"write chuanganqipeizhishuju", QT_TRANSLATE_NOOP("Operations", "写入传感器配置")},
        {"read jiaozhunpeizhishuju", QT_TRANSLATE_NOOP("Operations", "读取校准配置")},
        {"read jiaozhunshuju", QT_TRANSLATE_NOOP("Operations", "读取校准数据")},
        {"write jiaozhunshuju", QT_TRANSLATE_NOOP("Operations", "写入校准数据")},
        {"read ADC", QT_TRANSLATE_NOOP("Operations", "读取AD值")},
        {"stop read ADC", QT_TRANSLATE_NOOP("Operations", "停止读取AD值")},
        {"read PV", QT_TRANSLATE_NOOP("Operations", "读取PV")},
        {"stop read PV", QT_TRANSLATE_NOOP("Operations", "停止读取PV")},
        {"read yonghujiaozhunshuju", QT_TRANSLATE_NOOP("Operations", "读取用户校准数据")},
        {"write yonghujiaozhunshuju", QT_TRANSLATE_NOOP("Operations", "写入用户校准数据")},
        {"gongchangdianliujiaozhun", QT_TRANSLATE_NOOP("Operations", "工厂电流校准")},
        {"write gongchangdianliujiaozhunshuju",
         QT_TRANSLATE_NOOP("Operations", "写入工厂电流校准数据")},
        {"read xianshishezhi", QT_TRANSLATE_NOOP("Operations", "读取显示设置")},
        {"write xianshishezhi", QT_TRANSLATE_NOOP("Operations", "写入显示设置")},
        {"fac save", QT_TRANSLATE_NOOP("Operations", "工厂保存")},
        {"single temp compensation mode", QT_TRANSLATE_NOOP("Operations", "单点温补模式")},
        {"read modbus custom reg", QT_TRANSLATE_NOOP("Operations", "读取Modbus组态")},
        {"write modbus custom reg", QT_TRANSLATE_NOOP("Operations", "写入Modbus组态")},
        {"read zhuanyoushezhi", QT_TRANSLATE_NOOP("Operations", "读取专有设置")},
        {"write zhuanyoushezhi", QT_TRANSLATE_NOOP("Operations", "写入专有设置")},
        {"write all", QT_TRANSLATE_NOOP("Operations", "全部写入")},
        {"read SecondNonlinearityCorrection", QT_TRANSLATE_NOOP("Operations", "读取二次非线性修正")},
        {"write SecondNonlinearityCorrection",
         QT_TRANSLATE_NOOP("Operations", "写入二次非线性修正")},
        {"read loop check setup", QT_TRANSLATE_NOOP("Operations", "读取校验设置")},
        {"read loop check point", QT_TRANSLATE_NOOP("Operations", "读取校验点")},
        {"start chuchang jiance", QT_TRANSLATE_NOOP("Operations", "出厂检测")},
        {"stop chuchang jiance", QT_TRANSLATE_NOOP("Operations", "停止出厂检测")},
        {"scan bus", QT_TRANSLATE_NOOP("Operations", "扫描回路")},
        {"select meter", QT_TRANSLATE_NOOP("Operations", "选择仪表")},
        {"read health", QT_TRANSLATE_NOOP("Operations", "读取设备状态")},
        {"acknowledge status", QT_TRANSLATE_NOOP("Operations", "确认设备状态")},
        {"reset config changed", QT_TRANSLATE_NOOP("Operations", "复位组态变更")},
};

const Name *find(const QString &request)
{
    for (const Name &n : kNames)
        if (request == QLatin1String(n.request))
            return &n;
    return nullptr;
}

} // namespace

QString displayName(const QString &request)
{
    if (const Name *n = find(request))
        return QCoreApplication::translate("Operations", n->name);
    return QCoreApplication::translate("Operations", "其他操作");
}

bool hasName(const QString &request)
{
    return find(request) != nullptr;
}

} // namespace operations
