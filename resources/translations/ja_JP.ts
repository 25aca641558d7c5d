<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>DialogAbout</name>
    <message>
        <source>About</source>
        <translation>バージョン情報</translation>
    </message>
    <message>
        <source>TOVRA Cloud Printer Setup %1</source>
        <translation>TOVRA クラウドプリンター設定 %1</translation>
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
        <translation>オペレーティングシステム:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
</context>
<context>
    <name>DialogConfigureWiFi</name>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;SSID:</source>
        <translation>SSID(&amp;S):</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>パスワード(&amp;P):</translation>
    </message>
    <message>
        <source>Configure Wi-Fi</source>
        <translation>Wi-Fi の設定</translation>
    </message>
    <message>
        <source>Attention</source>
        <translation>注意</translation>
    </message>
    <message numerus="yes">
        <source>The SSID is longer than %n bytes. Please enter a shorter one.</source>
        <translation>
            <numerusform>SSID が %n バイトを超えています。短い SSID を入力してください。</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DialogConnect</name>
    <message>
        <source>&amp;Scan</source>
        <translation>スキャン(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>接続(&amp;C)</translation>
    </message>
    <message>
        <source>C&amp;ancel</source>
        <translation>キャンセル(&amp;A)</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>機種</translation>
    </message>
    <message>
        <source>SN</source>
        <translation>シリアル番号</translation>
    </message>
    <message>
        <source>Connection Type</source>
        <translation>接続方法</translation>
    </message>
    <message>
        <source>Connect to Printer</source>
        <translation>プリンターに接続</translation>
    </message>
    <message>
        <source>Network (%1)</source>
        <translation>ネットワーク (%1)</translation>
    </message>
</context>
<context>
    <name>DialogFontSettings</name>
    <message>
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message>
        <source>OpenType Fonts (*.ttf *.ttc *.otf);;All Files (*.*)</source>
        <translation>OpenType フォント (*.ttf *.ttc *.otf);;すべてのファイル (*.*)</translation>
    </message>
    <message>
        <source>Font Settings for Different Languages:</source>
        <translation>言語ごとのフォント設定:</translation>
    </message>
    <message>
        <source>Installed Fonts:</source>
        <translation>インストール済みのフォント:</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>更新(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Install Font...</source>
        <translation>フォントのインストール(&amp;I)...</translation>
    </message>
    <message>
        <source>&amp;Uninstall Font</source>
        <translation>フォントのアンインストール(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation>適用(&amp;A)</translation>
    </message>
    <message>
        <source>Reset to &amp;Default</source>
        <translation>初期設定に戻す(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>閉じる(&amp;C)</translation>
    </message>
    <message>
        <source>Script</source>
        <translation>文字種</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>フォント</translation>
    </message>
    <message>
        <source>Face Index</source>
        <translation>フェイス番号</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>しきい値</translation>
    </message>
    <message>
        <source>Pixel Size (W)</source>
        <translation>ピクセルサイズ (幅)</translation>
    </message>
    <message>
        <source>Pixel Size (H)</source>
        <translation>ピクセルサイズ (高さ)</translation>
    </message>
    <message>
        <source>Advance</source>
        <translation>送り幅</translation>
    </message>
    <message>
        <source>Unicode Ranges</source>
        <translation>Unicode 範囲</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>ファイル名</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>ファイルサイズ</translation>
    </message>
    <message>
        <source>Install Font</source>
        <translation>フォントのインストール</translation>
    </message>
    <message>
        <source>The printer refused the font file (status %1).</source>
        <translation>プリンターがフォントファイルを受け付けませんでした (ステータス %1)。</translation>
    </message>
    <message>
        <source>The font was not installed. %1</source>
        <translation>フォントはインストールされませんでした。%1</translation>
    </message>
    <message>
        <source>Font Settings</source>
        <translation>フォント設定</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is too large for the printer (%2 bytes).</source>
        <translation>「%1」はプリンターには大きすぎます (%2 バイト)。</translation>
    </message>
    <message>
        <source>Installing Font...</source>
        <translation>フォントをインストールしています...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>進行状況</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Are you sure to uninstall  &quot;%1&quot;?</source>
        <translation>「%1」をアンインストールしますか？</translation>
    </message>
    <message>
        <source>Uninstall Font</source>
        <translation>フォントのアンインストール</translation>
    </message>
    <message>
        <source>The name of &quot;%1&quot; is too long to be uninstalled from here.</source>
        <translation>「%1」は名前が長すぎるため、ここからはアンインストールできません。</translation>
    </message>
</context>
<context>
    <name>DialogImportSettings</name>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
    <message>
        <source>Import Settings</source>
        <translation>設定のインポート</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>設定項目</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>プリンター</translation>
    </message>
    <message>
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>These settings will change on the printer:</source>
        <translation>プリンターの次の設定が変更されます:</translation>
    </message>
</context>
<context>
    <name>DialogPreferences</name>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>環境設定</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>&amp;Language:</source>
        <translation>言語(&amp;L):</translation>
    </message>
</context>
<context>
    <name>DialogPrintPreview</name>
    <message>
        <source>Print Preview</source>
        <translation>印刷プレビュー</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>拡大</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>縮小</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>幅に合わせる</translation>
    </message>
    <message>
        <source>Unknown commands, not drawn:</source>
        <translation>不明なコマンド（描画なし）：</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>印刷</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
</context>
<context>
    <name>DialogReconnect</name>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
    <message>
        <source>Reconnecting to %1...</source>
        <translation>%1 に再接続しています...</translation>
    </message>
    <message>
        <source>Next attempt in %1 s</source>
        <translation>%1 秒後に再試行します</translation>
    </message>
</context>
<context>
    <name>DialogSerialConnect</name>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
    <message>
        <source>C&amp;ancel</source>
        <translation>キャンセル(&amp;A)</translation>
    </message>
    <message>
        <source>Select a Port to Connect</source>
        <translation>接続するポートを選択</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>&amp;Port Name:</source>
        <translation>ポート名(&amp;P):</translation>
    </message>
</context>
<context>
    <name>FileUpload</name>
    <message>
        <source>Another file is being installed.</source>
        <translation>別のファイルをインストールしています。</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>ファイルが空です。</translation>
    </message>
    <message>
        <source>The file name is too long for the printer: &quot;%1&quot; has %2 bytes, at most %3 fit.</source>
        <translation>ファイル名がプリンターには長すぎます:「%1」は %2 バイトですが、最大 %3 バイトまでです。</translation>
    </message>
    <message>
        <source>The file is too large for the printer.</source>
        <translation>ファイルがプリンターには大きすぎます。</translation>
    </message>
    <message>
        <source>The upload request could not be sent.</source>
        <translation>アップロード要求を送信できませんでした。</translation>
    </message>
    <message>
        <source>The printer is not connected.</source>
        <translation>プリンターが接続されていません。</translation>
    </message>
    <message>
        <source>The link to the printer failed.</source>
        <translation>プリンターとの通信に失敗しました。</translation>
    </message>
    <message>
        <source>The connection to the printer was lost.</source>
        <translation>プリンターとの接続が切断されました。</translation>
    </message>
    <message>
        <source>The printer did not answer.</source>
        <translation>プリンターから応答がありません。</translation>
    </message>
    <message>
        <source>The printer did not keep the file.</source>
        <translation>プリンターはファイルを保存しませんでした。</translation>
    </message>
    <message>
        <source>The printer stopped taking the file.</source>
        <translation>プリンターがファイルの受信を停止しました。</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>TOVRA Cloud Printer Setup %1</source>
        <translation>TOVRA クラウドプリンター設定 %1</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Connect to a printer</source>
        <translation>プリンターに接続します</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>Disconnect from the printer</source>
        <translation>プリンターから切断します</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>再読み込み</translation>
    </message>
    <message>
        <source>Reload settings from the printer</source>
        <translation>プリンターから設定を再読み込みします</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>環境設定</translation>
    </message>
    <message>
        <source>Open the &quot;Preferences&quot; dialog</source>
        <translation>「環境設定」ダイアログを開きます</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>デバイス情報</translation>
    </message>
    <message>
        <source>Ethernet</source>
        <translation>イーサネット</translation>
    </message>
    <message>
        <source>4G</source>
        <translation>モバイルネットワーク (4G)</translation>
    </message>
    <message>
        <source>Wi-Fi</source>
        <translation>Wi-Fi</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>シリアル</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>サウンド</translation>
    </message>
    <message>
        <source>Print Settings</source>
        <translation>印刷設定</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>Restart the application to apply language changes.</source>
        <translation>言語の変更を反映するには、アプリケーションを再起動してください。</translation>
    </message>
    <message>
        <source>Connected (%1)</source>
        <translation>接続済み (%1)</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>未接続</translation>
    </message>
    <message>
        <source>Printer Settings (*.json)</source>
        <translation>プリンター設定 (*.json)</translation>
    </message>
    <message>
        <source>Export Settings...</source>
        <translation>設定のエクスポート...</translation>
    </message>
    <message>
        <source>Save the printer&apos;s settings to a file</source>
        <translation>プリンターの設定をファイルに保存します</translation>
    </message>
    <message>
        <source>Import Settings...</source>
        <translation>設定のインポート...</translation>
    </message>
    <message>
        <source>Apply settings from a file to the printer</source>
        <translation>ファイルの設定をプリンターに適用します</translation>
    </message>
    <message>
        <source>Export Settings</source>
        <translation>設定のエクスポート</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Cannot write %1:
%2</source>
        <translation>%1 に書き込めません:
%2</translation>
    </message>
    <message>
        <source>Import Settings</source>
        <translation>設定のインポート</translation>
    </message>
    <message>
        <source>Cannot read %1:
%2</source>
        <translation>%1 を読み込めません:
%2</translation>
    </message>
    <message>
        <source>Cannot apply the settings:
%1</source>
        <translation>設定を適用できません:
%1</translation>
    </message>
    <message>
        <source>The printer already has these settings.</source>
        <translation>プリンターはすでにこれらの設定になっています。</translation>
    </message>
    <message>
        <source>The settings were applied.</source>
        <translation>設定を適用しました。</translation>
    </message>
    <message>
        <source>These settings did not take: %1</source>
        <translation>次の設定は反映されませんでした:%1</translation>
    </message>
    <message>
        <source>Cannot read the printer&apos;s settings:
%1</source>
        <translation>プリンターの設定を読み込めません:
%1</translation>
    </message>
    <message>
        <source>Save Diagnostics...</source>
        <translation>診断情報の保存...</translation>
    </message>
    <message>
        <source>Save a support archive: log, versions and settings</source>
        <translation>サポート用アーカイブを保存:ログ、バージョン、設定</translation>
    </message>
    <message>
        <source>About</source>
        <translation>バージョン情報</translation>
    </message>
    <message>
        <source>Show the versions of the program</source>
        <translation>プログラムのバージョンを表示</translation>
    </message>
    <message>
        <source>Save Diagnostics</source>
        <translation>診断情報の保存</translation>
    </message>
    <message>
        <source>Zip Archives (*.zip)</source>
        <translation>Zip アーカイブ (*.zip)</translation>
    </message>
    <message>
        <source>Diagnostics</source>
        <translation>診断情報</translation>
    </message>
    <message>
        <source>Diagnostics saved to %1</source>
        <translation>診断情報を %1 に保存しました</translation>
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
        <translation>保存されていない設定は失われます。続行しますか？</translation>
    </message>
</context>
<context>
    <name>PrinterSession</name>
    <message>
        <source>%1: no USB printer found</source>
        <translation>%1：USB プリンターが見つかりません</translation>
    </message>
    <message>
        <source>%1: not a printer address</source>
        <translation>%1：プリンターのアドレスではありません</translation>
    </message>
    <message>
        <source>another step is running</source>
        <translation>別の処理を実行中です</translation>
    </message>
    <message>
        <source>the link dropped</source>
        <translation>接続が切れました</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>接続されていません</translation>
    </message>
    <message>
        <source>the printer did not answer</source>
        <translation>プリンターが応答しませんでした</translation>
    </message>
    <message>
        <source>the device could not be opened</source>
        <translation>デバイスを開けませんでした</translation>
    </message>
    <message>
        <source>no data for the font file %1</source>
        <translation>フォントファイル %1 のデータがありません</translation>
    </message>
    <message>
        <source>refused: %1: status %2</source>
        <translation>拒否されました：%1：ステータス %2</translation>
    </message>
    <message>
        <source>the printer still lists %1</source>
        <translation>プリンターにまだ %1 があります</translation>
    </message>
    <message>
        <source>the page could not be written</source>
        <translation>ページを書き込めませんでした</translation>
    </message>
    <message>
        <source>unreachable: %1: %2</source>
        <translation>接続できません：%1：%2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 を読み込めません：%2</translation>
    </message>
    <message>
        <source>font file %1: %2 bytes, the settings file says %3</source>
        <translation>フォントファイル %1：%2 バイトですが、設定ファイルでは %3 です</translation>
    </message>
    <message>
        <source>font file %1: its MD5 is not the settings file&apos;s</source>
        <translation>フォントファイル %1：MD5 が設定ファイルと一致しません</translation>
    </message>
</context>
<context>
    <name>QAbstractSpinBox</name>
    <message>
        <source>&amp;Select All</source>
        <translation>すべて選択(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Step up</source>
        <translation>増やす(&amp;S)</translation>
    </message>
    <message>
        <source>Step &amp;down</source>
        <translation>減らす(&amp;D)</translation>
    </message>
</context>
<context>
    <name>QGnomeTheme</name>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Undo</source>
        <translation>元に戻す(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>やり直し(&amp;R)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>切り取り(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>貼り付け(&amp;P)</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>すべて選択</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>はい(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>いいえ(&amp;N)</translation>
    </message>
</context>
<context>
    <name>TestPage</name>
    <message>
        <source>*** Print Test Page ***</source>
        <translation>*** テスト印刷 ***</translation>
    </message>
    <message>
        <source>  UTF-8 Mode:</source>
        <translation> UTF-8モード:</translation>
    </message>
    <message>
        <source>         CJK:</source>
        <translation>         CJK:</translation>
    </message>
    <message>
        <source>   Code Page:</source>
        <translation>コードページ:</translation>
    </message>
    <message>
        <source>Current Time:</source>
        <translation>    現在時刻:</translation>
    </message>
    <message>
        <source>*** END ***</source>
        <translation>*** 終了 ***</translation>
    </message>
    <message>
        <source>*** Black Mark Print Test ***</source>
        <translation>*** 黒マーク印刷テスト ***</translation>
    </message>
    <message>
        <source>Current Time: </source>
        <translation>現在時刻: </translation>
    </message>
    <message>
        <source>*** Wi-Fi Print Test Page ***</source>
        <translation>*** Wi-Fi テスト印刷 ***</translation>
    </message>
    <message>
        <source>*** Ethernet Print Test Page ***</source>
        <translation>*** イーサネット テスト印刷 ***</translation>
    </message>
    <message>
        <source> MAC Address:</source>
        <translation>  MACアドレス:</translation>
    </message>
    <message>
        <source>    IP(DHCP):</source>
        <translation>     IP(DHCP):</translation>
    </message>
    <message>
        <source>     Netmask:</source>
        <translation> ネットマスク:</translation>
    </message>
    <message>
        <source>  IP(Static):</source>
        <translation>     IP(固定):</translation>
    </message>
    <message>
        <source>        SSID:</source>
        <translation>         SSID:</translation>
    </message>
    <message>
        <source>Current Time:</source>
        <comment>network test page</comment>
        <translation>     現在時刻:</translation>
    </message>
</context>
<context>
    <name>WidgetAudio</name>
    <message>
        <source>Voice</source>
        <translation>音声</translation>
    </message>
    <message>
        <source>Beep</source>
        <translation>ビープ音</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>All Audio:</source>
        <translation>すべてのサウンド:</translation>
    </message>
    <message>
        <source>Cloud Audio:</source>
        <translation>クラウド音声:</translation>
    </message>
    <message>
        <source>Warning Audio:</source>
        <translation>警告音:</translation>
    </message>
    <message>
        <source>Notice Audio:</source>
        <translation>通知音:</translation>
    </message>
    <message>
        <source>Paper Not Taken Audio:</source>
        <translation>用紙取り忘れ通知音:</translation>
    </message>
</context>
<context>
    <name>WidgetDeviceInformation</name>
    <message>
        <source>Model:</source>
        <translation>機種:</translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>シリアル番号:</translation>
    </message>
    <message>
        <source>HW Version:</source>
        <translation>ハードウェアバージョン:</translation>
    </message>
    <message>
        <source>Bootloader Version:</source>
        <translation>ブートローダーバージョン:</translation>
    </message>
    <message>
        <source>FW Version:</source>
        <translation>ファームウェアバージョン:</translation>
    </message>
    <message>
        <source>TOVRA APP Version:</source>
        <translation>TOVRA アプリバージョン:</translation>
    </message>
    <message>
        <source>Partner APP Version:</source>
        <translation>パートナーアプリバージョン:</translation>
    </message>
    <message>
        <source>MiniAPP Version:</source>
        <translation>ミニアプリバージョン:</translation>
    </message>
    <message>
        <source>Font Version:</source>
        <translation>フォントバージョン:</translation>
    </message>
    <message>
        <source>TTS Version:</source>
        <translation>TTS バージョン:</translation>
    </message>
    <message>
        <source>Bluetooth MAC Address:</source>
        <translation>Bluetooth MAC アドレス:</translation>
    </message>
    <message>
        <source>Bluetooth Device Name:</source>
        <translation>Bluetooth デバイス名:</translation>
    </message>
</context>
<context>
    <name>WidgetNetwork</name>
    <message>
        <source>MAC Address:</source>
        <translation>MAC アドレス:</translation>
    </message>
    <message>
        <source>IP Address (DHCP):</source>
        <translation>IP アドレス (DHCP):</translation>
    </message>
    <message>
        <source>Netmask (DHCP):</source>
        <translation>サブネットマスク (DHCP):</translation>
    </message>
    <message>
        <source>IP Address (Static):</source>
        <translation>IP アドレス (固定):</translation>
    </message>
    <message>
        <source>Netmask (Static):</source>
        <translation>サブネットマスク (固定):</translation>
    </message>
    <message>
        <source>SSID:</source>
        <translation>ネットワーク名 (SSID):</translation>
    </message>
    <message>
        <source>Configure SSID...</source>
        <translation>SSID の設定...</translation>
    </message>
    <message>
        <source>Print Test Page</source>
        <translation>テスト印刷</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>No valid IP address.</source>
        <translation>有効な IP アドレスがありません。</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>プレビュー...</translation>
    </message>
</context>
<context>
    <name>WidgetPrint</name>
    <message>
        <source>Default Character Set</source>
        <translation>既定の文字セット</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>Disable CJK Mode</source>
        <translation>CJK モードを無効にする</translation>
    </message>
    <message>
        <source>UTF-8 Mode:</source>
        <translation>UTF-8 モード:</translation>
    </message>
    <message>
        <source>CJK:</source>
        <translation>CJK 文字セット:</translation>
    </message>
    <message>
        <source>Code Page:</source>
        <translation>コードページ:</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>印刷</translation>
    </message>
    <message>
        <source>Density:</source>
        <translation>印字濃度:</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>印字品質:</translation>
    </message>
    <message>
        <source>Paper Layout</source>
        <translation>用紙レイアウト</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>レシート紙</translation>
    </message>
    <message>
        <source>Paper with Black Mark</source>
        <translation>黒マーク付き用紙</translation>
    </message>
    <message>
        <source>Side</source>
        <translation>側面</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>中央</translation>
    </message>
    <message>
        <source>Paper Type:</source>
        <translation>用紙の種類:</translation>
    </message>
    <message>
        <source>Black Mark Location:</source>
        <translation>黒マークの位置:</translation>
    </message>
    <message>
        <source>Cut Position:</source>
        <translation>カット位置:</translation>
    </message>
    <message>
        <source> mm above the top of black mark</source>
        <translation> mm (黒マーク上端より上)</translation>
    </message>
    <message>
        <source>Print Position:</source>
        <translation>印字位置:</translation>
    </message>
    <message>
        <source> mm below the cut position</source>
        <translation> mm (カット位置より下)</translation>
    </message>
    <message>
        <source>On Cover Closed</source>
        <translation>カバーを閉じたとき</translation>
    </message>
    <message>
        <source>Feed</source>
        <translation>紙送り</translation>
    </message>
    <message>
        <source>mm and cut on cover closed</source>
        <translation>mm 送ってカット</translation>
    </message>
    <message>
        <source>On Paper Not Taken</source>
        <translation>用紙が取られていないとき</translation>
    </message>
    <message>
        <source>Stop Printing</source>
        <translation>印刷を停止</translation>
    </message>
    <message>
        <source>Voice Alert</source>
        <translation>音声で通知</translation>
    </message>
    <message>
        <source>Font Settings...</source>
        <translation>フォント設定...</translation>
    </message>
    <message>
        <source>Print Test Page</source>
        <translation>テスト印刷</translation>
    </message>
    <message>
        <source>Black Mark Print Test</source>
        <translation>黒マーク印刷テスト</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>プレビュー...</translation>
    </message>
</context>
<context>
    <name>WidgetSerial</name>
    <message>
        <source>Print Test Page...</source>
        <translation>テスト印刷...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>None</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>奇数</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>偶数</translation>
    </message>
    <message>
        <source>Baud Rate:</source>
        <translation>ボーレート:</translation>
    </message>
    <message>
        <source>Data Bits:</source>
        <translation>データビット:</translation>
    </message>
    <message>
        <source>Stop Bits:</source>
        <translation>ストップビット:</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>パリティ:</translation>
    </message>
    <message>
        <source>Odd Parity</source>
        <translation>奇数パリティ</translation>
    </message>
    <message>
        <source>Even Parity</source>
        <translation>偶数パリティ</translation>
    </message>
    <message>
        <source>No Parity</source>
        <translation>パリティなし</translation>
    </message>
    <message>
        <source>*** Serial Print Test Page ***</source>
        <translation>*** シリアル テスト印刷 ***</translation>
    </message>
    <message>
        <source>   Baud Rate: </source>
        <translation>    ボーレート: </translation>
    </message>
    <message>
        <source>   Data Bits: </source>
        <translation>  データビット: </translation>
    </message>
    <message>
        <source>   Stop Bits: </source>
        <translation>ストップビット: </translation>
    </message>
    <message>
        <source>      Parity: </source>
        <translation>      パリティ: </translation>
    </message>
    <message>
        <source>Current Time: </source>
        <translation>      現在時刻: </translation>
    </message>
    <message>
        <source>*** END ***</source>
        <translation>*** 終了 ***</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>The test page could not be sent through the serial port.</source>
        <translation>シリアルポートからテストページを送信できませんでした。</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>プレビュー...</translation>
    </message>
</context>
<context>
    <name>WidgetWnet</name>
    <message>
        <source>Use Specific APN and Dial Number</source>
        <translation>指定の APN とダイヤル番号を使用する</translation>
    </message>
    <message>
        <source>Restart...</source>
        <translation>再起動...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>無効</translation>
    </message>
    <message>
        <source>Disabling</source>
        <translation>無効化中</translation>
    </message>
    <message>
        <source>Enabling</source>
        <translation>有効化中</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>有効</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>接続済み</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>接続中</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>準備完了</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>バージョン:</translation>
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
        <translation>通信事業者:</translation>
    </message>
    <message>
        <source>Longitude:</source>
        <translation>経度:</translation>
    </message>
    <message>
        <source>Latitude:</source>
        <translation>緯度:</translation>
    </message>
    <message>
        <source>RSSI:</source>
        <translation>RSSI:</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>状態:</translation>
    </message>
    <message>
        <source>APN:</source>
        <translation>APN:</translation>
    </message>
    <message>
        <source>Dial Number:</source>
        <translation>ダイヤル番号:</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Restart the 4G module?</source>
        <translation>4G モジュールを再起動しますか？</translation>
    </message>
</context>
</TS>
