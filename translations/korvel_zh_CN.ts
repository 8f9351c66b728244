<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Catalogue</name>
    <message>
        <source>Right Now</source>
        <translation>立即</translation>
    </message>
    <message>
        <source>Delayed</source>
        <translation>延时</translation>
    </message>
    <message>
        <source>Timing</source>
        <translation>定时</translation>
    </message>
    <message>
        <source>Stop by Button</source>
        <translation>按键停止</translation>
    </message>
    <message>
        <source>Stop by Software</source>
        <translation>软件停止</translation>
    </message>
    <message>
        <source>Stop by Button or Software</source>
        <translation>按键或软件停止</translation>
    </message>
    <message>
        <source>Internal</source>
        <translation>内置</translation>
    </message>
    <message>
        <source>External</source>
        <translation>外置</translation>
    </message>
    <message>
        <source>Opened</source>
        <translation>开启</translation>
    </message>
    <message>
        <source>Closed</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>禁用</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>启用</translation>
    </message>
    <message>
        <source>Single</source>
        <translation>单次</translation>
    </message>
    <message>
        <source>Cumulative</source>
        <translation>累计</translation>
    </message>
</context>
<context>
    <name>FileDialogs</name>
    <message>
        <source>Settings files (*.json);;All files (*)</source>
        <translation>设置文件 (*.json);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>打开设置</translation>
    </message>
    <message>
        <source>Export Settings</source>
        <translation>导出设置</translation>
    </message>
</context>
<context>
    <name>LastSave</name>
    <message>
        <source>not acknowledged</source>
        <translation>未应答</translation>
    </message>
    <message>
        <source>read-back failed</source>
        <translation>回读失败</translation>
    </message>
    <message>
        <source>read-back differs</source>
        <translation>回读不一致</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>未发送</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
    <message>
        <source>no outcome recorded</source>
        <translation>无结果记录</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Last saved %1 by %2 on %3</source>
        <translation>上次保存：%1，操作员 %2，工作站 %3</translation>
    </message>
    <message>
        <source>Last save %1 by %2 on %3: %4</source>
        <translation>上次保存：%1，操作员 %2，工作站 %3：%4</translation>
    </message>
</context>
<context>
    <name>Pictures</name>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Minimise</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Temperature &amp; Humidity Logger Setup</source>
        <translation>温湿度记录仪设置</translation>
    </message>
    <message>
        <source>LOGGER</source>
        <translation>记录仪</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>版本 %1</translation>
    </message>
    <message>
        <source>Logger Parameters</source>
        <translation>记录仪参数</translation>
    </message>
    <message>
        <source>Read the logger, change its settings, then save.</source>
        <translation>读取记录仪，修改设置，然后保存。</translation>
    </message>
    <message>
        <source>Connect the logger to a USB port before pressing Read.</source>
        <translation>请先将记录仪连接到 USB 端口，再按“读取”。</translation>
    </message>
    <message>
        <source>About Korvel</source>
        <translation>关于 Korvel</translation>
    </message>
    <message>
        <source>Reads and writes the logger&apos;s settings over USB.</source>
        <translation>通过 USB 读取和写入记录仪的设置。</translation>
    </message>
    <message>
        <source>Press Back to return to the parameters.</source>
        <translation>按“返回”回到参数界面。</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
</context>
<context>
    <name>Prompt</name>
    <message>
        <source>Unknown error</source>
        <translation>未知错误</translation>
    </message>
    <message>
        <source>Prompt</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>SaveForm</name>
    <message>
        <source>The %1 can not be empty</source>
        <translation>%1 不能为空</translation>
    </message>
    <message>
        <source>The %1 is out of range</source>
        <translation>%1 超出范围</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid number</source>
        <translation>“%1”不是有效的数字</translation>
    </message>
    <message>
        <source>The Serial Number can not be empty and the Serial Number length is 9</source>
        <translation>序列号不能为空，且长度必须为 9 位</translation>
    </message>
    <message>
        <source>The Temperature L1 can not be above the Temperature H1</source>
        <translation>温度 L1 不能高于温度 H1</translation>
    </message>
    <message>
        <source>The Password can not be empty and the Password length is 6</source>
        <translation>密码不能为空，且长度必须为 6 位</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Calibration Temperature</source>
        <translation>温度校准</translation>
    </message>
    <message>
        <source>Calibration Humidity</source>
        <translation>湿度校准</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Temperature H3</source>
        <translation>温度 H3</translation>
    </message>
    <message>
        <source>Temperature H2</source>
        <translation>温度 H2</translation>
    </message>
    <message>
        <source>Temperature H1</source>
        <translation>温度 H1</translation>
    </message>
    <message>
        <source>Temperature L1</source>
        <translation>温度 L1</translation>
    </message>
    <message>
        <source>Temperature L2</source>
        <translation>温度 L2</translation>
    </message>
    <message>
        <source>Humidity H1</source>
        <translation>湿度 H1</translation>
    </message>
    <message>
        <source>Humidity L1</source>
        <translation>湿度 L1</translation>
    </message>
</context>
<context>
    <name>ScanStatus</name>
    <message>
        <source>%1 port</source>
        <translation>%1 个端口</translation>
    </message>
    <message>
        <source>%1 ports</source>
        <translation>%1 个端口</translation>
    </message>
    <message>
        <source>no permission for %1 (join the dialout group, see Help)</source>
        <translation>%1 个无访问权限（请加入 dialout 组，参见帮助）</translation>
    </message>
    <message>
        <source>%1 in use by another program</source>
        <translation>%1 个被其他程序占用</translation>
    </message>
    <message>
        <source>%1 gone</source>
        <translation>%1 个已不存在</translation>
    </message>
    <message>
        <source>%1 would not open</source>
        <translation>%1 个无法打开</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the reasons</comment>
        <translation>，</translation>
    </message>
    <message>
        <source>Looking for the logger on %1</source>
        <translation>正在 %1 上查找记录仪</translation>
    </message>
    <message>
        <source>Polling port %1 of %2: %3</source>
        <translation>正在查询第 %1 个端口（共 %2 个）：%3</translation>
    </message>
    <message>
        <source>Polled %1; no logger answered.</source>
        <translation>已查询 %1，没有记录仪应答。</translation>
    </message>
    <message>
        <source>Polled %1, no logger: %2.</source>
        <translation>已查询 %1，未找到记录仪：%2。</translation>
    </message>
</context>
<context>
    <name>TComm</name>
    <message>
        <source>This serial port already opened</source>
        <translation>该串口已打开</translation>
    </message>
    <message>
        <source>Can&apos;t Open the Port</source>
        <translation>无法打开端口</translation>
    </message>
    <message>
        <source>不能设置通讯缓冲区</source>
        <translation>不能设置通讯缓冲区</translation>
    </message>
    <message>
        <source>Can&apos;t Apply the Line Settings</source>
        <translation>无法应用串口参数</translation>
    </message>
    <message>
        <source>Unable to create event</source>
        <translation>无法创建事件</translation>
    </message>
    <message>
        <source>Unable to create read thread</source>
        <translation>无法创建读线程</translation>
    </message>
    <message>
        <source>Unable to create write thread</source>
        <translation>无法创建写线程</translation>
    </message>
</context>
<context>
    <name>korvel::window::TAboutFrm</name>
    <message>
        <source>Software Version: %1</source>
        <translation>软件版本：%1</translation>
    </message>
    <message>
        <source>Third-party licences</source>
        <translation>第三方许可证</translation>
    </message>
</context>
<context>
    <name>korvel::window::TParamter</name>
    <message>
        <source>Are you sure you want to quit the system?</source>
        <translation>确定要退出系统吗？</translation>
    </message>
    <message>
        <source>No device detected!</source>
        <translation>未检测到设备！</translation>
    </message>
    <message>
        <source>Y</source>
        <comment>year</comment>
        <translation>年</translation>
    </message>
    <message>
        <source>M</source>
        <comment>month</comment>
        <translation>月</translation>
    </message>
    <message>
        <source>D</source>
        <comment>day</comment>
        <translation>日</translation>
    </message>
    <message>
        <source>H</source>
        <comment>hours</comment>
        <translation>时</translation>
    </message>
    <message>
        <source>M</source>
        <comment>minutes</comment>
        <translation>分</translation>
    </message>
    <message>
        <source>S</source>
        <comment>seconds</comment>
        <translation>秒</translation>
    </message>
    <message>
        <source>Paramter</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>Device Info</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Temp. Unit</source>
        <translation>温度单位</translation>
    </message>
    <message>
        <source>Time Zone</source>
        <translation>时区</translation>
    </message>
    <message>
        <source>System Time</source>
        <translation>系统时间</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>启动时间</translation>
    </message>
    <message>
        <source>Probe Mode</source>
        <translation>探头模式</translation>
    </message>
    <message>
        <source>Cycle Switch</source>
        <translation>循环记录</translation>
    </message>
    <message>
        <source>Stop Mode</source>
        <translation>停止模式</translation>
    </message>
    <message>
        <source>Calibration Temperature</source>
        <translation>温度校准</translation>
    </message>
    <message>
        <source>Calibration Humidity</source>
        <translation>湿度校准</translation>
    </message>
    <message>
        <source>Temporary PDF Startup</source>
        <translation>临时 PDF</translation>
    </message>
    <message>
        <source>Password Startup</source>
        <translation>密码启动</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Alarm Zone</source>
        <translation>报警区域</translation>
    </message>
    <message>
        <source>Temperature/Humidity</source>
        <translation>温度/湿度</translation>
    </message>
    <message>
        <source>Alarm Mode</source>
        <translation>报警模式</translation>
    </message>
    <message>
        <source>Alarm Delay</source>
        <translation>报警延时</translation>
    </message>
    <message>
        <source>Log Setting</source>
        <translation>记录设置</translation>
    </message>
    <message>
        <source>Start Mode</source>
        <translation>启动模式</translation>
    </message>
    <message>
        <source>Start Delay</source>
        <translation>延时启动</translation>
    </message>
    <message>
        <source>Log Interval</source>
        <translation>记录间隔</translation>
    </message>
    <message>
        <source>Alarm Setting</source>
        <translation>报警设置</translation>
    </message>
    <message>
        <source>No Alarm</source>
        <translation>无报警</translation>
    </message>
    <message>
        <source>Single Alarm</source>
        <translation>单一报警</translation>
    </message>
    <message>
        <source>Multiple Alarm</source>
        <translation>多重报警</translation>
    </message>
    <message>
        <source>Temperature H1:Over</source>
        <translation>温度 H1：高于</translation>
    </message>
    <message>
        <source>Temperature L1:Below</source>
        <translation>温度 L1：低于</translation>
    </message>
    <message>
        <source>Trip Information</source>
        <translation>运输信息</translation>
    </message>
    <message>
        <source>Data Check Error</source>
        <translation>数据校验错误</translation>
    </message>
    <message>
        <source>Save Success</source>
        <translation>保存成功</translation>
    </message>
    <message>
        <source>Read Success</source>
        <translation>读取成功</translation>
    </message>
    <message>
        <source>Temperature H3:Over</source>
        <translation>温度 H3：高于</translation>
    </message>
    <message>
        <source>Temperature H2:Over</source>
        <translation>温度 H2：高于</translation>
    </message>
    <message>
        <source>Temperature L2:Below</source>
        <translation>温度 L2：低于</translation>
    </message>
    <message>
        <source>Humidity H1:Over</source>
        <translation>湿度 H1：高于</translation>
    </message>
    <message>
        <source>Humidity L1:Below</source>
        <translation>湿度 L1：低于</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>Cannot open %1: the file is larger than 1 MiB</source>
        <translation>无法打开 %1：文件大于 1 MiB</translation>
    </message>
    <message>
        <source>%1 was not opened:
%2</source>
        <translation>%1 未打开：
%2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
</context>
</TS>
