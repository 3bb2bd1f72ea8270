<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AddressPage</name>
    <message>
        <source>地址设置</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>  短地址：</source>
        <translation>  Short address:</translation>
    </message>
    <message>
        <source>  长地址：</source>
        <translation>  Long address:</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>CurrentTrimPage</name>
    <message>
        <source>电流校准</source>
        <translation>Current trim</translation>
    </message>
    <message>
        <source>理论输出：</source>
        <translation>Nominal output:</translation>
    </message>
    <message>
        <source>4mA</source>
        <translation>4mA</translation>
    </message>
    <message>
        <source>20mA</source>
        <translation>20mA</translation>
    </message>
    <message>
        <source>实际输出：</source>
        <translation>Measured output:</translation>
    </message>
    <message>
        <source>mA</source>
        <translation>mA</translation>
    </message>
    <message>
        <source>进入校准</source>
        <translation>Enter trim</translation>
    </message>
    <message>
        <source>发送校准</source>
        <translation>Send trim</translation>
    </message>
    <message>
        <source>退出校准</source>
        <translation>Exit trim</translation>
    </message>
    <message>
        <source>电流测试</source>
        <translation>Current test</translation>
    </message>
    <message>
        <source>测试电流：</source>
        <translation>Test current:</translation>
    </message>
    <message>
        <source>进入测试</source>
        <translation>Enter test</translation>
    </message>
    <message>
        <source>发送测试</source>
        <translation>Send test</translation>
    </message>
    <message>
        <source>退出测试</source>
        <translation>Exit test</translation>
    </message>
</context>
<context>
    <name>Dialog_Current_cal</name>
    <message>
        <source>background: rgb(0, 150, 255);</source>
        <translation>background: rgb(0, 150, 255);</translation>
    </message>
    <message>
        <source>color: white;</source>
        <translation>color: white;</translation>
    </message>
    <message>
        <source>电流校准</source>
        <translation>Current trim</translation>
    </message>
    <message>
        <source>×</source>
        <translation>×</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>请输入当前电流值：</source>
        <translation>Enter the measured current:</translation>
    </message>
    <message>
        <source>mA</source>
        <translation>mA</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>Dialog_Warning</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>background: rgb(0, 150, 255);</source>
        <translation>background: rgb(0, 150, 255);</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>color: rgb(255, 255, 255);</source>
        <translation>color: rgb(255, 255, 255);</translation>
    </message>
    <message>
        <source>×</source>
        <translation>×</translation>
    </message>
    <message>
        <source>image: url(:/icon/warning.png);</source>
        <translation>image: url(:/icon/warning.png);</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>Dialog_ask</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>×</source>
        <translation>×</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>DisplayPage</name>
    <message>
        <source>显示设置</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>显示变量一：</source>
        <translation>Variable 1:</translation>
    </message>
    <message>
        <source>PV</source>
        <translation>PV</translation>
    </message>
    <message>
        <source>SV</source>
        <translation>SV</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>显示变量二：</source>
        <translation>Variable 2:</translation>
    </message>
    <message>
        <source>PV小数位数：</source>
        <translation>PV decimals:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>SV小数位数：</source>
        <translation>SV decimals:</translation>
    </message>
    <message>
        <source>语      言：</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>对  比  度：</source>
        <translation>Contrast:</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>9</source>
        <translation>9</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>11</source>
        <translation>11</translation>
    </message>
    <message>
        <source>12</source>
        <translation>12</translation>
    </message>
    <message>
        <source>13</source>
        <translation>13</translation>
    </message>
    <message>
        <source>14</source>
        <translation>14</translation>
    </message>
    <message>
        <source>15</source>
        <translation>15</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>DueListWindow</name>
    <message>
        <source>到期</source>
        <translation>Due</translation>
    </message>
    <message>
        <source> 天内</source>
        <translation> days</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>位号</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>标识</source>
        <translation>Identity</translation>
    </message>
    <message>
        <source>上次合格</source>
        <translation>Last passed</translation>
    </message>
    <message>
        <source>周期（月）</source>
        <translation>Interval (months)</translation>
    </message>
    <message>
        <source>下次到期</source>
        <translation>Next due</translation>
    </message>
    <message>
        <source>剩余天数</source>
        <translation>Days left</translation>
    </message>
    <message>
        <source>到期或已过期，以及</source>
        <translation>Overdue, and due within</translation>
    </message>
    <message>
        <source>%1台变送器到期或已过期</source>
        <translation>%1 transmitters due or overdue</translation>
    </message>
    <message>
        <source>到期清单已导出：%1</source>
        <translation>Due list exported: %1</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
</context>
<context>
    <name>EventTableModel</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Operation</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>快照</source>
        <translation>Snapshot</translation>
    </message>
    <message>
        <source>工位</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>改动（旧值 → 新值）</source>
        <translation>Changes (old → new)</translation>
    </message>
    <message>
        <source>有</source>
        <translation>yes</translation>
    </message>
</context>
<context>
    <name>FactoryTestPage</name>
    <message>
        <source>出厂检测</source>
        <translation>Factory test</translation>
    </message>
    <message>
        <source>开始检测</source>
        <translation>Start test</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>HealthMonitor</name>
    <message>
        <source>组态变更已复位</source>
        <translation>Configuration changed reset</translation>
    </message>
    <message>
        <source>附加状态已确认</source>
        <translation>Additional status acknowledged</translation>
    </message>
    <message>
        <source>确认失败</source>
        <translation>Acknowledgement failed</translation>
    </message>
    <message>
        <source>复位组态变更失败</source>
        <translation>Resetting configuration changed failed</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>HealthWindow</name>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>变量</source>
        <translation>Variable</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>单位代码</source>
        <translation>Unit code</translation>
    </message>
    <message>
        <source>分类</source>
        <translation>Class</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Acknowledge</translation>
    </message>
    <message>
        <source>把读到的附加状态发回设备，清除本主站的“更多的状态可用”</source>
        <translation>Send the additional status read back to the device; clears “more status available” for this master</translation>
    </message>
    <message>
        <source>复位组态变更</source>
        <translation>Reset config. changed</translation>
    </message>
    <message>
        <source>原因</source>
        <translation>Reasons</translation>
    </message>
    <message>
        <source>设备变量</source>
        <translation>Device variables</translation>
    </message>
    <message>
        <source>通用命令版本 %1，制造商 0x%2，设备类型 0x%3，设备标识 %4</source>
        <translation>Universal revision %1, manufacturer 0x%2, device type 0x%3, device ID %4</translation>
    </message>
    <message>
        <source>组态变更计数 %1</source>
        <translation>configuration change counter %1</translation>
    </message>
    <message>
        <source>设备变量数 %1</source>
        <translation>%1 device variables</translation>
    </message>
    <message>
        <source>制造商代码 0x%1</source>
        <translation>manufacturer code 0x%1</translation>
    </message>
    <message>
        <source>私有标签 0x%1</source>
        <translation>private label 0x%1</translation>
    </message>
    <message>
        <source>请先查询仪表</source>
        <translation>Search for the transmitter first</translation>
    </message>
    <message>
        <source>设备未提供附加状态</source>
        <translation>The device offers no additional status</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>附加状态（命令48）：%1</source>
        <translation>Additional status (command 48): %1</translation>
    </message>
    <message>
        <source>附加状态（命令48）：未读取</source>
        <translation>Additional status (command 48): not read</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>记录库暂时不可用，记录已暂存本机</source>
        <translation>History store unavailable for now; records are kept on this PC</translation>
    </message>
    <message>
        <source>记录库无法识别：没有结构版本</source>
        <translation>History store not recognised: no schema version</translation>
    </message>
    <message>
        <source>记录库的结构版本 %1 比本程序支持的版本 %2 新，请升级本程序</source>
        <translation>The history store has schema version %1, newer than the %2 this program supports; please upgrade the program</translation>
    </message>
    <message>
        <source>记录库文件已损坏，已改名保存为 %1，并新建记录库</source>
        <translation>The history file was damaged; it was kept as %1 and a new one started</translation>
    </message>
    <message>
        <source>记录库地址无法使用：%1</source>
        <translation>History store address unusable: %1</translation>
    </message>
    <message>
        <source>记录库文件 %1 无法打开（%2），记录已暂存本机</source>
        <translation>History file %1 cannot be opened (%2); records are kept on this computer</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>设备档案</source>
        <translation>Device history</translation>
    </message>
    <message>
        <source>标识</source>
        <translation>Identity</translation>
    </message>
    <message>
        <source>位号</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>描述符</source>
        <translation>Descriptor</translation>
    </message>
    <message>
        <source>传感器序列号</source>
        <translation>Sensor serial</translation>
    </message>
    <message>
        <source>最后出现</source>
        <translation>Last seen</translation>
    </message>
    <message>
        <source>工位</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>字段</source>
        <translation>Field</translation>
    </message>
    <message>
        <source>旧值 / 较早快照</source>
        <translation>Old / earlier snapshot</translation>
    </message>
    <message>
        <source>新值 / 较新快照</source>
        <translation>New / later snapshot</translation>
    </message>
    <message>
        <source>按位号、传感器序列号或标识筛选</source>
        <translation>Filter by tag, sensor serial or identity</translation>
    </message>
    <message>
        <source>对比快照</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>选中两条带快照的事件，逐字段对比</source>
        <translation>Select two events with snapshots to compare them field by field</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>把所选仪表的全部记录导出为CSV文件</source>
        <translation>Export the selected transmitter&apos;s whole history as CSV</translation>
    </message>
    <message>
        <source>两个快照有 %1 个字段不同</source>
        <translation>%1 fields differ between the snapshots</translation>
    </message>
    <message>
        <source>已导出 %1 条记录</source>
        <translation>%1 records exported</translation>
    </message>
    <message>
        <source>导出失败</source>
        <translation>Export failed</translation>
    </message>
    <message>
        <source>记录库读取失败：%1</source>
        <translation>History store read failed: %1</translation>
    </message>
    <message>
        <source>共 %1 台仪表</source>
        <translation>%1 transmitters</translation>
    </message>
    <message>
        <source>CSV文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>正在导出...</source>
        <translation>Exporting...</translation>
    </message>
    <message>
        <source>未读取</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>%1 条记录被记录库拒收，保存在本机暂存中</source>
        <translation>%1 records refused by the history store, kept on this computer</translation>
    </message>
</context>
<context>
    <name>LinearizationPage</name>
    <message>
        <source>单      位：</source>
        <translation>Unit:</translation>
    </message>
    <message>
        <source>自定义单位：</source>
        <translation>Custom unit:</translation>
    </message>
    <message>
        <source>校 准 单 位：</source>
        <translation>Cal. unit:</translation>
    </message>
    <message>
        <source>小数位数：</source>
        <translation>Decimals:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>量程上限：</source>
        <translation>Upper range:</translation>
    </message>
    <message>
        <source>量程下限：</source>
        <translation>Lower range:</translation>
    </message>
    <message>
        <source>校准点数：</source>
        <translation>Cal. points:</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>温 补 点 数 ：</source>
        <translation>Temp. points:</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>9</source>
        <translation>9</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>主变量值：</source>
        <translation>PV:</translation>
    </message>
    <message>
        <source>主变量电流：</source>
        <translation>PV current:</translation>
    </message>
    <message>
        <source>板卡温度：</source>
        <translation>Board temp.:</translation>
    </message>
    <message>
        <source>传感器信号值：</source>
        <translation>Sensor signal:</translation>
    </message>
    <message>
        <source>温补信号值 ：</source>
        <translation>Temp. signal:</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>全部写入</source>
        <translation>Write all</translation>
    </message>
    <message>
        <source>工厂保存</source>
        <translation>Factory save</translation>
    </message>
    <message>
        <source>进入单温补点测试模式</source>
        <translation>Test one temp. point</translation>
    </message>
    <message>
        <source>按量程均分</source>
        <translation>Even spread</translation>
    </message>
</context>
<context>
    <name>LoopCheckWindow</name>
    <message>
        <source>变送器自报</source>
        <translation>reported by the transmitter</translation>
    </message>
    <message>
        <source>电流未经测量：由命令2读得，不作判定</source>
        <translation>Current not measured: read with command 2, not judged</translation>
    </message>
    <message>
        <source>简单接受</source>
        <translation>Simple acceptance</translation>
    </message>
    <message>
        <source>保护带 w=U</source>
        <translation>Guard band w=U</translation>
    </message>
    <message>
        <source>ILAC-G8:09/2019 判定规则</source>
        <translation>ILAC-G8:09/2019 decision rule</translation>
    </message>
    <message>
        <source> 月</source>
        <translation> months</translation>
    </message>
    <message>
        <source>压力标准器</source>
        <translation>Pressure std.</translation>
    </message>
    <message>
        <source>电流标准器</source>
        <translation>Current std.</translation>
    </message>
    <message>
        <source>判定规则</source>
        <translation>Rule</translation>
    </message>
    <message>
        <source>校验周期</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>保护带判定须从登记中选择压力标准器（需要其不确定度U）</source>
        <translation>A guard band needs a pressure standard from the register (for its uncertainty U)</translation>
    </message>
    <message>
        <source>— 手填 —</source>
        <translation>— typed —</translation>
    </message>
    <message>
        <source>— 无 —</source>
        <translation>— none —</translation>
    </message>
    <message>
        <source> （已过期）</source>
        <translation> (expired)</translation>
    </message>
    <message>
        <source> （将到期）</source>
        <translation> (due)</translation>
    </message>
    <message>
        <source>TUR低于4:1</source>
        <translation>TUR below 4:1</translation>
    </message>
    <message>
        <source>标准器</source>
        <translation>Standards</translation>
    </message>
    <message>
        <source>标准器登记：不确定度与有效期</source>
        <translation>Reference standards: uncertainty and due dates</translation>
    </message>
    <message>
        <source>到期</source>
        <translation>Due list</translation>
    </message>
    <message>
        <source>到期清单：应校验的变送器</source>
        <translation>Due list: transmitters whose check is due</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>无法写入通信记录文件%1：%2</source>
        <translation>Cannot write the capture file %1: %2</translation>
    </message>
    <message>
        <source>HART智能变送器组态软件用户版V0.8</source>
        <translation>HART Configurator V0.8, User Edition</translation>
    </message>
    <message>
        <source>数据备份菜单</source>
        <translation>Backup menu</translation>
    </message>
    <message>
        <source>2022-05-26</source>
        <translation>2022-05-26</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>_</source>
        <translation>_</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>□</source>
        <translation>□</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>×</source>
        <translation>×</translation>
    </message>
    <message>
        <source>←清除</source>
        <translation>←Clear</translation>
    </message>
    <message>
        <source>查找端口</source>
        <translation>Find ports</translation>
    </message>
    <message>
        <source>打开端口</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>查询仪表</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>HART智能变送器组态软件工厂版V0.8</source>
        <translation>HART Configurator V0.8, Factory Edition</translation>
    </message>
    <message>
        <source>请选择端口号</source>
        <translation>Choose a port</translation>
    </message>
    <message>
        <source>请选择端口号！</source>
        <translation>Please choose a port!</translation>
    </message>
    <message>
        <source>端口打开失败</source>
        <translation>Port failed to open</translation>
    </message>
    <message>
        <source>当前连接：%1</source>
        <translation>Connected: %1</translation>
    </message>
    <message>
        <source>关闭端口</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请先打开端口！</source>
        <translation>Please open the port first!</translation>
    </message>
    <message>
        <source>正在查询仪表...</source>
        <translation>Looking for the device...</translation>
    </message>
    <message>
        <source>查询仪表%1...</source>
        <translation>Looking for device %1...</translation>
    </message>
    <message>
        <source>查询到仪表</source>
        <translation>Device found</translation>
    </message>
    <message>
        <source>正在写入数据...</source>
        <translation>Writing data...</translation>
    </message>
    <message>
        <source>查询仪表失败</source>
        <translation>No device found</translation>
    </message>
    <message>
        <source>询问</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>查询地址0失败，是否查询地址1~15?</source>
        <translation>No device at address 0. Search addresses 1-15?</translation>
    </message>
    <message>
        <source>回路电流可能仍固定在%1mA，请检查变送器。仍然退出？</source>
        <translation>The loop current may still be held at %1 mA. Check the transmitter. Exit anyway?</translation>
    </message>
    <message>
        <source>正在读取变送器信息...</source>
        <translation>Reading transmitter info...</translation>
    </message>
    <message>
        <source>正在读取仪表信息...</source>
        <translation>Reading device info...</translation>
    </message>
    <message>
        <source>正在读取更多信息...</source>
        <translation>Reading more info...</translation>
    </message>
    <message>
        <source>正在读取量程信息...</source>
        <translation>Reading range...</translation>
    </message>
    <message>
        <source>正在读取输出设置...</source>
        <translation>Reading output settings...</translation>
    </message>
    <message>
        <source>正在读取显示设置...</source>
        <translation>Reading display settings...</translation>
    </message>
    <message>
        <source>正在读取专有设置数据...</source>
        <translation>Reading special settings...</translation>
    </message>
    <message>
        <source>正在读取用户校准数据...</source>
        <translation>Reading user calibration...</translation>
    </message>
    <message>
        <source>正在读取传感器配置数据...</source>
        <translation>Reading sensor configuration...</translation>
    </message>
    <message>
        <source>HART-IP 会话已被对方关闭</source>
        <translation>The HART-IP session was closed by the other end</translation>
    </message>
    <message>
        <source>正在连接%1...</source>
        <translation>Connecting to %1...</translation>
    </message>
    <message>
        <source>HART-IP 地址无效，应为 hartip://主机[:端口]、hartip+tcp://主机[:端口] 或 hartips://主机[:端口]?psk=文件</source>
        <translation>Not a usable HART-IP address: expected hartip://HOST[:PORT], hartip+tcp://HOST[:PORT] or hartips://HOST[:PORT]?psk=FILE</translation>
    </message>
    <message>
        <source>密钥文件 %1 不存在或不可读</source>
        <translation>The key file %1 does not exist or cannot be read</translation>
    </message>
    <message>
        <source>密钥文件 %1 须只允许本用户读写（权限 0600）</source>
        <translation>The key file %1 must be readable and writable by its owner only (mode 0600)</translation>
    </message>
    <message>
        <source>密钥文件应为一行“身份:密钥”，密钥为 32 位十六进制数（128 位）</source>
        <translation>The key file must hold one line &quot;identity:key&quot;, the key as 32 hex digits (128 bits)</translation>
    </message>
    <message>
        <source>未指定密钥文件（?psk=文件），也未设置 HARTIP_PSK_IDENTITY 和 HARTIP_PSK_KEY</source>
        <translation>No key file (?psk=FILE) given, and HARTIP_PSK_IDENTITY and HARTIP_PSK_KEY are not set</translation>
    </message>
    <message>
        <source>找不到主机 %1</source>
        <translation>Host %1 not found</translation>
    </message>
    <message>
        <source>%1 拒绝连接</source>
        <translation>%1 refused the connection</translation>
    </message>
    <message>
        <source>%1 未应答会话请求</source>
        <translation>%1 did not answer the session request</translation>
    </message>
    <message>
        <source>TLS 握手失败：身份或密钥不被接受</source>
        <translation>TLS handshake failed: identity or key not accepted</translation>
    </message>
    <message>
        <source>网络错误：%1</source>
        <translation>Network error: %1</translation>
    </message>
    <message>
        <source>对方不支持此 HART-IP 版本</source>
        <translation>The other end does not support this HART-IP version</translation>
    </message>
    <message>
        <source>对方称会话请求字节不足</source>
        <translation>The other end says the session request had too few bytes</translation>
    </message>
    <message>
        <source>对方已无可用会话</source>
        <translation>The other end has no session available</translation>
    </message>
    <message>
        <source>与对方的会话已存在</source>
        <translation>A session with the other end exists already</translation>
    </message>
    <message>
        <source>对方不接受此主站类型</source>
        <translation>The other end does not accept this master type</translation>
    </message>
    <message>
        <source>对方拒绝会话（状态 %1）</source>
        <translation>The other end refused the session (status %1)</translation>
    </message>
    <message>
        <source>端口打开失败，请检查端口号是否正确或端口是否占用！</source>
        <translation>The port failed to open: check the port name, or whether another program is using it!</translation>
    </message>
    <message>
        <source>无权访问该端口：请将用户加入 %1 组，然后重新登录。</source>
        <translation>No permission to use this port: add your user to the %1 group, then log in again.</translation>
    </message>
    <message>
        <source>查询仪表1-15失败！</source>
        <translation>No device at addresses 1-15!</translation>
    </message>
    <message>
        <source>读取变送器信息成功</source>
        <translation>Transmitter info read</translation>
    </message>
    <message>
        <source>读取变送器信息失败</source>
        <translation>Transmitter info not read</translation>
    </message>
    <message>
        <source>读取变送器信息失败！</source>
        <translation>Reading the transmitter info failed!</translation>
    </message>
    <message>
        <source>读取仪表信息成功</source>
        <translation>Device info read</translation>
    </message>
    <message>
        <source>读取仪表信息失败</source>
        <translation>Device info not read</translation>
    </message>
    <message>
        <source>读取仪表信息失败！</source>
        <translation>Reading the device info failed!</translation>
    </message>
    <message>
        <source>写入仪表信息成功</source>
        <translation>Device info written</translation>
    </message>
    <message>
        <source>写入仪表信息失败</source>
        <translation>Device info not written</translation>
    </message>
    <message>
        <source>写入仪表信息失败！</source>
        <translation>Writing the device info failed!</translation>
    </message>
    <message>
        <source>读取更多信息成功</source>
        <translation>More info read</translation>
    </message>
    <message>
        <source>读取更多信息失败</source>
        <translation>More info not read</translation>
    </message>
    <message>
        <source>读取更多信息失败！</source>
        <translation>Reading more info failed!</translation>
    </message>
    <message>
        <source>写入地址信息成功</source>
        <translation>Address written</translation>
    </message>
    <message>
        <source>写入地址信息失败</source>
        <translation>Address not written</translation>
    </message>
    <message>
        <source>写入地址信息失败！</source>
        <translation>Writing the address failed!</translation>
    </message>
    <message>
        <source>读取量程信息成功</source>
        <translation>Range read</translation>
    </message>
    <message>
        <source>读取量程信息失败</source>
        <translation>Range not read</translation>
    </message>
    <message>
        <source>读取量程信息失败！</source>
        <translation>Reading the range failed!</translation>
    </message>
    <message>
        <source>写入量程信息成功</source>
        <translation>Range written</translation>
    </message>
    <message>
        <source>写入量程信息失败</source>
        <translation>Range not written</translation>
    </message>
    <message>
        <source>写入量程信息失败！</source>
        <translation>Writing the range failed!</translation>
    </message>
    <message>
        <source>零点迁移成功</source>
        <translation>Zero reranged</translation>
    </message>
    <message>
        <source>零点迁移失败</source>
        <translation>Zero rerange failed</translation>
    </message>
    <message>
        <source>零点迁移失败！</source>
        <translation>The zero rerange failed!</translation>
    </message>
    <message>
        <source>量程迁移成功</source>
        <translation>Span reranged</translation>
    </message>
    <message>
        <source>量程迁移失败</source>
        <translation>Span rerange failed</translation>
    </message>
    <message>
        <source>量程迁移失败！</source>
        <translation>The span rerange failed!</translation>
    </message>
    <message>
        <source>读取输出设置成功</source>
        <translation>Output settings read</translation>
    </message>
    <message>
        <source>读取输出设置失败</source>
        <translation>Output settings not read</translation>
    </message>
    <message>
        <source>读取输出设置失败！</source>
        <translation>Reading the output settings failed!</translation>
    </message>
    <message>
        <source>写入输出设置数据成功</source>
        <translation>Output settings written</translation>
    </message>
    <message>
        <source>写入输出设置数据失败</source>
        <translation>Output settings not written</translation>
    </message>
    <message>
        <source>写入输出设置数据失败！</source>
        <translation>Writing the output settings failed!</translation>
    </message>
    <message>
        <source>读取显示设置成功</source>
        <translation>Display settings read</translation>
    </message>
    <message>
        <source>读取显示设置失败</source>
        <translation>Display settings not read</translation>
    </message>
    <message>
        <source>读取显示设置失败！</source>
        <translation>Reading the display settings failed!</translation>
    </message>
    <message>
        <source>写入显示设置成功</source>
        <translation>Display settings written</translation>
    </message>
    <message>
        <source>写入显示设置失败</source>
        <translation>Display settings not written</translation>
    </message>
    <message>
        <source>写入显示设置失败！</source>
        <translation>Writing the display settings failed!</translation>
    </message>
    <message>
        <source>读取专有设置数据成功</source>
        <translation>Special settings read</translation>
    </message>
    <message>
        <source>读取专有设置数据失败</source>
        <translation>Special settings not read</translation>
    </message>
    <message>
        <source>读取专有设置数据失败！</source>
        <translation>Reading the special settings failed!</translation>
    </message>
    <message>
        <source>写入专有设置数据成功</source>
        <translation>Special settings written</translation>
    </message>
    <message>
        <source>写入专有设置数据失败</source>
        <translation>Special settings not written</translation>
    </message>
    <message>
        <source>写入专有设置数据失败！</source>
        <translation>Writing the special settings failed!</translation>
    </message>
    <message>
        <source>清零成功</source>
        <translation>PV zeroed</translation>
    </message>
    <message>
        <source>清零失败</source>
        <translation>Zeroing failed</translation>
    </message>
    <message>
        <source>清零失败！</source>
        <translation>Zeroing the PV failed!</translation>
    </message>
    <message>
        <source>取消清零成功</source>
        <translation>Zero cancelled</translation>
    </message>
    <message>
        <source>取消清零失败</source>
        <translation>Cancelling zero failed</translation>
    </message>
    <message>
        <source>取消清零失败！</source>
        <translation>Cancelling the zero failed!</translation>
    </message>
    <message>
        <source>工厂保存成功</source>
        <translation>Factory settings saved</translation>
    </message>
    <message>
        <source>工厂保存失败</source>
        <translation>Factory save failed</translation>
    </message>
    <message>
        <source>工厂保存失败！</source>
        <translation>Saving the factory settings failed!</translation>
    </message>
    <message>
        <source>用户保存成功</source>
        <translation>User settings saved</translation>
    </message>
    <message>
        <source>用户保存失败</source>
        <translation>User save failed</translation>
    </message>
    <message>
        <source>用户保存失败！</source>
        <translation>Saving the user settings failed!</translation>
    </message>
    <message>
        <source>全部写入成功</source>
        <translation>All written</translation>
    </message>
    <message>
        <source>写入失败</source>
        <translation>Write failed</translation>
    </message>
    <message>
        <source>写入失败！</source>
        <translation>Writing failed!</translation>
    </message>
    <message>
        <source>进入电流校准模式</source>
        <translation>In current trim mode</translation>
    </message>
    <message>
        <source>进入电流校准模式失败</source>
        <translation>Current trim mode failed</translation>
    </message>
    <message>
        <source>进入电流校准模式失败！</source>
        <translation>Entering current trim mode failed!</translation>
    </message>
    <message>
        <source>设置电流成功</source>
        <translation>Current set</translation>
    </message>
    <message>
        <source>设置电流失败</source>
        <translation>Current not set</translation>
    </message>
    <message>
        <source>设置电流失败！</source>
        <translation>Setting the current failed!</translation>
    </message>
    <message>
        <source>退出电流校准模式</source>
        <translation>Left current trim mode</translation>
    </message>
    <message>
        <source>退出电流校准模式失败</source>
        <translation>Leaving current trim failed</translation>
    </message>
    <message>
        <source>退出电流校准模式失败！</source>
        <translation>Leaving current trim mode failed!</translation>
    </message>
    <message>
        <source>数据下发成功</source>
        <translation>Data sent</translation>
    </message>
    <message>
        <source>数据下发失败</source>
        <translation>Data not sent</translation>
    </message>
    <message>
        <source>数据下发失败！</source>
        <translation>Sending the data failed!</translation>
    </message>
    <message>
        <source>进入电流测试模式</source>
        <translation>In current test mode</translation>
    </message>
    <message>
        <source>进入电流测试模式失败</source>
        <translation>Current test mode failed</translation>
    </message>
    <message>
        <source>进入电流测试模式失败！</source>
        <translation>Entering current test mode failed!</translation>
    </message>
    <message>
        <source>进入工厂电流校准模式成功</source>
        <translation>In factory current trim</translation>
    </message>
    <message>
        <source>进入工厂电流校准模式失败</source>
        <translation>Factory current trim failed</translation>
    </message>
    <message>
        <source>进入工厂电流校准模式失败！</source>
        <translation>Entering factory current trim failed!</translation>
    </message>
    <message>
        <source>退出工厂电流校准模式成功</source>
        <translation>Left factory current trim</translation>
    </message>
    <message>
        <source>退出工厂电流校准模式失败</source>
        <translation>Leaving factory trim failed</translation>
    </message>
    <message>
        <source>退出工厂电流校准模式失败！</source>
        <translation>Leaving factory current trim failed!</translation>
    </message>
    <message>
        <source>写入工厂电流校准数据成功</source>
        <translation>Factory current trim written</translation>
    </message>
    <message>
        <source>写入工厂电流校准数据失败</source>
        <translation>Factory current trim not written</translation>
    </message>
    <message>
        <source>写入工厂电流校准数据失败！</source>
        <translation>Writing the factory current trim failed!</translation>
    </message>
    <message>
        <source>读取传感器配置数据成功</source>
        <translation>Sensor configuration read</translation>
    </message>
    <message>
        <source>读取传感器配置数据失败</source>
        <translation>Sensor configuration not read</translation>
    </message>
    <message>
        <source>读取传感器配置数据失败！</source>
        <translation>Reading the sensor configuration failed!</translation>
    </message>
    <message>
        <source>写入传感器配置数据成功</source>
        <translation>Sensor configuration written</translation>
    </message>
    <message>
        <source>写入传感器配置数据失败</source>
        <translation>Sensor configuration not written</translation>
    </message>
    <message>
        <source>写入传感器配置数据失败！</source>
        <translation>Writing the sensor configuration failed!</translation>
    </message>
    <message>
        <source>读取校准配置数据成功</source>
        <translation>Calibration setup read</translation>
    </message>
    <message>
        <source>读取校准配置数据失败</source>
        <translation>Calibration setup not read</translation>
    </message>
    <message>
        <source>读取校准配置数据失败！</source>
        <translation>Reading the calibration setup failed!</translation>
    </message>
    <message>
        <source>读取校准数据成功</source>
        <translation>Calibration read</translation>
    </message>
    <message>
        <source>读取校准数据失败</source>
        <translation>Calibration not read</translation>
    </message>
    <message>
        <source>读取校准数据失败！</source>
        <translation>Reading the calibration failed!</translation>
    </message>
    <message>
        <source>写入校准数据成功</source>
        <translation>Calibration written</translation>
    </message>
    <message>
        <source>写入校准数据失败</source>
        <translation>Calibration not written</translation>
    </message>
    <message>
        <source>写入校准数据失败！</source>
        <translation>Writing the calibration failed!</translation>
    </message>
    <message>
        <source>读取用户校准数据成功</source>
        <translation>User calibration read</translation>
    </message>
    <message>
        <source>读取用户校准数据失败</source>
        <translation>User calibration not read</translation>
    </message>
    <message>
        <source>读取用户校准数据失败！</source>
        <translation>Reading the user calibration failed!</translation>
    </message>
    <message>
        <source>写入用户校准数据成功</source>
        <translation>User calibration written</translation>
    </message>
    <message>
        <source>写入用户校准数据失败</source>
        <translation>User calibration not written</translation>
    </message>
    <message>
        <source>写入用户校准数据失败！</source>
        <translation>Writing the user calibration failed!</translation>
    </message>
    <message>
        <source>读取二次非线性修正数据成功</source>
        <translation>Second correction read</translation>
    </message>
    <message>
        <source>读取二次非线性修正数据失败</source>
        <translation>Second correction not read</translation>
    </message>
    <message>
        <source>读取二次非线性修正数据失败！</source>
        <translation>Reading the second correction failed!</translation>
    </message>
    <message>
        <source>写入二次非线性修正数据成功</source>
        <translation>Second correction written</translation>
    </message>
    <message>
        <source>写入二次非线性修正数据失败</source>
        <translation>Second correction not written</translation>
    </message>
    <message>
        <source>写入二次非线性修正数据失败！</source>
        <translation>Writing the second correction failed!</translation>
    </message>
    <message>
        <source>读取modbus组态数据成功</source>
        <translation>Modbus configuration read</translation>
    </message>
    <message>
        <source>读取modbus组态数据失败</source>
        <translation>Modbus configuration not read</translation>
    </message>
    <message>
        <source>读取modbus组态数据失败！</source>
        <translation>Reading the Modbus configuration failed!</translation>
    </message>
    <message>
        <source>写入modbus组态数据成功</source>
        <translation>Modbus configuration written</translation>
    </message>
    <message>
        <source>写入modbus组态数据失败</source>
        <translation>Modbus configuration not written</translation>
    </message>
    <message>
        <source>写入modbus组态数据失败！</source>
        <translation>Writing the Modbus configuration failed!</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>vqmbk文件(*.vqmbk)</source>
        <translation>vqmbk files (*.vqmbk)</translation>
    </message>
    <message>
        <source>备份数据失败</source>
        <translation>Backup failed</translation>
    </message>
    <message>
        <source>备份数据完成</source>
        <translation>Backup done</translation>
    </message>
    <message>
        <source>备份数据失败！</source>
        <translation>The backup failed!</translation>
    </message>
    <message>
        <source>读取备份数据完成</source>
        <translation>Backup restored</translation>
    </message>
    <message>
        <source>数据备份文件打开失败！</source>
        <translation>The backup file could not be opened!</translation>
    </message>
    <message>
        <source>备份数据已经被损坏！</source>
        <translation>The backup is damaged!</translation>
    </message>
    <message>
        <source>默认数据备份文件打开失败！</source>
        <translation>The default backup file could not be opened!</translation>
    </message>
    <message>
        <source>默认备份数据已经被损坏！</source>
        <translation>The default backup is damaged!</translation>
    </message>
    <message>
        <source>读取备份数据</source>
        <translation>Restore backup</translation>
    </message>
    <message>
        <source>备份数据到电脑</source>
        <translation>Back up to this computer</translation>
    </message>
    <message>
        <source>正在进入电流校准模式...</source>
        <translation>Entering current trim...</translation>
    </message>
    <message>
        <source>正在进入电流测试模式...</source>
        <translation>Entering current test...</translation>
    </message>
    <message>
        <source>进入单温补点测试模式</source>
        <translation>Test one temp. point</translation>
    </message>
    <message>
        <source>退出单温补点测试模式</source>
        <translation>Leave point test</translation>
    </message>
    <message>
        <source>温补→</source>
        <translation>Temp. →</translation>
    </message>
    <message>
        <source>温度值(℃)：</source>
        <translation>Temp. (℃):</translation>
    </message>
    <message>
        <source>电流温补：</source>
        <translation>I comp.:</translation>
    </message>
    <message>
        <source>电流校准1：</source>
        <translation>I trim 1:</translation>
    </message>
    <message>
        <source>电流校准2：</source>
        <translation>I trim 2:</translation>
    </message>
    <message>
        <source>电流校准3：</source>
        <translation>I trim 3:</translation>
    </message>
    <message>
        <source>标准值↓</source>
        <translation>Reference↓</translation>
    </message>
    <message>
        <source>线性化↓</source>
        <translation>Linearize↓</translation>
    </message>
    <message>
        <source>电流校准</source>
        <translation>Current trim</translation>
    </message>
    <message>
        <source>温补采集→</source>
        <translation>Collect T→</translation>
    </message>
    <message>
        <source>温补点%1</source>
        <translation>Temp %1</translation>
    </message>
    <message>
        <source>第%1点</source>
        <translation>Point %1</translation>
    </message>
    <message>
        <source>采集%1→</source>
        <translation>Collect %1→</translation>
    </message>
    <message>
        <source>拟合偏差（与其余温补点的平滑曲线相比）：
</source>
        <translation>Fit deviation (against the smooth curve through the other temperature points):
</translation>
    </message>
    <message>
        <source>最大偏差 %1（温补点%2）</source>
        <translation>Largest deviation %1 (temp. point %2)</translation>
    </message>
    <message>
        <source>正在写入校准数据...</source>
        <translation>Writing calibration...</translation>
    </message>
    <message>
        <source>正在读取校准数据...</source>
        <translation>Reading calibration...</translation>
    </message>
    <message>
        <source>正在工厂保存...</source>
        <translation>Saving factory settings...</translation>
    </message>
    <message>
        <source>当前在温补点%1测试模式</source>
        <translation>Testing temp. point %1</translation>
    </message>
    <message>
        <source>正在退出工厂电流校准模式...</source>
        <translation>Leaving factory current trim...</translation>
    </message>
    <message>
        <source>正在进入工厂电流校准模式...</source>
        <translation>Entering factory current trim...</translation>
    </message>
    <message>
        <source>第一点</source>
        <translation>Point 1</translation>
    </message>
    <message>
        <source>第二点</source>
        <translation>Point 2</translation>
    </message>
    <message>
        <source>第三点</source>
        <translation>Point 3</translation>
    </message>
    <message>
        <source>第四点</source>
        <translation>Point 4</translation>
    </message>
    <message>
        <source>第五点</source>
        <translation>Point 5</translation>
    </message>
    <message>
        <source>标准值</source>
        <translation>Reference</translation>
    </message>
    <message>
        <source>采集值</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>↑采集%1</source>
        <translation>↑Collect %1</translation>
    </message>
    <message>
        <source>正在读取二次非线性修正数据...</source>
        <translation>Reading second correction...</translation>
    </message>
    <message>
        <source>正在写入二次非线性修正数据...</source>
        <translation>Writing second correction...</translation>
    </message>
    <message>
        <source>正在写入传感器配置数据...</source>
        <translation>Writing sensor configuration...</translation>
    </message>
    <message>
        <source>单晶硅压力传感器不支持桥压温补！</source>
        <translation>Monocrystalline silicon sensors have no bridge-voltage compensation!</translation>
    </message>
    <message>
        <source>↑采集1</source>
        <translation>↑Collect 1</translation>
    </message>
    <message>
        <source>↑采集2</source>
        <translation>↑Collect 2</translation>
    </message>
    <message>
        <source>校准单位：%1</source>
        <translation>Cal. unit: %1</translation>
    </message>
    <message>
        <source>出厂检测记录写入失败：%1
%2</source>
        <translation>The factory test record could not be written: %1
%2</translation>
    </message>
    <message>
        <source>出厂检测记录写入失败</source>
        <translation>Factory test record not written</translation>
    </message>
    <message>
        <source>整型主变量值</source>
        <translation>PV (integer)</translation>
    </message>
    <message>
        <source>整型副变量值</source>
        <translation>SV (integer)</translation>
    </message>
    <message>
        <source>整型板卡温度值</source>
        <translation>Board temp. (integer)</translation>
    </message>
    <message>
        <source>整型电流值</source>
        <translation>Current (integer)</translation>
    </message>
    <message>
        <source>浮点主变量值低16位</source>
        <translation>PV (float), low 16 bits</translation>
    </message>
    <message>
        <source>浮点主变量值高16位</source>
        <translation>PV (float), high 16 bits</translation>
    </message>
    <message>
        <source>浮点副变量值低16位</source>
        <translation>SV (float), low 16 bits</translation>
    </message>
    <message>
        <source>浮点副变量值高16位</source>
        <translation>SV (float), high 16 bits</translation>
    </message>
    <message>
        <source>浮点板卡温度值低16位</source>
        <translation>Board temp. (float), low 16 bits</translation>
    </message>
    <message>
        <source>浮点板卡温度值高16位</source>
        <translation>Board temp. (float), high 16 bits</translation>
    </message>
    <message>
        <source>浮点理论电流值低16位</source>
        <translation>Nominal current (float), low 16 bits</translation>
    </message>
    <message>
        <source>浮点理论电流值高16位</source>
        <translation>Nominal current (float), high 16 bits</translation>
    </message>
    <message>
        <source>Modbus地址</source>
        <translation>Modbus address</translation>
    </message>
    <message>
        <source>Modbus波特率</source>
        <translation>Modbus baud rate</translation>
    </message>
    <message>
        <source>Modbus校验位</source>
        <translation>Modbus parity</translation>
    </message>
    <message>
        <source>主变量单位</source>
        <translation>PV unit</translation>
    </message>
    <message>
        <source>副变量单位</source>
        <translation>SV unit</translation>
    </message>
    <message>
        <source>主变量小数位数</source>
        <translation>PV decimals</translation>
    </message>
    <message>
        <source>副变量小数位数</source>
        <translation>SV decimals</translation>
    </message>
    <message>
        <source>主变量偏移值低16位</source>
        <translation>PV offset, low 16 bits</translation>
    </message>
    <message>
        <source>主变量偏移值高16位</source>
        <translation>PV offset, high 16 bits</translation>
    </message>
    <message>
        <source>主变量增益值低16位</source>
        <translation>PV gain, low 16 bits</translation>
    </message>
    <message>
        <source>主变量增益值高16位</source>
        <translation>PV gain, high 16 bits</translation>
    </message>
    <message>
        <source>自定义数据10进制</source>
        <translation>Custom data, decimal</translation>
    </message>
    <message>
        <source>自定义数据16进制</source>
        <translation>Custom data, hex</translation>
    </message>
    <message>
        <source>自定义数据字符型</source>
        <translation>Custom data, text</translation>
    </message>
    <message>
        <source>参数名</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>自定义数据</source>
        <translation>Custom data</translation>
    </message>
    <message>
        <source>正在读取modbus组态数据...</source>
        <translation>Reading Modbus configuration...</translation>
    </message>
    <message>
        <source>正在写入modbus组态数据...</source>
        <translation>Writing Modbus configuration...</translation>
    </message>
    <message>
        <source>正在写入地址信息...</source>
        <translation>Writing address...</translation>
    </message>
    <message>
        <source>正在写入显示设置...</source>
        <translation>Writing display settings...</translation>
    </message>
    <message>
        <source>正在写入仪表信息...</source>
        <translation>Writing device info...</translation>
    </message>
    <message>
        <source>主变量</source>
        <translation>PV</translation>
    </message>
    <message>
        <source>电流值</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>导出趋势数据失败</source>
        <translation>Trend export failed</translation>
    </message>
    <message>
        <source>导出趋势数据失败：%1！</source>
        <translation>The trend could not be exported: %1!</translation>
    </message>
    <message>
        <source>图片编码失败</source>
        <translation>The image could not be encoded</translation>
    </message>
    <message>
        <source>保存曲线图片失败</source>
        <translation>Chart image not saved</translation>
    </message>
    <message>
        <source>保存曲线图片失败：%1！</source>
        <translation>The chart image could not be saved: %1!</translation>
    </message>
    <message>
        <source>导出趋势数据…</source>
        <translation>Export trend…</translation>
    </message>
    <message>
        <source>保存曲线图片…</source>
        <translation>Save chart image…</translation>
    </message>
    <message>
        <source>正在写入输出设置数据...</source>
        <translation>Writing output settings...</translation>
    </message>
    <message>
        <source>正在写入专有设置数据...</source>
        <translation>Writing special settings...</translation>
    </message>
    <message>
        <source>正在写入量程信息...</source>
        <translation>Writing range...</translation>
    </message>
    <message>
        <source>正在零点迁移...</source>
        <translation>Zero rerange...</translation>
    </message>
    <message>
        <source>正在量程迁移...</source>
        <translation>Span rerange...</translation>
    </message>
    <message>
        <source>扩散硅压力传感器</source>
        <translation>Diffused silicon pressure</translation>
    </message>
    <message>
        <source>单晶硅压力传感器</source>
        <translation>Monocrystalline silicon pressure</translation>
    </message>
    <message>
        <source>陶瓷电容压力传感器</source>
        <translation>Ceramic capacitive pressure</translation>
    </message>
    <message>
        <source>陶瓷压力传感器</source>
        <translation>Ceramic piezoresistive pressure</translation>
    </message>
    <message>
        <source>干簧管液位计</source>
        <translation>Reed switch level</translation>
    </message>
    <message>
        <source>霍尔开关液位计</source>
        <translation>Hall switch level</translation>
    </message>
    <message>
        <source>Pt100(四线制)</source>
        <translation>Pt100 (4-wire)</translation>
    </message>
    <message>
        <source>Pt1000(四线制)</source>
        <translation>Pt1000 (4-wire)</translation>
    </message>
    <message>
        <source>Pt100(三线制)</source>
        <translation>Pt100 (3-wire)</translation>
    </message>
    <message>
        <source>传感器桥压</source>
        <translation>Sensor bridge voltage</translation>
    </message>
    <message>
        <source>传感器内部温度传感器</source>
        <translation>Sensor internal temperature</translation>
    </message>
    <message>
        <source>说明：</source>
        <translation>Note:</translation>
    </message>
    <message>
        <source>说明：请将放大倍数设置为1</source>
        <translation>Note: set the gain to 1</translation>
    </message>
    <message>
        <source>说明：推荐放大倍数12</source>
        <translation>Note: a gain of 12 is recommended</translation>
    </message>
    <message>
        <source>说明：V0.9版本之前的板卡请使用本公司提供的转接板，按照图示接入。V0.9版本及之后的板卡不用使用转接板，直接短接板卡上CJ1和CJ2两个短接点，并按照板卡上的图示接入传感器</source>
        <translation>Note: boards before V0.9 need our adapter board, wired as shown. From V0.9 on no adapter is needed: short the CJ1 and CJ2 points on the board and wire the sensor as printed on the board.</translation>
    </message>
    <message>
        <source>VQM</source>
        <translation>VQM</translation>
    </message>
    <message>
        <source>开方</source>
        <translation>Square root</translation>
    </message>
    <message>
        <source>线性</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>输出最小电流</source>
        <translation>Minimum current</translation>
    </message>
    <message>
        <source>输出最大电流</source>
        <translation>Maximum current</translation>
    </message>
    <message>
        <source>已写保护</source>
        <translation>Protected</translation>
    </message>
    <message>
        <source>未写保护</source>
        <translation>Not protected</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Traffic</translation>
    </message>
    <message>
        <source>通信监视：每一帧报文、链路计数和导出</source>
        <translation>Traffic monitor: every frame, link counters and export</translation>
    </message>
    <message>
        <source>请输入实际输出电流！</source>
        <translation>Please enter the measured output current!</translation>
    </message>
    <message>
        <source>请输入测试电流！</source>
        <translation>Please enter the test current!</translation>
    </message>
    <message>
        <source>档案</source>
        <translation>History</translation>
    </message>
    <message>
        <source>设备档案：每台变送器的记录与改动</source>
        <translation>Device history: every transmitter&apos;s records and changes</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>回路校验：校准前、校准后与校准证书</source>
        <translation>Loop check: as found, as left and the calibration certificate</translation>
    </message>
    <message>
        <source>读取校验设置成功</source>
        <translation>Loop check set-up read</translation>
    </message>
    <message>
        <source>读取校验设置失败</source>
        <translation>Reading the loop check set-up failed</translation>
    </message>
    <message>
        <source>读取校验点成功</source>
        <translation>Loop check point read</translation>
    </message>
    <message>
        <source>读取校验点失败</source>
        <translation>Reading the loop check point failed</translation>
    </message>
    <message>
        <source>扫描</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>多点回路：列出线上全部仪表，按位号查找</source>
        <translation>Multidrop: list every device on the line, find one by tag</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>设备状态：NE 107 判定、原因与设备变量</source>
        <translation>Device status: NE 107 verdict, reasons and device variables</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>此端口的调制解调器选项</source>
        <translation>This port's modem options</translation>
    </message>
    <message>
        <source>调制解调器自动收发</source>
        <translation>Modem keys itself</translation>
    </message>
    <message>
        <source>调制解调器自己切换发送，不用RTS控制；串口参数不变</source>
        <translation>The modem switches to sending by itself, without RTS; the line settings stay</translation>
    </message>
    <message>
        <source>回显</source>
        <translation>Echo</translation>
    </message>
    <message>
        <source>适配器把发出的每个字节送回：去掉回显并与所发比较，不符即冲突</source>
        <translation>The adapter sends back every byte written: the echo is taken off and compared with what was sent; a mismatch is a collision</translation>
    </message>
    <message>
        <source>FTDI适配器延迟定时器为%1 ms，建议设为1 ms</source>
        <translation>FTDI latency timer is %1 ms; set it to 1 ms</translation>
    </message>
    <message>
        <source>FTDI适配器%1的延迟定时器为%2 ms，每个应答都会迟到；改为1 ms：echo 1 | sudo tee %3，或 setserial /dev/%1 low_latency</source>
        <translation>The FTDI adapter %1 has a latency timer of %2 ms, which delays every answer; set it to 1 ms: echo 1 | sudo tee %3, or setserial /dev/%1 low_latency</translation>
    </message>
</context>
<context>
    <name>MeterInfoPage</name>
    <message>
        <source>仪表信息</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>  短地址：</source>
        <translation>  Short address:</translation>
    </message>
    <message>
        <source>  长地址：</source>
        <translation>  Long address:</translation>
    </message>
    <message>
        <source>  工位号：</source>
        <translation>  Tag:</translation>
    </message>
    <message>
        <source>装配代码：</source>
        <translation>Assembly no.:</translation>
    </message>
    <message>
        <source>  描述符：</source>
        <translation>  Descriptor:</translation>
    </message>
    <message>
        <source>    消息：</source>
        <translation>    Message:</translation>
    </message>
    <message>
        <source>    日期：</source>
        <translation>    Date:</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>ModbusPage</name>
    <message>
        <source>连续50个寄存器</source>
        <translation>50 registers in a row</translation>
    </message>
    <message>
        <source>起始地址：</source>
        <translation>Start address:</translation>
    </message>
    <message>
        <source>big-endian</source>
        <translation>big-endian</translation>
    </message>
    <message>
        <source>byte swap</source>
        <translation>byte swap</translation>
    </message>
    <message>
        <source>数据：</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
</context>
<context>
    <name>MonitoringPage</name>
    <message>
        <source>单  位：</source>
        <translation>Unit:</translation>
    </message>
    <message>
        <source>上限值：</source>
        <translation>Upper:</translation>
    </message>
    <message>
        <source>下限值：</source>
        <translation>Lower:</translation>
    </message>
    <message>
        <source>阻  尼：</source>
        <translation>Damping:</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>主变量：</source>
        <translation>PV:</translation>
    </message>
    <message>
        <source>电流值：</source>
        <translation>Current:</translation>
    </message>
    <message>
        <source>百分比：</source>
        <translation>Percent:</translation>
    </message>
</context>
<context>
    <name>MoreInfoPage</name>
    <message>
        <source>更多信息</source>
        <translation>More info</translation>
    </message>
    <message>
        <source>      制造商：</source>
        <translation>      Maker:</translation>
    </message>
    <message>
        <source>    设备类型：</source>
        <translation>    Device type:</translation>
    </message>
    <message>
        <source>通用指令版本：</source>
        <translation>Universal rev.:</translation>
    </message>
    <message>
        <source>专用指令版本：</source>
        <translation>Specific rev.:</translation>
    </message>
    <message>
        <source>    硬件版本：</source>
        <translation>    Hardware rev.:</translation>
    </message>
    <message>
        <source>    软件版本：</source>
        <translation>    Software rev.:</translation>
    </message>
    <message>
        <source>    报警选择：</source>
        <translation>    Alarm:</translation>
    </message>
    <message>
        <source>  写保护状态：</source>
        <translation>  Write protect:</translation>
    </message>
</context>
<context>
    <name>NavigationBox</name>
    <message>
        <source>仪表信息</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>变送器信息</source>
        <translation>Transmitter</translation>
    </message>
    <message>
        <source>更多信息</source>
        <translation>More info</translation>
    </message>
    <message>
        <source>仪表组态</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>地址设置</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>量程设置</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>有源迁移</source>
        <translation>Rerange</translation>
    </message>
    <message>
        <source>输出设置</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>显示设置</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>专有设置</source>
        <translation>Special</translation>
    </message>
    <message>
        <source>仪表微调</source>
        <translation>Trim</translation>
    </message>
    <message>
        <source>仪表清零</source>
        <translation>PV zero</translation>
    </message>
    <message>
        <source>电流微调</source>
        <translation>Current trim</translation>
    </message>
    <message>
        <source>过程监控</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>用户校准</source>
        <translation>User cal.</translation>
    </message>
    <message>
        <source>工厂校准</source>
        <translation>Factory</translation>
    </message>
    <message>
        <source>传感器配置</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>线性化及温补</source>
        <translation>Linearization</translation>
    </message>
    <message>
        <source>二次非线性修正</source>
        <translation>2nd correction</translation>
    </message>
    <message>
        <source>Modbus组态</source>
        <translation>Modbus</translation>
    </message>
    <message>
        <source>出厂检测</source>
        <translation>Final test</translation>
    </message>
</context>
<context>
    <name>Operations</name>
    <message>
        <source>识别到仪表</source>
        <translation>Transmitter found</translation>
    </message>
    <message>
        <source>备份数据</source>
        <translation>Backup</translation>
    </message>
    <message>
        <source>读取备份数据</source>
        <translation>Restore backup</translation>
    </message>
    <message>
        <source>出厂检测</source>
        <translation>Factory test</translation>
    </message>
    <message>
        <source>回路校验</source>
        <translation>Loop check</translation>
    </message>
    <message>
        <source>其他操作</source>
        <translation>Other operation</translation>
    </message>
    <message>
        <source>打开端口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>关闭端口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>查询仪表</source>
        <translation>Search for the transmitter</translation>
    </message>
    <message>
        <source>查询仪表（地址1~15）</source>
        <translation>Search addresses 1–15</translation>
    </message>
    <message>
        <source>读取变送器信息</source>
        <translation>Read transmitter info</translation>
    </message>
    <message>
        <source>读取仪表信息</source>
        <translation>Read device info</translation>
    </message>
    <message>
        <source>写入仪表信息</source>
        <translation>Write device info</translation>
    </message>
    <message>
        <source>读取更多信息</source>
        <translation>Read more info</translation>
    </message>
    <message>
        <source>写入地址信息</source>
        <translation>Write address</translation>
    </message>
    <message>
        <source>读取量程信息</source>
        <translation>Read range</translation>
    </message>
    <message>
        <source>写入量程信息</source>
        <translation>Write range</translation>
    </message>
    <message>
        <source>读取迁移量程</source>
        <translation>Read range for re-ranging</translation>
    </message>
    <message>
        <source>零点迁移</source>
        <translation>Zero re-range</translation>
    </message>
    <message>
        <source>量程迁移</source>
        <translation>Re-range</translation>
    </message>
    <message>
        <source>读取输出设置</source>
        <translation>Read output settings</translation>
    </message>
    <message>
        <source>写入输出设置</source>
        <translation>Write output settings</translation>
    </message>
    <message>
        <source>进入电流微调</source>
        <translation>Enter current trim</translation>
    </message>
    <message>
        <source>设置固定电流</source>
        <translation>Set fixed current</translation>
    </message>
    <message>
        <source>退出固定电流</source>
        <translation>Release fixed current</translation>
    </message>
    <message>
        <source>4mA微调</source>
        <translation>Trim 4 mA</translation>
    </message>
    <message>
        <source>20mA微调</source>
        <translation>Trim 20 mA</translation>
    </message>
    <message>
        <source>电流测试</source>
        <translation>Loop current test</translation>
    </message>
    <message>
        <source>PV清零</source>
        <translation>PV zero</translation>
    </message>
    <message>
        <source>取消PV清零</source>
        <translation>Cancel PV zero</translation>
    </message>
    <message>
        <source>读取传感器配置</source>
        <translation>Read sensor configuration</translation>
    </message>
    <message>
        <source>写入传感器配置</source>
        <translation>Write sensor configuration</translation>
    </message>
    <message>
        <source>读取校准配置</source>
        <translation>Read calibration setup</translation>
    </message>
    <message>
        <source>读取校准数据</source>
        <translation>Read calibration data</translation>
    </message>
    <message>
        <source>写入校准数据</source>
        <translation>Write calibration data</translation>
    </message>
    <message>
        <source>读取AD值</source>
        <translation>Read ADC values</translation>
    </message>
    <message>
        <source>停止读取AD值</source>
        <translation>Stop reading ADC values</translation>
    </message>
    <message>
        <source>读取PV</source>
        <translation>Read PV</translation>
    </message>
    <message>
        <source>停止读取PV</source>
        <translation>Stop reading PV</translation>
    </message>
    <message>
        <source>读取用户校准数据</source>
        <translation>Read user calibration</translation>
    </message>
    <message>
        <source>写入用户校准数据</source>
        <translation>Write user calibration</translation>
    </message>
    <message>
        <source>工厂电流校准</source>
        <translation>Factory current calibration</translation>
    </message>
    <message>
        <source>写入工厂电流校准数据</source>
        <translation>Write factory current calibration</translation>
    </message>
    <message>
        <source>读取显示设置</source>
        <translation>Read display settings</translation>
    </message>
    <message>
        <source>写入显示设置</source>
        <translation>Write display settings</translation>
    </message>
    <message>
        <source>工厂保存</source>
        <translation>Factory save</translation>
    </message>
    <message>
        <source>单点温补模式</source>
        <translation>Single-point temperature mode</translation>
    </message>
    <message>
        <source>读取Modbus组态</source>
        <translation>Read Modbus configuration</translation>
    </message>
    <message>
        <source>写入Modbus组态</source>
        <translation>Write Modbus configuration</translation>
    </message>
    <message>
        <source>读取专有设置</source>
        <translation>Read special settings</translation>
    </message>
    <message>
        <source>写入专有设置</source>
        <translation>Write special settings</translation>
    </message>
    <message>
        <source>全部写入</source>
        <translation>Write all</translation>
    </message>
    <message>
        <source>读取二次非线性修正</source>
        <translation>Read second correction</translation>
    </message>
    <message>
        <source>写入二次非线性修正</source>
        <translation>Write second correction</translation>
    </message>
    <message>
        <source>读取校验设置</source>
        <translation>Read loop check set-up</translation>
    </message>
    <message>
        <source>读取校验点</source>
        <translation>Read loop check point</translation>
    </message>
    <message>
        <source>停止出厂检测</source>
        <translation>Stop factory test</translation>
    </message>
    <message>
        <source>扫描回路</source>
        <translation>Scan the loop</translation>
    </message>
    <message>
        <source>选择仪表</source>
        <translation>Select device</translation>
    </message>
    <message>
        <source>设备状态判定变化</source>
        <translation>Health verdict changed</translation>
    </message>
    <message>
        <source>确认设备状态</source>
        <translation>Acknowledge device status</translation>
    </message>
    <message>
        <source>读取设备状态</source>
        <translation>Read device health</translation>
    </message>
    <message>
        <source>复位组态变更</source>
        <translation>Reset configuration changed</translation>
    </message>
</context>
<context>
    <name>OutputPage</name>
    <message>
        <source>输出设置</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>阻    尼：</source>
        <translation>Damping:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>输出特性：</source>
        <translation>Transfer:</translation>
    </message>
    <message>
        <source>线性</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>开方</source>
        <translation>Square root</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>ProprietaryPage</name>
    <message>
        <source>专有设置</source>
        <translation>Special</translation>
    </message>
    <message>
        <source>报警类型：</source>
        <translation>Alarm type:</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>上限报警</source>
        <translation>High alarm</translation>
    </message>
    <message>
        <source>下限报警</source>
        <translation>Low alarm</translation>
    </message>
    <message>
        <source>上下限报警</source>
        <translation>High and low</translation>
    </message>
    <message>
        <source>报警选择：</source>
        <translation>Alarm:</translation>
    </message>
    <message>
        <source>输出最大电流(21mA)</source>
        <translation>Maximum current (21mA)</translation>
    </message>
    <message>
        <source>输出最小电流(3.9mA)</source>
        <translation>Minimum current (3.9mA)</translation>
    </message>
    <message>
        <source>报警上限：</source>
        <translation>Alarm high:</translation>
    </message>
    <message>
        <source>100</source>
        <translation>100</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>报警下限：</source>
        <translation>Alarm low:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>小信号切除：</source>
        <translation>Low cut-off:</translation>
    </message>
    <message>
        <source>切除方式：</source>
        <translation>Cut-off mode:</translation>
    </message>
    <message>
        <source>零点切除</source>
        <translation>At zero</translation>
    </message>
    <message>
        <source>满点切除</source>
        <translation>At full scale</translation>
    </message>
    <message>
        <source>零满切除</source>
        <translation>Zero and full</translation>
    </message>
    <message>
        <source>偏    置：</source>
        <translation>Offset:</translation>
    </message>
    <message>
        <source>增    益：</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>写 保 护：</source>
        <translation>Write protect:</translation>
    </message>
    <message>
        <source>未保护</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>保护</source>
        <translation>On</translation>
    </message>
    <message>
        <source>密    度：</source>
        <translation>Density:</translation>
    </message>
    <message>
        <source>g/cm³</source>
        <translation>g/cm³</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>PvZeroPage</name>
    <message>
        <source>仪表清零</source>
        <translation>PV zero</translation>
    </message>
    <message>
        <source>说明：将PV值清零</source>
        <translation>Sets the PV to zero</translation>
    </message>
    <message>
        <source>清零</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>取消清零</source>
        <translation>Cancel zero</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>成功</source>
        <translation>succeeded</translation>
    </message>
    <message>
        <source>失败（响应码 %1）</source>
        <translation>failed (response code %1)</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>failed</translation>
    </message>
</context>
<context>
    <name>RangePage</name>
    <message>
        <source>传感器信息</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>      单位：</source>
        <translation>      Unit:</translation>
    </message>
    <message>
        <source>    上限值：</source>
        <translation>    Upper:</translation>
    </message>
    <message>
        <source>    下限值：</source>
        <translation>    Lower:</translation>
    </message>
    <message>
        <source>  最小量程：</source>
        <translation>  Min. span:</translation>
    </message>
    <message>
        <source>变送量程设置</source>
        <translation>Transmitter range</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>RerangePage</name>
    <message>
        <source>变送器当前量程</source>
        <translation>Current range</translation>
    </message>
    <message>
        <source>    单位：</source>
        <translation>    Unit:</translation>
    </message>
    <message>
        <source>  上限值：</source>
        <translation>  Upper:</translation>
    </message>
    <message>
        <source>  下限值：</source>
        <translation>  Lower:</translation>
    </message>
    <message>
        <source>零点迁移</source>
        <translation>Zero rerange</translation>
    </message>
    <message>
        <source>说明：量程下限等于当前主变量的值，量程不变</source>
        <translation>The lower range value becomes the present PV; the span stays</translation>
    </message>
    <message>
        <source>量程迁移</source>
        <translation>Span rerange</translation>
    </message>
    <message>
        <source>说明：量程上限等于当前主变量的值，量程下限不变</source>
        <translation>The upper range value becomes the present PV; the lower stays</translation>
    </message>
</context>
<context>
    <name>ScanWindow</name>
    <message>
        <source>扫描</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>没有仪表应答位号%1</source>
        <translation>No device answers to the tag %1</translation>
    </message>
    <message>
        <source>地址0~15</source>
        <translation>Addresses 0-15</translation>
    </message>
    <message>
        <source>地址0~63（HART 6/7）</source>
        <translation>Addresses 0-63 (HART 6/7)</translation>
    </message>
    <message>
        <source>每个无应答地址的尝试次数</source>
        <translation>Attempts at each address that does not answer</translation>
    </message>
    <message>
        <source>开始扫描</source>
        <translation>Start scan</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>范围</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>尝试次数</source>
        <translation>Attempts</translation>
    </message>
    <message>
        <source>位号（最多8个字符，HART 7 长位号最多32个）</source>
        <translation>Tag (up to 8 characters, a HART 7 long tag up to 32)</translation>
    </message>
    <message>
        <source>按位号查找</source>
        <translation>Find by tag</translation>
    </message>
    <message>
        <source>位号</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>制造商</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>设备类型</source>
        <translation>Device type</translation>
    </message>
    <message>
        <source>设备号</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>通用版本</source>
        <translation>Revision</translation>
    </message>
    <message>
        <source>回路电流</source>
        <translation>Loop current</translation>
    </message>
    <message>
        <source>选择仪表</source>
        <translation>Use this device</translation>
    </message>
    <message>
        <source>让各页面与所选仪表通信，如同查询到它一样</source>
        <translation>Make the pages talk to the chosen device, as if the search had found it</translation>
    </message>
    <message>
        <source>正在扫描...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>请输入位号</source>
        <translation>Enter a tag</translation>
    </message>
    <message>
        <source>位号只能使用西文字符（Latin-1）</source>
        <translation>A tag takes Latin-1 characters only</translation>
    </message>
    <message>
        <source>正在取消...</source>
        <translation>Cancelling...</translation>
    </message>
    <message>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <source>固定4mA</source>
        <translation>Fixed 4 mA</translation>
    </message>
    <message>
        <source>有效</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>剩余约%1秒</source>
        <translation>About %1 s left</translation>
    </message>
    <message>
        <source>轮询地址%1上有多台仪表应答，它们的应答会相互冲突，请改设其中一台的地址</source>
        <translation>More than one device answers at polling address %1; their answers collide. Give one of them another address.</translation>
    </message>
    <message>
        <source>选择仪表失败</source>
        <translation>Choosing the device failed</translation>
    </message>
    <message>
        <source>选择仪表失败！</source>
        <translation>Choosing the device failed!</translation>
    </message>
    <message>
        <source>找到%1台仪表</source>
        <translation>%1 device(s) found</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>扫描完成</source>
        <translation>Scan finished</translation>
    </message>
    <message>
        <source>扫描已取消</source>
        <translation>Scan cancelled</translation>
    </message>
    <message>
        <source>%1 → 通道%2</source>
        <translation>%1 → channel %2</translation>
    </message>
</context>
<context>
    <name>SecondCorrectionPage</name>
    <message>
        <source>注意：常规校准不用操作此页面，线性化及温补校准时会自动初始化此页面的数据，此功能一般在量程缩放之后做二次非线性修正</source>
        <translation>Note: a normal calibration does not need this page; the linearization sets it up. It corrects the remaining non-linearity after the range is scaled.</translation>
    </message>
    <message>
        <source>校准点数：</source>
        <translation>Cal. points:</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
</context>
<context>
    <name>SensorConfigPage</name>
    <message>
        <source>传感器类型：</source>
        <translation>Sensor type:</translation>
    </message>
    <message>
        <source>温补方式：</source>
        <translation>Temp. comp.:</translation>
    </message>
    <message>
        <source>恒流源：</source>
        <translation>Current source:</translation>
    </message>
    <message>
        <source>恒压源：</source>
        <translation>Voltage source:</translation>
    </message>
    <message>
        <source>放大倍数：</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source>±4000mV</source>
        <translation>±4000mV</translation>
    </message>
    <message>
        <source>温补放大倍数：</source>
        <translation>Temp. gain:</translation>
    </message>
    <message>
        <source>4000mV</source>
        <translation>4000mV</translation>
    </message>
    <message>
        <source>传感器单位：</source>
        <translation>Sensor unit:</translation>
    </message>
    <message>
        <source>传感器上限：</source>
        <translation>Sensor upper:</translation>
    </message>
    <message>
        <source>传感器下限：</source>
        <translation>Sensor lower:</translation>
    </message>
    <message>
        <source>最小量程：</source>
        <translation>Min. span:</translation>
    </message>
    <message>
        <source>传感器序列号：</source>
        <translation>Sensor S/N:</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>说明：</source>
        <translation>Note:</translation>
    </message>
</context>
<context>
    <name>StandardsWindow</name>
    <message>
        <source>标准器登记</source>
        <translation>Reference standards</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>量</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>量程</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>不确定度</source>
        <translation>Uncertainty</translation>
    </message>
    <message>
        <source>证书编号</source>
        <translation>Certificate</translation>
    </message>
    <message>
        <source>有效期至</source>
        <translation>Due</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>新标准器</source>
        <translation>New standard</translation>
    </message>
    <message>
        <source>量程下限</source>
        <translation>Range low</translation>
    </message>
    <message>
        <source>量程上限</source>
        <translation>Range high</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>U % 读数</source>
        <translation>U % of reading</translation>
    </message>
    <message>
        <source>U % 量程</source>
        <translation>U % of span</translation>
    </message>
    <message>
        <source>U 绝对值</source>
        <translation>U absolute</translation>
    </message>
    <message>
        <source>包含因子 k</source>
        <translation>Coverage k</translation>
    </message>
    <message>
        <source> 已过期</source>
        <translation> expired</translation>
    </message>
    <message>
        <source> 将到期</source>
        <translation> due soon</translation>
    </message>
    <message>
        <source>“%1”不是数字</source>
        <translation>&quot;%1&quot; is no number</translation>
    </message>
    <message>
        <source>无法保存标准器</source>
        <translation>The standard was not saved</translation>
    </message>
    <message>
        <source>标准器“%1”已保存</source>
        <translation>Standard &quot;%1&quot; saved</translation>
    </message>
</context>
<context>
    <name>TrafficDecoder</name>
    <message>
        <source>读唯一标识</source>
        <translation>Read unique identifier</translation>
    </message>
    <message>
        <source>读主变量</source>
        <translation>Read primary variable</translation>
    </message>
    <message>
        <source>读电流和百分比</source>
        <translation>Read current and percent</translation>
    </message>
    <message>
        <source>读动态变量和电流</source>
        <translation>Read dynamic variables and current</translation>
    </message>
    <message>
        <source>写轮询地址</source>
        <translation>Write polling address</translation>
    </message>
    <message>
        <source>按位号读唯一标识</source>
        <translation>Read unique identifier by tag</translation>
    </message>
    <message>
        <source>读消息</source>
        <translation>Read message</translation>
    </message>
    <message>
        <source>读位号描述符日期</source>
        <translation>Read tag, descriptor, date</translation>
    </message>
    <message>
        <source>读传感器信息</source>
        <translation>Read sensor information</translation>
    </message>
    <message>
        <source>读设备信息</source>
        <translation>Read device information</translation>
    </message>
    <message>
        <source>读最终装配号</source>
        <translation>Read final assembly number</translation>
    </message>
    <message>
        <source>写消息</source>
        <translation>Write message</translation>
    </message>
    <message>
        <source>写位号描述符日期</source>
        <translation>Write tag, descriptor, date</translation>
    </message>
    <message>
        <source>写最终装配号</source>
        <translation>Write final assembly number</translation>
    </message>
    <message>
        <source>写阻尼</source>
        <translation>Write damping</translation>
    </message>
    <message>
        <source>写量程</source>
        <translation>Write range</translation>
    </message>
    <message>
        <source>设上限为当前值</source>
        <translation>Set upper range to PV</translation>
    </message>
    <message>
        <source>设下限为当前值</source>
        <translation>Set lower range to PV</translation>
    </message>
    <message>
        <source>复位组态变更标志</source>
        <translation>Reset configuration changed flag</translation>
    </message>
    <message>
        <source>EEPROM控制</source>
        <translation>EEPROM control</translation>
    </message>
    <message>
        <source>固定电流</source>
        <translation>Fixed current</translation>
    </message>
    <message>
        <source>自检</source>
        <translation>Self test</translation>
    </message>
    <message>
        <source>设备复位</source>
        <translation>Device reset</translation>
    </message>
    <message>
        <source>主变量调零</source>
        <translation>PV zero</translation>
    </message>
    <message>
        <source>写主变量单位</source>
        <translation>Write PV unit</translation>
    </message>
    <message>
        <source>微调电流零点</source>
        <translation>Trim current zero</translation>
    </message>
    <message>
        <source>微调电流增益</source>
        <translation>Trim current gain</translation>
    </message>
    <message>
        <source>写传递函数</source>
        <translation>Write transfer function</translation>
    </message>
    <message>
        <source>读附加状态</source>
        <translation>Read additional status</translation>
    </message>
    <message>
        <source>写传感器序列号</source>
        <translation>Write sensor serial number</translation>
    </message>
    <message>
        <source>写应答前导符数</source>
        <translation>Write response preambles</translation>
    </message>
    <message>
        <source>读传感器配置</source>
        <translation>Read sensor configuration</translation>
    </message>
    <message>
        <source>写传感器配置</source>
        <translation>Write sensor configuration</translation>
    </message>
    <message>
        <source>读校准配置</source>
        <translation>Read calibration configuration</translation>
    </message>
    <message>
        <source>写校准配置</source>
        <translation>Write calibration configuration</translation>
    </message>
    <message>
        <source>读原始信号</source>
        <translation>Read raw signals</translation>
    </message>
    <message>
        <source>写设备内存</source>
        <translation>Write device memory</translation>
    </message>
    <message>
        <source>读设备内存</source>
        <translation>Read device memory</translation>
    </message>
    <message>
        <source>工厂电流校准</source>
        <translation>Factory current calibration</translation>
    </message>
    <message>
        <source>写控制寄存器</source>
        <translation>Write control register</translation>
    </message>
    <message>
        <source>出厂检测查询</source>
        <translation>Factory test poll</translation>
    </message>
    <message>
        <source>奇偶校验错</source>
        <translation>parity error</translation>
    </message>
    <message>
        <source>溢出错</source>
        <translation>overrun error</translation>
    </message>
    <message>
        <source>帧错误</source>
        <translation>framing error</translation>
    </message>
    <message>
        <source>校验和错</source>
        <translation>checksum error</translation>
    </message>
    <message>
        <source>接收缓冲区溢出</source>
        <translation>receive buffer overflow</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>date</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>address</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>length</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>data</translation>
    </message>
    <message>
        <source>缺</source>
        <translation>missing</translation>
    </message>
    <message>
        <source> (单位 %1)</source>
        <translation> (unit %1)</translation>
    </message>
    <message>
        <source>轮询地址</source>
        <translation>polling address</translation>
    </message>
    <message>
        <source>消息</source>
        <translation>message</translation>
    </message>
    <message>
        <source>位号</source>
        <translation>tag</translation>
    </message>
    <message>
        <source>描述符</source>
        <translation>descriptor</translation>
    </message>
    <message>
        <source>最终装配号</source>
        <translation>final assembly no.</translation>
    </message>
    <message>
        <source>阻尼</source>
        <translation>damping</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>unit</translation>
    </message>
    <message>
        <source>上限</source>
        <translation>upper</translation>
    </message>
    <message>
        <source>下限</source>
        <translation>lower</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>current</translation>
    </message>
    <message>
        <source>制造商</source>
        <translation>manufacturer</translation>
    </message>
    <message>
        <source>设备类型</source>
        <translation>device type</translation>
    </message>
    <message>
        <source>前导符</source>
        <translation>preambles</translation>
    </message>
    <message>
        <source>通用版本</source>
        <translation>universal rev.</translation>
    </message>
    <message>
        <source>设备版本</source>
        <translation>device rev.</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>software rev.</translation>
    </message>
    <message>
        <source>硬件版本</source>
        <translation>hardware rev.</translation>
    </message>
    <message>
        <source>标志</source>
        <translation>flags</translation>
    </message>
    <message>
        <source>设备号</source>
        <translation>device id</translation>
    </message>
    <message>
        <source>PV</source>
        <translation>PV</translation>
    </message>
    <message>
        <source>百分比</source>
        <translation>percent</translation>
    </message>
    <message>
        <source>传感器序列号</source>
        <translation>sensor serial</translation>
    </message>
    <message>
        <source>最小量程</source>
        <translation>minimum span</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>alarm</translation>
    </message>
    <message>
        <source>传递函数</source>
        <translation>transfer function</translation>
    </message>
    <message>
        <source>写保护</source>
        <translation>write protect</translation>
    </message>
    <message>
        <source>经销商</source>
        <translation>distributor</translation>
    </message>
    <message>
        <source>卡</source>
        <translation>card</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>channel</translation>
    </message>
    <message>
        <source>子设备命令</source>
        <translation>sub-device command</translation>
    </message>
    <message>
        <source>子设备应答码</source>
        <translation>sub-device response code</translation>
    </message>
    <message>
        <source>读回路组态</source>
        <translation>Read loop configuration</translation>
    </message>
    <message>
        <source>读设备变量及状态</source>
        <translation>Read device variables with status</translation>
    </message>
    <message>
        <source>读长位号</source>
        <translation>Read long tag</translation>
    </message>
    <message>
        <source>按长位号读唯一标识</source>
        <translation>Read unique identifier by long tag</translation>
    </message>
    <message>
        <source>写长位号</source>
        <translation>Write long tag</translation>
    </message>
    <message>
        <source>读I/O系统能力</source>
        <translation>Read I/O system capabilities</translation>
    </message>
    <message>
        <source>向子设备发命令</source>
        <translation>Send command to sub-device</translation>
    </message>
    <message>
        <source>读子设备标识摘要</source>
        <translation>Read sub-device identity summary</translation>
    </message>
</context>
<context>
    <name>TransmitterInfoPage</name>
    <message>
        <source>传感器信息</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>    单位：</source>
        <translation>    Unit:</translation>
    </message>
    <message>
        <source>  上限值：</source>
        <translation>  Upper:</translation>
    </message>
    <message>
        <source>  下限值：</source>
        <translation>  Lower:</translation>
    </message>
    <message>
        <source>最小量程：</source>
        <translation>Min. span:</translation>
    </message>
    <message>
        <source>  序列号：</source>
        <translation>  S/N:</translation>
    </message>
    <message>
        <source>变送器信息</source>
        <translation>Transmitter</translation>
    </message>
    <message>
        <source>    阻尼：</source>
        <translation>    Damping:</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>输出特性：</source>
        <translation>Transfer:</translation>
    </message>
</context>
<context>
    <name>UserCalibrationPage</name>
    <message>
        <source>校准单位：</source>
        <translation>Cal. unit:</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
</context>
<context>
    <name>WelcomePage</name>
    <message>
        <source>感谢您使用本公司产品！</source>
        <translation>Thank you!</translation>
    </message>
    <message>
        <source>制造商名称</source>
        <translation>Maker name</translation>
    </message>
    <message>
        <source>制造商地址</source>
        <translation>Maker address</translation>
    </message>
</context>
<context>
    <name>hartThread</name>
    <message>
        <source>hart status:传递的参数太大</source>
        <translation>hart status:Parameter too large</translation>
    </message>
    <message>
        <source>hart status:传递的参数太小</source>
        <translation>hart status:Parameter too small</translation>
    </message>
    <message>
        <source>hart status:在写保护状态</source>
        <translation>hart status:In write protect mode</translation>
    </message>
    <message>
        <source>hart status:未在合适的电流模式</source>
        <translation>hart status:Not in the proper current mode</translation>
    </message>
    <message>
        <source>hart status:访问受限</source>
        <translation>hart status:Access restricted</translation>
    </message>
    <message>
        <source>hart status:设备忙</source>
        <translation>hart status:Device busy</translation>
    </message>
    <message>
        <source>hart status:命令未定义</source>
        <translation>hart status:Command not implemented</translation>
    </message>
    <message>
        <source>hart status:模拟输出电流固定</source>
        <translation>hart status:Loop current fixed</translation>
    </message>
    <message>
        <source>hart status:模拟输出饱和</source>
        <translation>hart status:Loop current saturated</translation>
    </message>
    <message>
        <source>hart status:冷启动</source>
        <translation>hart status:Cold start</translation>
    </message>
    <message>
        <source>hart status:组态变更</source>
        <translation>hart status:Configuration changed</translation>
    </message>
    <message>
        <source>hart status:现场设备故障</source>
        <translation>hart status:Device malfunction</translation>
    </message>
    <message>
        <source>hart status:更多的状态可用</source>
        <translation>hart status:More status available</translation>
    </message>
    <message>
        <source>hart status:非主变量超限</source>
        <translation>hart status:Non-primary variable out of limits</translation>
    </message>
    <message>
        <source>hart status:主变量超限</source>
        <translation>hart status:PV out of limits</translation>
    </message>
</context>
<context>
    <name>health</name>
    <message>
        <source>故障</source>
        <translation>Failure</translation>
    </message>
    <message>
        <source>供电严重故障</source>
        <translation>Critical power failure</translation>
    </message>
    <message>
        <source>功能检查</source>
        <translation>Function check</translation>
    </message>
    <message>
        <source>超出规格</source>
        <translation>Out of specification</translation>
    </message>
    <message>
        <source>设备变量报警</source>
        <translation>Device variable alert</translation>
    </message>
    <message>
        <source>需要维护</source>
        <translation>Maintenance required</translation>
    </message>
    <message>
        <source>仿真运行中</source>
        <translation>Simulation active</translation>
    </message>
    <message>
        <source>非易失存储器故障</source>
        <translation>Non-volatile memory defect</translation>
    </message>
    <message>
        <source>易失存储器故障</source>
        <translation>Volatile memory defect</translation>
    </message>
    <message>
        <source>看门狗复位</source>
        <translation>Watchdog reset executed</translation>
    </message>
    <message>
        <source>供电条件超出范围</source>
        <translation>Power supply conditions out of range</translation>
    </message>
    <message>
        <source>环境条件超出范围</source>
        <translation>Environmental conditions out of range</translation>
    </message>
    <message>
        <source>电子部件故障</source>
        <translation>Electronic defect</translation>
    </message>
    <message>
        <source>设备组态已锁定</source>
        <translation>Device configuration locked</translation>
    </message>
    <message>
        <source>状态仿真运行中</source>
        <translation>Status simulation active</translation>
    </message>
    <message>
        <source>离散变量仿真运行中</source>
        <translation>Discrete variable simulation active</translation>
    </message>
    <message>
        <source>事件通知溢出</source>
        <translation>Event notification overflow</translation>
    </message>
    <message>
        <source>子设备列表已变更</source>
        <translation>Sub-device list changed</translation>
    </message>
    <message>
        <source>检测到重复主站</source>
        <translation>Duplicate master detected</translation>
    </message>
    <message>
        <source>子设备不匹配</source>
        <translation>Sub-device mismatch</translation>
    </message>
    <message>
        <source>子设备标识重复</source>
        <translation>Sub-devices with duplicate IDs</translation>
    </message>
    <message>
        <source>数据过时</source>
        <translation>Stale data notice</translation>
    </message>
    <message>
        <source>容量被拒绝</source>
        <translation>Capacity denied</translation>
    </message>
    <message>
        <source>带宽分配等待中</source>
        <translation>Bandwidth allocation pending</translation>
    </message>
    <message>
        <source>块传输等待中</source>
        <translation>Block transfer pending</translation>
    </message>
    <message>
        <source>无线电故障</source>
        <translation>Radio failure</translation>
    </message>
    <message>
        <source>扩展设备状态未定义位 %1</source>
        <translation>Undefined extended device status bit %1</translation>
    </message>
    <message>
        <source>工作模式 %1</source>
        <translation>Operating mode %1</translation>
    </message>
    <message>
        <source>模拟通道%1饱和</source>
        <translation>Analog channel %1 saturated</translation>
    </message>
    <message>
        <source>模拟通道%1固定</source>
        <translation>Analog channel %1 fixed</translation>
    </message>
    <message>
        <source>设备专用状态 字节%1: %2</source>
        <translation>Device-specific status byte %1: %2</translation>
    </message>
    <message>
        <source>过程自动化设备</source>
        <translation>Process automation device</translation>
    </message>
    <message>
        <source>离散设备</source>
        <translation>Discrete device</translation>
    </message>
    <message>
        <source>混合设备</source>
        <translation>Hybrid device</translation>
    </message>
    <message>
        <source>输入输出系统</source>
        <translation>I/O system</translation>
    </message>
    <message>
        <source>无线过程自动化设备</source>
        <translation>Wireless process automation device</translation>
    </message>
    <message>
        <source>无线离散设备</source>
        <translation>Wireless discrete device</translation>
    </message>
    <message>
        <source>无线混合设备</source>
        <translation>Wireless hybrid device</translation>
    </message>
    <message>
        <source>无线网关</source>
        <translation>Wireless gateway</translation>
    </message>
    <message>
        <source>无线适配器</source>
        <translation>Wireless adapter</translation>
    </message>
    <message>
        <source>无线手持终端</source>
        <translation>Wireless handheld</translation>
    </message>
    <message>
        <source>良好</source>
        <translation>good</translation>
    </message>
    <message>
        <source>手动/固定</source>
        <translation>manual/fixed</translation>
    </message>
    <message>
        <source>精度差</source>
        <translation>poor accuracy</translation>
    </message>
    <message>
        <source>坏值</source>
        <translation>bad</translation>
    </message>
    <message>
        <source>低限</source>
        <translation>low limited</translation>
    </message>
    <message>
        <source>高限</source>
        <translation>high limited</translation>
    </message>
    <message>
        <source>常数</source>
        <translation>constant</translation>
    </message>
    <message>
        <source>未限制</source>
        <translation>not limited</translation>
    </message>
    <message>
        <source>%1 状态: %2</source>
        <translation>%1 status: %2</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>现场设备状态位 %1</source>
        <translation>Field device status bit %1</translation>
    </message>
</context>
<context>
    <name>traffic</name>
    <message>
        <source>✖ 发送失败</source>
        <translation>✖ Write failed</translation>
    </message>
    <message>
        <source>✖ 清除丢弃</source>
        <translation>✖ Cleared unread</translation>
    </message>
    <message>
        <source>✖ 未收完，放弃</source>
        <translation>✖ Cut off, abandoned</translation>
    </message>
    <message>
        <source>附加状态=</source>
        <translation>additional status=</translation>
    </message>
    <message>
        <source> 主</source>
        <translation> primary</translation>
    </message>
    <message>
        <source> 副</source>
        <translation> secondary</translation>
    </message>
    <message>
        <source> 突发</source>
        <translation> burst</translation>
    </message>
    <message>
        <source>命令 %1</source>
        <translation>Command %1</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>无效选择</source>
        <translation>Invalid selection</translation>
    </message>
    <message>
        <source>数据字节太少</source>
        <translation>Too few data bytes</translation>
    </message>
    <message>
        <source>设备特定命令错误</source>
        <translation>Device-specific command error</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>通信错误</source>
        <translation>Communication error</translation>
    </message>
    <message>
        <source>↻ 重发</source>
        <translation>↻ Resent</translation>
    </message>
    <message>
        <source>→ 已发送</source>
        <translation>→ Sent</translation>
    </message>
    <message>
        <source>◷ 超时，放弃</source>
        <translation>◷ Time-out, gave up</translation>
    </message>
    <message>
        <source>◷ 超时</source>
        <translation>◷ Time-out</translation>
    </message>
    <message>
        <source>↻ 重试</source>
        <translation>↻ Retry</translation>
    </message>
    <message>
        <source>⚠ 已接受，地址不符</source>
        <translation>⚠ Accepted, address differs</translation>
    </message>
    <message>
        <source>✔ 已接受</source>
        <translation>✔ Accepted</translation>
    </message>
    <message>
        <source>⚠ 迟到</source>
        <translation>⚠ Late</translation>
    </message>
    <message>
        <source>✖ 校验错</source>
        <translation>✖ Bad check byte</translation>
    </message>
    <message>
        <source>✖ 定界符错</source>
        <translation>✖ Bad delimiter</translation>
    </message>
    <message>
        <source>✖ 太短</source>
        <translation>✖ Too short</translation>
    </message>
    <message>
        <source>✖ 非本机地址</source>
        <translation>✖ Other address</translation>
    </message>
    <message>
        <source>✖ 主站不符</source>
        <translation>✖ Wrong master</translation>
    </message>
    <message>
        <source>✖ 超长</source>
        <translation>✖ Too long</translation>
    </message>
    <message>
        <source>主→仪表</source>
        <translation>Master→device</translation>
    </message>
    <message>
        <source>仪表→主</source>
        <translation>Device→master</translation>
    </message>
    <message>
        <source>事件</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>✖ 回显不符（冲突）</source>
        <translation>✖ Echo mismatch (collision)</translation>
    </message>
    <message>
        <source>✖ 回显不全</source>
        <translation>✖ Echo incomplete</translation>
    </message>
    <message>
        <source>回显</source>
        <translation>Echo</translation>
    </message>
</context>
<context>
    <name>traffic::TrafficModel</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>间隔 ms</source>
        <translation>Gap ms</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>事务/次</source>
        <translation>Trans./try</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>字节</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>响应码</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>设备状态</source>
        <translation>Device status</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>解码</source>
        <translation>Decoded</translation>
    </message>
</context>
<context>
    <name>traffic::TrafficWindow</name>
    <message>
        <source>  清除丢弃 %1 次 %2 字节</source>
        <translation>  cleared unread %1 times %2 bytes</translation>
    </message>
    <message>
        <source>  未收完 %1</source>
        <translation>  cut off %1</translation>
    </message>
    <message>
        <source>  发送失败 %1</source>
        <translation>  write failed %1</translation>
    </message>
    <message>
        <source>  记录文件丢帧 %1</source>
        <translation>  lost to the capture file %1</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Traffic</translation>
    </message>
    <message>
        <source>只看一个命令</source>
        <translation>One command only</translation>
    </message>
    <message>
        <source>全部命令</source>
        <translation>All commands</translation>
    </message>
    <message>
        <source>仅错误</source>
        <translation>Errors only</translation>
    </message>
    <message>
        <source>全部事务</source>
        <translation>All transactions</translation>
    </message>
    <message>
        <source>只看一个事务（双击表格行选中其事务）</source>
        <translation>One transaction only (double-click a row to pick its transaction)</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>跟随最新</source>
        <translation>Follow newest</translation>
    </message>
    <message>
        <source>导出pcapng</source>
        <translation>Export pcapng</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>已导出 %1</source>
        <translation>Exported %1</translation>
    </message>
    <message>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <source>正在记录到 %1</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>事务 %1  尝试 %2  重试 %3  超时 %4  失败 %5  校验错 %6  他址 %7  主站不符 %8  畸形 %9
迟到 %10  忙 %11  拒绝 %12  应答时间 中位 %13 ms 最长 %14 ms</source>
        <translation>Transactions %1  attempts %2  retries %3  time-outs %4  failed %5  bad check %6  other address %7  wrong master %8  malformed %9
late %10  busy %11  refused %12  answer time median %13 ms worst %14 ms</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>pcapng (*.pcapng)</source>
        <translation>pcapng (*.pcapng)</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>正在导出 %1 ...</source>
        <translation>Exporting %1 ...</translation>
    </message>
    <message>
        <source>  回显不符（冲突） %1</source>
        <translation>  echo mismatch (collision) %1</translation>
    </message>
    <message>
        <source>  回显不全 %1</source>
        <translation>  echo incomplete %1</translation>
    </message>
</context>
</TS>
