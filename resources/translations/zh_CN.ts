<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>DialogAbout</name>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>TOVRA Cloud Printer Setup %1</source>
        <translation>TOVRA 云打印机设置 %1</translation>
    </message>
    <message>
        <source>Qt:</source>
        <translation>Qt:</translation>
    </message>
    <message>
        <source>OpenSSL:</source>
        <translation>OpenSSL:</translation>
    </message>
    <message>
        <source>Operating system:</source>
        <translation>操作系统:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
</context>
<context>
    <name>DialogConfigureWiFi</name>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;SSID:</source>
        <translation>SSID(&amp;S):</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>密码(&amp;P):</translation>
    </message>
    <message>
        <source>Configure Wi-Fi</source>
        <translation>配置 Wi-Fi</translation>
    </message>
    <message>
        <source>Attention</source>
        <translation>注意</translation>
    </message>
    <message numerus="yes">
        <source>The SSID is longer than %n bytes. Please enter a shorter one.</source>
        <translation>
            <numerusform>SSID 超过了 %n 个字节，请输入较短的名称。</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DialogConnect</name>
    <message>
        <source>&amp;Scan</source>
        <translation>扫描(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>连接(&amp;C)</translation>
    </message>
    <message>
        <source>C&amp;ancel</source>
        <translation>取消(&amp;A)</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>SN</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Connection Type</source>
        <translation>连接方式</translation>
    </message>
    <message>
        <source>Connect to Printer</source>
        <translation>连接打印机</translation>
    </message>
    <message>
        <source>Network (%1)</source>
        <translation>网络 (%1)</translation>
    </message>
</context>
<context>
    <name>DialogFontSettings</name>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>OpenType Fonts (*.ttf *.ttc *.otf);;All Files (*.*)</source>
        <translation>OpenType 字体 (*.ttf *.ttc *.otf);;所有文件 (*.*)</translation>
    </message>
    <message>
        <source>Font Settings for Different Languages:</source>
        <translation>各语言的字体设置:</translation>
    </message>
    <message>
        <source>Installed Fonts:</source>
        <translation>已安装的字体:</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>刷新(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Install Font...</source>
        <translation>安装字体(&amp;I)...</translation>
    </message>
    <message>
        <source>&amp;Uninstall Font</source>
        <translation>卸载字体(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation>应用(&amp;A)</translation>
    </message>
    <message>
        <source>Reset to &amp;Default</source>
        <translation>恢复默认设置(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>关闭(&amp;C)</translation>
    </message>
    <message>
        <source>Script</source>
        <translation>文字</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>字体</translation>
    </message>
    <message>
        <source>Face Index</source>
        <translation>字面索引</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>阈值</translation>
    </message>
    <message>
        <source>Pixel Size (W)</source>
        <translation>像素尺寸 (宽)</translation>
    </message>
    <message>
        <source>Pixel Size (H)</source>
        <translation>像素尺寸 (高)</translation>
    </message>
    <message>
        <source>Advance</source>
        <translation>步进宽度</translation>
    </message>
    <message>
        <source>Unicode Ranges</source>
        <translation>Unicode 范围</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>文件大小</translation>
    </message>
    <message>
        <source>Install Font</source>
        <translation>安装字体</translation>
    </message>
    <message>
        <source>The printer refused the font file (status %1).</source>
        <translation>打印机拒绝了该字体文件 (状态 %1)。</translation>
    </message>
    <message>
        <source>The font was not installed. %1</source>
        <translation>字体未安装。%1</translation>
    </message>
    <message>
        <source>Font Settings</source>
        <translation>字体设置</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is too large for the printer (%2 bytes).</source>
        <translation>“%1”太大，打印机无法容纳 (%2 字节)。</translation>
    </message>
    <message>
        <source>Installing Font...</source>
        <translation>正在安装字体...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Are you sure to uninstall  &quot;%1&quot;?</source>
        <translation>确定要卸载“%1”吗？</translation>
    </message>
    <message>
        <source>Uninstall Font</source>
        <translation>卸载字体</translation>
    </message>
    <message>
        <source>The name of &quot;%1&quot; is too long to be uninstalled from here.</source>
        <translation>“%1”的名称过长，无法在此卸载。</translation>
    </message>
</context>
<context>
    <name>DialogImportSettings</name>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Import Settings</source>
        <translation>导入设置</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>设置项</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>打印机</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>These settings will change on the printer:</source>
        <translation>打印机上的以下设置将被更改：</translation>
    </message>
</context>
<context>
    <name>DialogPreferences</name>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>首选项</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>&amp;Language:</source>
        <translation>语言(&amp;L):</translation>
    </message>
</context>
<context>
    <name>DialogPrintPreview</name>
    <message>
        <source>Print Preview</source>
        <translation>打印预览</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>缩小</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>适合宽度</translation>
    </message>
    <message>
        <source>Unknown commands, not drawn:</source>
        <translation>未知命令（未绘制）：</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>DialogReconnect</name>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Reconnecting to %1...</source>
        <translation>正在重新连接 %1...</translation>
    </message>
    <message>
        <source>Next attempt in %1 s</source>
        <translation>%1 秒后重试</translation>
    </message>
</context>
<context>
    <name>DialogSerialConnect</name>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>C&amp;ancel</source>
        <translation>取消(&amp;A)</translation>
    </message>
    <message>
        <source>Select a Port to Connect</source>
        <translation>选择要连接的端口</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>&amp;Port Name:</source>
        <translation>端口名称(&amp;P):</translation>
    </message>
</context>
<context>
    <name>FileUpload</name>
    <message>
        <source>Another file is being installed.</source>
        <translation>正在安装另一个文件。</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>文件为空。</translation>
    </message>
    <message>
        <source>The file name is too long for the printer: &quot;%1&quot; has %2 bytes, at most %3 fit.</source>
        <translation>文件名过长，打印机无法接受：“%1”有 %2 个字节，最多只能有 %3 个字节。</translation>
    </message>
    <message>
        <source>The file is too large for the printer.</source>
        <translation>文件太大，打印机无法容纳。</translation>
    </message>
    <message>
        <source>The upload request could not be sent.</source>
        <translation>无法发送上传请求。</translation>
    </message>
    <message>
        <source>The printer is not connected.</source>
        <translation>打印机未连接。</translation>
    </message>
    <message>
        <source>The link to the printer failed.</source>
        <translation>与打印机的通信失败。</translation>
    </message>
    <message>
        <source>The connection to the printer was lost.</source>
        <translation>与打印机的连接已断开。</translation>
    </message>
    <message>
        <source>The printer did not answer.</source>
        <translation>打印机没有响应。</translation>
    </message>
    <message>
        <source>The printer did not keep the file.</source>
        <translation>打印机未保存该文件。</translation>
    </message>
    <message>
        <source>The printer stopped taking the file.</source>
        <translation>打印机停止接收该文件。</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>TOVRA Cloud Printer Setup %1</source>
        <translation>TOVRA 云打印机设置 %1</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Connect to a printer</source>
        <translation>连接到打印机</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开连接</translation>
    </message>
    <message>
        <source>Disconnect from the printer</source>
        <translation>断开与打印机的连接</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>重新加载</translation>
    </message>
    <message>
        <source>Reload settings from the printer</source>
        <translation>从打印机重新加载设置</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>首选项</translation>
    </message>
    <message>
        <source>Open the &quot;Preferences&quot; dialog</source>
        <translation>打开“首选项”对话框</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Ethernet</source>
        <translation>以太网</translation>
    </message>
    <message>
        <source>4G</source>
        <translation>移动网络 (4G)</translation>
    </message>
    <message>
        <source>Wi-Fi</source>
        <translation>Wi-Fi</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>声音</translation>
    </message>
    <message>
        <source>Print Settings</source>
        <translation>打印设置</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Restart the application to apply language changes.</source>
        <translation>请重新启动应用程序，使语言更改生效。</translation>
    </message>
    <message>
        <source>Connected (%1)</source>
        <translation>已连接 (%1)</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>Printer Settings (*.json)</source>
        <translation>打印机设置 (*.json)</translation>
    </message>
    <message>
        <source>Export Settings...</source>
        <translation>导出设置...</translation>
    </message>
    <message>
        <source>Save the printer&apos;s settings to a file</source>
        <translation>将打印机的设置保存到文件</translation>
    </message>
    <message>
        <source>Import Settings...</source>
        <translation>导入设置...</translation>
    </message>
    <message>
        <source>Apply settings from a file to the printer</source>
        <translation>将文件中的设置应用到打印机</translation>
    </message>
    <message>
        <source>Export Settings</source>
        <translation>导出设置</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Cannot write %1:
%2</source>
        <translation>无法写入 %1：
%2</translation>
    </message>
    <message>
        <source>Import Settings</source>
        <translation>导入设置</translation>
    </message>
    <message>
        <source>Cannot read %1:
%2</source>
        <translation>无法读取 %1：
%2</translation>
    </message>
    <message>
        <source>Cannot apply the settings:
%1</source>
        <translation>无法应用设置：
%1</translation>
    </message>
    <message>
        <source>The printer already has these settings.</source>
        <translation>打印机已是这些设置。</translation>
    </message>
    <message>
        <source>The settings were applied.</source>
        <translation>设置已应用。</translation>
    </message>
    <message>
        <source>These settings did not take: %1</source>
        <translation>以下设置未生效：%1</translation>
    </message>
    <message>
        <source>Cannot read the printer&apos;s settings:
%1</source>
        <translation>无法读取打印机的设置：
%1</translation>
    </message>
    <message>
        <source>Save Diagnostics...</source>
        <translation>保存诊断信息...</translation>
    </message>
    <message>
        <source>Save a support archive: log, versions and settings</source>
        <translation>保存支持存档:日志、版本和设置</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Show the versions of the program</source>
        <translation>显示程序的版本</translation>
    </message>
    <message>
        <source>Save Diagnostics</source>
        <translation>保存诊断信息</translation>
    </message>
    <message>
        <source>Zip Archives (*.zip)</source>
        <translation>Zip 存档 (*.zip)</translation>
    </message>
    <message>
        <source>Diagnostics</source>
        <translation>诊断信息</translation>
    </message>
    <message>
        <source>Diagnostics saved to %1</source>
        <translation>诊断信息已保存到 %1</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>Attention</source>
        <translation>注意</translation>
    </message>
    <message>
        <source>Unsaved settings will be lost. Continue?</source>
        <translation>未保存的设置将会丢失。是否继续？</translation>
    </message>
</context>
<context>
    <name>PrinterSession</name>
    <message>
        <source>%1: no USB printer found</source>
        <translation>%1：未找到 USB 打印机</translation>
    </message>
    <message>
        <source>%1: not a printer address</source>
        <translation>%1：不是打印机地址</translation>
    </message>
    <message>
        <source>another step is running</source>
        <translation>另一个步骤正在运行</translation>
    </message>
    <message>
        <source>the link dropped</source>
        <translation>连接已断开</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>the printer did not answer</source>
        <translation>打印机没有应答</translation>
    </message>
    <message>
        <source>the device could not be opened</source>
        <translation>无法打开设备</translation>
    </message>
    <message>
        <source>no data for the font file %1</source>
        <translation>字体文件 %1 没有数据</translation>
    </message>
    <message>
        <source>refused: %1: status %2</source>
        <translation>被拒绝：%1：状态 %2</translation>
    </message>
    <message>
        <source>the printer still lists %1</source>
        <translation>打印机仍然列出 %1</translation>
    </message>
    <message>
        <source>the page could not be written</source>
        <translation>无法写入页面</translation>
    </message>
    <message>
        <source>unreachable: %1: %2</source>
        <translation>无法连接：%1：%2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>font file %1: %2 bytes, the settings file says %3</source>
        <translation>字体文件 %1：%2 字节，设置文件中为 %3</translation>
    </message>
    <message>
        <source>font file %1: its MD5 is not the settings file&apos;s</source>
        <translation>字体文件 %1：其 MD5 与设置文件中的不符</translation>
    </message>
</context>
<context>
    <name>QAbstractSpinBox</name>
    <message>
        <source>&amp;Select All</source>
        <translation>全选(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Step up</source>
        <translation>增大(&amp;S)</translation>
    </message>
    <message>
        <source>Step &amp;down</source>
        <translation>减小(&amp;D)</translation>
    </message>
</context>
<context>
    <name>QGnomeTheme</name>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>重做(&amp;R)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>剪切(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>复制(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>粘贴(&amp;P)</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>是(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>否(&amp;N)</translation>
    </message>
</context>
<context>
    <name>TestPage</name>
    <message>
        <source>*** Print Test Page ***</source>
        <translation>*** 打印测试页 ***</translation>
    </message>
    <message>
        <source>  UTF-8 Mode:</source>
        <translation>   UTF-8模式:</translation>
    </message>
    <message>
        <source>         CJK:</source>
        <translation>         CJK:</translation>
    </message>
    <message>
        <source>   Code Page:</source>
        <translation>      代码页:</translation>
    </message>
    <message>
        <source>Current Time:</source>
        <translation>    当前时间:</translation>
    </message>
    <message>
        <source>*** END ***</source>
        <translation>*** 结束 ***</translation>
    </message>
    <message>
        <source>*** Black Mark Print Test ***</source>
        <translation>*** 黑标打印测试 ***</translation>
    </message>
    <message>
        <source>Current Time: </source>
        <translation>当前时间: </translation>
    </message>
    <message>
        <source>*** Wi-Fi Print Test Page ***</source>
        <translation>*** Wi-Fi 测试页 ***</translation>
    </message>
    <message>
        <source>*** Ethernet Print Test Page ***</source>
        <translation>*** 以太网测试页 ***</translation>
    </message>
    <message>
        <source> MAC Address:</source>
        <translation>     MAC地址:</translation>
    </message>
    <message>
        <source>    IP(DHCP):</source>
        <translation>    IP(DHCP):</translation>
    </message>
    <message>
        <source>     Netmask:</source>
        <translation>    子网掩码:</translation>
    </message>
    <message>
        <source>  IP(Static):</source>
        <translation>    IP(静态):</translation>
    </message>
    <message>
        <source>        SSID:</source>
        <translation>        SSID:</translation>
    </message>
    <message>
        <source>Current Time:</source>
        <comment>network test page</comment>
        <translation>    当前时间:</translation>
    </message>
</context>
<context>
    <name>WidgetAudio</name>
    <message>
        <source>Voice</source>
        <translation>语音</translation>
    </message>
    <message>
        <source>Beep</source>
        <translation>蜂鸣</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>All Audio:</source>
        <translation>全部声音:</translation>
    </message>
    <message>
        <source>Cloud Audio:</source>
        <translation>云端播报:</translation>
    </message>
    <message>
        <source>Warning Audio:</source>
        <translation>警告提示音:</translation>
    </message>
    <message>
        <source>Notice Audio:</source>
        <translation>通知提示音:</translation>
    </message>
    <message>
        <source>Paper Not Taken Audio:</source>
        <translation>纸张未取走提示音:</translation>
    </message>
</context>
<context>
    <name>WidgetDeviceInformation</name>
    <message>
        <source>Model:</source>
        <translation>型号:</translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>序列号:</translation>
    </message>
    <message>
        <source>HW Version:</source>
        <translation>硬件版本:</translation>
    </message>
    <message>
        <source>Bootloader Version:</source>
        <translation>引导程序版本:</translation>
    </message>
    <message>
        <source>FW Version:</source>
        <translation>固件版本:</translation>
    </message>
    <message>
        <source>TOVRA APP Version:</source>
        <translation>TOVRA 应用版本:</translation>
    </message>
    <message>
        <source>Partner APP Version:</source>
        <translation>合作方应用版本:</translation>
    </message>
    <message>
        <source>MiniAPP Version:</source>
        <translation>小程序版本:</translation>
    </message>
    <message>
        <source>Font Version:</source>
        <translation>字库版本:</translation>
    </message>
    <message>
        <source>TTS Version:</source>
        <translation>TTS 版本:</translation>
    </message>
    <message>
        <source>Bluetooth MAC Address:</source>
        <translation>蓝牙 MAC 地址:</translation>
    </message>
    <message>
        <source>Bluetooth Device Name:</source>
        <translation>蓝牙设备名称:</translation>
    </message>
</context>
<context>
    <name>WidgetNetwork</name>
    <message>
        <source>MAC Address:</source>
        <translation>MAC 地址:</translation>
    </message>
    <message>
        <source>IP Address (DHCP):</source>
        <translation>IP 地址 (DHCP):</translation>
    </message>
    <message>
        <source>Netmask (DHCP):</source>
        <translation>子网掩码 (DHCP):</translation>
    </message>
    <message>
        <source>IP Address (Static):</source>
        <translation>IP 地址 (静态):</translation>
    </message>
    <message>
        <source>Netmask (Static):</source>
        <translation>子网掩码 (静态):</translation>
    </message>
    <message>
        <source>SSID:</source>
        <translation>网络名称 (SSID):</translation>
    </message>
    <message>
        <source>Configure SSID...</source>
        <translation>配置 SSID...</translation>
    </message>
    <message>
        <source>Print Test Page</source>
        <translation>打印测试页</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>No valid IP address.</source>
        <translation>没有有效的 IP 地址。</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>预览...</translation>
    </message>
</context>
<context>
    <name>WidgetPrint</name>
    <message>
        <source>Default Character Set</source>
        <translation>默认字符集</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>Disable CJK Mode</source>
        <translation>禁用 CJK 模式</translation>
    </message>
    <message>
        <source>UTF-8 Mode:</source>
        <translation>UTF-8 模式:</translation>
    </message>
    <message>
        <source>CJK:</source>
        <translation>CJK 字符集:</translation>
    </message>
    <message>
        <source>Code Page:</source>
        <translation>代码页:</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Density:</source>
        <translation>浓度:</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>打印质量:</translation>
    </message>
    <message>
        <source>Paper Layout</source>
        <translation>纸张布局</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>小票纸</translation>
    </message>
    <message>
        <source>Paper with Black Mark</source>
        <translation>黑标纸</translation>
    </message>
    <message>
        <source>Side</source>
        <translation>侧边</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>中间</translation>
    </message>
    <message>
        <source>Paper Type:</source>
        <translation>纸张类型:</translation>
    </message>
    <message>
        <source>Black Mark Location:</source>
        <translation>黑标位置:</translation>
    </message>
    <message>
        <source>Cut Position:</source>
        <translation>切纸位置:</translation>
    </message>
    <message>
        <source> mm above the top of black mark</source>
        <translation> mm (黑标顶端上方)</translation>
    </message>
    <message>
        <source>Print Position:</source>
        <translation>打印位置:</translation>
    </message>
    <message>
        <source> mm below the cut position</source>
        <translation> mm (切纸位置下方)</translation>
    </message>
    <message>
        <source>On Cover Closed</source>
        <translation>合盖时</translation>
    </message>
    <message>
        <source>Feed</source>
        <translation>走纸</translation>
    </message>
    <message>
        <source>mm and cut on cover closed</source>
        <translation>mm 后切纸</translation>
    </message>
    <message>
        <source>On Paper Not Taken</source>
        <translation>纸张未取走时</translation>
    </message>
    <message>
        <source>Stop Printing</source>
        <translation>停止打印</translation>
    </message>
    <message>
        <source>Voice Alert</source>
        <translation>语音提醒</translation>
    </message>
    <message>
        <source>Font Settings...</source>
        <translation>字体设置...</translation>
    </message>
    <message>
        <source>Print Test Page</source>
        <translation>打印测试页</translation>
    </message>
    <message>
        <source>Black Mark Print Test</source>
        <translation>黑标打印测试</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>预览...</translation>
    </message>
</context>
<context>
    <name>WidgetSerial</name>
    <message>
        <source>Print Test Page...</source>
        <translation>打印测试页...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无校验</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>Baud Rate:</source>
        <translation>波特率:</translation>
    </message>
    <message>
        <source>Data Bits:</source>
        <translation>数据位:</translation>
    </message>
    <message>
        <source>Stop Bits:</source>
        <translation>停止位:</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>校验:</translation>
    </message>
    <message>
        <source>Odd Parity</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>Even Parity</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>No Parity</source>
        <translation>无校验</translation>
    </message>
    <message>
        <source>*** Serial Print Test Page ***</source>
        <translation>*** 串口测试页 ***</translation>
    </message>
    <message>
        <source>   Baud Rate: </source>
        <translation>      波特率: </translation>
    </message>
    <message>
        <source>   Data Bits: </source>
        <translation>      数据位: </translation>
    </message>
    <message>
        <source>   Stop Bits: </source>
        <translation>      停止位: </translation>
    </message>
    <message>
        <source>      Parity: </source>
        <translation>        校验: </translation>
    </message>
    <message>
        <source>Current Time: </source>
        <translation>    当前时间: </translation>
    </message>
    <message>
        <source>*** END ***</source>
        <translation>*** 结束 ***</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>The test page could not be sent through the serial port.</source>
        <translation>无法通过串口发送测试页。</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>预览...</translation>
    </message>
</context>
<context>
    <name>WidgetWnet</name>
    <message>
        <source>Use Specific APN and Dial Number</source>
        <translation>使用指定的 APN 和拨号号码</translation>
    </message>
    <message>
        <source>Restart...</source>
        <translation>重启...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>已禁用</translation>
    </message>
    <message>
        <source>Disabling</source>
        <translation>正在禁用</translation>
    </message>
    <message>
        <source>Enabling</source>
        <translation>正在启用</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>已启用</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>正在连接</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>版本:</translation>
    </message>
    <message>
        <source>IMEI:</source>
        <translation>IMEI:</translation>
    </message>
    <message>
        <source>ICCID:</source>
        <translation>ICCID:</translation>
    </message>
    <message>
        <source>IMSI:</source>
        <translation>IMSI:</translation>
    </message>
    <message>
        <source>MCC:</source>
        <translation>MCC:</translation>
    </message>
    <message>
        <source>MNC:</source>
        <translation>MNC:</translation>
    </message>
    <message>
        <source>ISP:</source>
        <translation>运营商:</translation>
    </message>
    <message>
        <source>Longitude:</source>
        <translation>经度:</translation>
    </message>
    <message>
        <source>Latitude:</source>
        <translation>纬度:</translation>
    </message>
    <message>
        <source>RSSI:</source>
        <translation>RSSI:</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>状态:</translation>
    </message>
    <message>
        <source>APN:</source>
        <translation>APN:</translation>
    </message>
    <message>
        <source>Dial Number:</source>
        <translation>拨号号码:</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Restart the 4G module?</source>
        <translation>要重启 4G 模块吗？</translation>
    </message>
</context>
</TS>
