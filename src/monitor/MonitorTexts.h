#pragma once
// The monitor folder's user-facing texts: the notifications, log lines and tray tips of
// the run, the controller, the ping and the reconnect command. A text built around a
// value keeps its pieces (...Lead before the value, ...Tail after it), joined where the
// value is known. The error title is log's kErrorTitle.

namespace moorlink {

// ---- The run ----

// The run starts and ends.
inline constexpr const wchar_t kRunStartTitle[] = L"監視処理開始";
inline constexpr const wchar_t kRunStartMessage[] = L"切断監視処理を開始しました。";
inline constexpr const wchar_t kRunEndTitle[] = L"監視処理終了";
inline constexpr const wchar_t kRunEndMessage[] = L"切断監視処理が終了しました。";

// Something thrown out of the run ends it.
inline constexpr const wchar_t kRunFailedMessage[] = L"監視処理で予期しないエラーが発生した為、監視処理を終了。";

// No network to reconnect to: the notice, its log line, the note when the cause can pass
// and the tray tip while it is waited out.
inline constexpr const wchar_t kNoSsidTitle[] = L"監視処理起動失敗";
inline constexpr const wchar_t kNoSsidMessage[] = L"再接続先のSSIDが見つからない為、監視処理を実行しません。";
inline constexpr const wchar_t kNoSsidLogLead[] = L"再接続先のSSIDの取得に失敗。監視処理を終了。";
inline constexpr const wchar_t kWifiWaitNote[] = L"30秒ごとに確認し、準備が整い次第監視処理を開始します。";
inline constexpr const wchar_t kWifiWaitTipLead[] = L"Wi-Fiの準備待ち - ";

// Why Wi-Fi is not ready.
inline constexpr const wchar_t kServiceStoppedCause[] =
    L"Wi-Fiを管理するWindowsのサービス（WLAN AutoConfig）が動いていません。";
inline constexpr const wchar_t kNoInterfaceCause[] = L"Wi-Fiのアダプターが見つかりません。";
inline constexpr const wchar_t kRadioOffSoftwareCause[] =
    L"Wi-Fiがオフになっています。タスクバーのネットワークのアイコンか、設定の「ネットワークとインターネット」でWi-Fiをオンにしてください。";
inline constexpr const wchar_t kRadioOffHardwareCause[] =
    L"Wi-FiがPC本体のスイッチでオフになっています。本体のスイッチかキーでWi-Fiをオンにしてください。";
inline constexpr const wchar_t kNoProfileCause[] =
    L"PCに保存されたWi-Fiのプロファイルがありません。一度Wi-Fiのネットワークに接続してください。";

// The network chosen, told as the run starts: the title by where it came from, the SSID
// inside the brackets.
inline constexpr const wchar_t kSsidFromSettingsTitle[] = L"再接続先SSIDユーザー設定";
inline constexpr const wchar_t kSsidFoundTitle[] = L"再接続先SSID自動取得";
inline constexpr const wchar_t kSsidFromSettingsLead[] = L"ユーザー設定のSSID「";
inline constexpr const wchar_t kSsidFromSettingsTail[] = L"」を再接続先にしました。";
inline constexpr const wchar_t kSsidConnectedLead[] = L"ユーザー設定のSSIDが有効ではない為、\n現在接続中のSSID「";
inline constexpr const wchar_t kSsidLocationDeniedLead[] =
    L"ユーザー設定のSSIDが有効ではなく、位置情報へのアクセスが許可されていない為に接続中のSSIDも取得できない為、\n";
inline constexpr const wchar_t kSsidNetworkNameLead[] = L"接続中のネットワーク名と一致するプロファイル「";
inline constexpr const wchar_t kSsidNotConnectedLead[] = L"ユーザー設定のSSIDが有効ではなく、現在接続中でもない為、\n";
inline constexpr const wchar_t kSsidPreferredLead[] = L"PC内の最優先プロファイルのSSID「";
inline constexpr const wchar_t kSsidAdoptedTail[] = L"」を再接続先に採用しました。";

// Location access is refused, told once a process.
inline constexpr const wchar_t kLocationAccessTitle[] = L"位置情報の許可が必要";
inline constexpr const wchar_t kLocationAccessMessage[] =
    L"位置情報へのアクセスが許可されていない為、接続中のWi-FiのSSIDを確認できません。\n"
    L"設定の「プライバシーとセキュリティ」→「位置情報」でデスクトップ アプリによる位置情報へのアクセスを許可するか、"
    L"監視設定で再接続先のSSIDを指定してください。";

// The ping target, told after the network: the address inside the brackets.
inline constexpr const wchar_t kPingFromSettingsLead[] = L"（Ping先はユーザー設定の「";
inline constexpr const wchar_t kPingGatewayLead[] = L"（Ping先はユーザー設定が有効ではない為、Wi-Fiのゲートウェイの「";
inline constexpr const wchar_t kPingFallbackLead[] =
    L"（Ping先は、ユーザー設定が有効ではなく、またWi-Fiのゲートウェイの取得にも失敗した為、「Google Public DNS」の「";
inline constexpr const wchar_t kPingTargetTail[] = L"」です。）";

// The system goes to sleep.
inline constexpr const wchar_t kSleepTitle[] = L"スリープ";
inline constexpr const wchar_t kSleepMessage[] = L"スリープに入る為、監視を一時停止。";

// A wake begins the grace; the grace's seconds between the pieces.
inline constexpr const wchar_t kWakeTitle[] = L"スリープ復帰";
inline constexpr const wchar_t kWakeLead[] = L"スリープからの復帰を検知。";
inline constexpr const wchar_t kWakeTail[] = L"秒間は切断と判定しません。";

// The grace ends, by an answer or by its time.
inline constexpr const wchar_t kGraceEndTitle[] = L"復帰待機終了";
inline constexpr const wchar_t kGraceEndedByAnswer[] = L"Pingの応答を確認した為、通常の監視に戻ります。";
inline constexpr const wchar_t kGraceEndedByTime[] = L"復帰待機時間が過ぎた為、通常の監視に戻ります。";

// An outage begins: the notice (when asked for) and the log line.
inline constexpr const wchar_t kOutageNoticeTitle[] = L"Wi-Fi切断検知";
inline constexpr const wchar_t kOutageNoticeMessage[] = L"Wi-Fiの切断を検知しました。再接続を試みます。";
inline constexpr const wchar_t kOutageLogTitle[] = L"切断検知";
inline constexpr const wchar_t kOutageLogMessage[] = L"Wi-Fiの切断を検知。再接続処理に移行。";

// The router answers but the internet behind it does not: no command; the notice (when
// asked for), the log line and the tray tip's lead.
inline constexpr const wchar_t kInternetOutageTitle[] = L"インターネット切断検知";
inline constexpr const wchar_t kInternetOutageMessage[] =
    L"インターネット側の切断を検知しました。ルーターまでは接続できている為、Wi-Fiの再接続は行いません。";
inline constexpr const wchar_t kInternetOutageLogMessage[] =
    L"ゲートウェイは応答、インターネット側の切断を検知。再接続は行わずに回復を待機。";
inline constexpr const wchar_t kInternetOutageTipLead[] = L"インターネット接続なし - ";
// The network wants a sign-in (a captive portal): told always, its balloon opens the page.
inline constexpr const wchar_t kSignInTitle[] = L"サインインが必要";
inline constexpr const wchar_t kSignInMessage[] =
    L"このネットワークを使うにはサインインが必要です。通知をクリックするとサインインのページを開きます。";
inline constexpr const wchar_t kSignInLogMessage[] =
    L"ネットワークのサインイン要求を検知。再接続は行わずにサインインを待機。";
inline constexpr const wchar_t kSignInTipLead[] = L"サインインが必要 - ";
// Wi-Fi is off, so no command is launched.
inline constexpr const wchar_t kRadioOffTitle[] = L"Wi-Fiオフ";
inline constexpr const wchar_t kRadioOffMessage[] =
    L"Wi-Fiがオフになっている為、再接続を行いません。Wi-Fiをオンにすると再接続を再開します。";

// No thread for the reconnect command.
inline constexpr const wchar_t kReconnectThreadFailedMessage[] =
    L"再接続コマンドを実行するスレッドを作成できませんでした。";

// The connection is back: the outage's length, then its reconnect count.
inline constexpr const wchar_t kRecoveredTitle[] = L"接続回復";
inline constexpr const wchar_t kRecoveredLead[] = L"Wi-Fiの接続が回復しました。（切断時間 ";
inline constexpr const wchar_t kRecoveredInternetLead[] = L"インターネットの接続が回復しました。（切断時間 ";
inline constexpr const wchar_t kRecoveredSignInLead[] = L"サインインが必要な状態から回復しました。（切断時間 ";
inline constexpr const wchar_t kRecoveredReconnects[] = L"、再接続 ";
inline constexpr const wchar_t kRecoveredTail[] = L"回）";

// The run is stopped by the user, a restart or the exit.
inline constexpr const wchar_t kStoppedByUserTitle[] = L"監視処理手動中止";
inline constexpr const wchar_t kStoppedByUserMessage[] = L"ユーザーの何らかのアクションにより、監視処理を中止。";

// The retry limit with the revival timer: its seconds inside the brackets.
inline constexpr const wchar_t kRevivalTitle[] = L"監視処理中止＆自動復活";
inline constexpr const wchar_t kRevivalLead[] =
    L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止しました。\n「";
inline constexpr const wchar_t kRevivalTail[] = L"」秒後に監視処理を自動復活させます。";
inline constexpr const wchar_t kRevivalTipLead[] = L"監視処理復活タイマー作動中 - ";

// The retry limit without a revival: the notice and the log line.
inline constexpr const wchar_t kRetryLimitTitle[] = L"監視処理中止";
inline constexpr const wchar_t kRetryLimitMessage[] =
    L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止しました。";
inline constexpr const wchar_t kRetryLimitLogMessage[] =
    L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止。";

// ---- The controller ----

// A thread could not be joined or started.
inline constexpr const wchar_t kJoinFailedMessage[] = L"スレッドの終了待ちに失敗しました。";
inline constexpr const wchar_t kMonitorThreadFailedMessage[] = L"監視処理のスレッドを作成できませんでした。";
inline constexpr const wchar_t kRestartThreadFailedMessage[] = L"監視処理を再起動するスレッドを作成できませんでした。";
inline constexpr const wchar_t kRevivalThreadFailedMessage[] =
    L"監視処理復活タイマーのスレッドを作成できませんでした。";

// A restart asked for while one is still running.
inline constexpr const wchar_t kRestartBusyTitle[] = L"監視処理再起動失敗";
inline constexpr const wchar_t kRestartBusyMessage[] =
    L"監視処理の再起動処理がすでに実行中の為、新たに再起動処理を実行できませんでした。\n"
    L"その為、最新の設定が反映されない可能性が有ります。\n"
    L"最新の設定を確実に反映させる場合は、改めて「監視処理を再起動」を実行して下さい。";

// ---- The ping ----

// One echo's line: the address comes first.
inline constexpr const wchar_t kPingSuccessTitle[] = L"成功";
inline constexpr const wchar_t kPingTimeoutTitle[] = L"タイムアウト";
inline constexpr const wchar_t kIcmpHandleFailedMessage[] = L"ICMPハンドルの作成に失敗しました。";
inline constexpr const wchar_t kPingReplyBytes[] = L" からの応答: バイト数=";
inline constexpr const wchar_t kPingReplyTime[] = L" 時間=";
inline constexpr const wchar_t kPingReplyMs[] = L"ms";
inline constexpr const wchar_t kPingReplyTtl[] = L" TTL=";
inline constexpr const wchar_t kPingReplyErrorLead[] = L" からの応答: エラー (Status=";
inline constexpr const wchar_t kPingReplyErrorTail[] = L")";
inline constexpr const wchar_t kPingTimedOutTail[] = L" からの応答: 要求がタイムアウトしました。";
inline constexpr const wchar_t kPingFailedLead[] = L" への Ping 失敗 (エラーコード: ";
inline constexpr const wchar_t kPingFailedTail[] = L")";

// No echo sent: the address is not IPv4, or something was thrown.
inline constexpr const wchar_t kBadAddressLead[] = L"IPアドレスの形式が不正です: ";
inline constexpr const wchar_t kPingUnexpectedMessage[] = L"Ping の実行中に予期しないエラーが発生しました。";

// ---- The reconnect command ----

// What Windows reported for the connection: the SSID inside the brackets; a failure's
// reason follows.
inline constexpr const wchar_t kConnectedTitle[] = L"接続完了";
inline constexpr const wchar_t kConnectedLead[] = L"「";
inline constexpr const wchar_t kConnectedTail[] = L"」への接続が完了しました。";
inline constexpr const wchar_t kConnectFailedTitle[] = L"接続失敗";
inline constexpr const wchar_t kConnectFailedLead[] = L"「";
inline constexpr const wchar_t kConnectFailedTail[] = L"」への接続に失敗しました。理由: ";
inline constexpr const wchar_t kConnectUnknownTitle[] = L"接続結果不明";
inline constexpr const wchar_t kConnectUnknownMessage[] = L"Windowsから接続の結果が通知されませんでした。";

// No command run: no SSID; or netsh outlived its limit, in seconds.
inline constexpr const wchar_t kCommandWithoutSsidMessage[] = L"SSID が設定されていません。";
inline constexpr const wchar_t kNetshTimeoutLead[] = L"netshコマンドが";
inline constexpr const wchar_t kNetshTimeoutTail[] = L"秒以内に終了しなかったため、強制終了しました。";

}  // namespace moorlink
