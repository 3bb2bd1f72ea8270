#include "eventtext.h"

#include "operationnames.h"

#include <QCoreApplication>

namespace history {

QString operationText(const EventRow &e)
{
    if (e.kind == QLatin1String("operation"))
        return operations::displayName(e.request);
    if (e.kind == QLatin1String("device"))
        return QCoreApplication::translate("Operations", "识别到仪表");
    if (e.kind == QLatin1String("backup"))
        return QCoreApplication::translate("Operations", "备份数据");
    if (e.kind == QLatin1String("restore"))
        return QCoreApplication::translate("Operations", "读取备份数据");
    if (e.kind == QLatin1String("factorytest"))
        return QCoreApplication::translate("Operations", "出厂检测");
    if (e.kind == QLatin1String("health"))
        return QCoreApplication::translate("Operations", "设备状态判定变化");
    if (e.kind == QLatin1String("health-acknowledge"))
        return QCoreApplication::translate("Operations", "确认设备状态");
    if (e.kind == QLatin1String("loopcheck"))
        return QCoreApplication::translate("Operations", "回路校验");
    return QCoreApplication::translate("Operations", "其他操作");
}

QString storedOperation(const EventRow &e)
{
    return e.request.isEmpty() ? e.kind : e.kind + QLatin1Char(' ') + e.request;
}

} // namespace history
