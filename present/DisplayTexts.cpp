#include "present/DisplayTexts.h"

#include <cstddef>

namespace zorflash {

namespace {
struct Entry {
    CDisplayTexts::Id id;
    const char* english;
    const char* japanese;
};
using Id = CDisplayTexts::Id;
// In the order of the ids: Text looks an entry up by its place.
constexpr Entry kTexts[] = {
    {Id::Target, "target", "ターゲット"},
    {Id::Outcome, "outcome", "結果"},
    {Id::Records, "records", "レコード"},
    {Id::Bytes, "bytes", "バイト"},
    {Id::Time, "time", "時間"},
    {Id::Rate, "rate", "速度"},
    {Id::TargetCount, "{} targets: ", "ターゲット {} 台: "},
    {Id::TargetCountOne, "{} target: ", "ターゲット {} 台: "},
    {Id::CountCompleted, "{} completed", "完了 {}"},
    {Id::CountFailed, "{} failed", "失敗 {}"},
    {Id::CountCancelled, "{} cancelled", "中止 {}"},
    {Id::CountInterrupted, "{} interrupted", "中断 {}"},
    {Id::Separator, ", ", "、"},
    {Id::OverallDone, "{}/{} done", "{}/{} 終了"},
    {Id::OverallRunning, "{} running", "実行中 {}"},
    {Id::OverallWaiting, "{} waiting", "待機 {}"},
    {Id::OverallFailed, "{} failed", "失敗 {}"},
    {Id::OverallEta, "ETA {}", "残り {}"},
    {Id::StateConnecting, "connecting", "接続中"},
    {Id::StateHeader, "header", "ヘッダー"},
    {Id::StateSending, "sending", "送信中"},
    {Id::StateDisk, "insert disk", "ディスク待ち"},
    {Id::StateDone, "done", "終了"},
    {Id::TimeLeft, "{} left", "残り {}"},
    {Id::SentSummary, "Sent {} ({} records) in {} s, average {}/s", "{}（{} レコード）を {} 秒で送信、平均 {}/秒"},
    {Id::NotStarted, "not started", "未開始"},
    {Id::NotCompleted, "{} of {} targets did not complete: {}", "完了しなかったターゲット {}/{} 台: {}"},
    {Id::AndMore, " and {} more", " ほか {} 台"},
    {Id::ReasonNoPromptAsks, "--no-prompt asks nobody: {}", "--no-prompt のため誰にも尋ねません: {}"},
    {Id::ReasonNobodyAnswered, "nobody answered the disk prompt (end of input): {}",
     "ディスクのプロンプトに誰も答えませんでした（入力の終わり）: {}"},
    {Id::ReasonCancelled, "cancelled at the disk prompt: {}", "ディスクのプロンプトで中止されました: {}"},
    {Id::VolumeIs, "volume {} {} is {}", "ボリューム {}（{}）は{}"},
    {Id::VolumeThereNow, "volume {} {} is there now", "ボリューム {}（{}）は今はあります"},
    {Id::VolumeMissingWord, "missing", "見つかりません"},
    {Id::VolumeUnreadableWord, "{}", "読めません（{}）"},
    {Id::VolumeWrongNumberWord, "{}", "別のボリュームです（{}）"},
    {Id::VolumeWrongFileWord, "{}", "別の機種か種類のファイルです（{}）"},
    {Id::ReasonInterrupted, "interrupted during {}", "{} の途中で中断されました"},
    {Id::ReasonUsbNoneFound, "cannot open the target: no USB instrument found (looked at {})",
     "ターゲットをオープンできません: USB機器が見つかりません（{} を探しました）"},
    {Id::ReasonUsbNoneAnswered, "cannot open the target: no USB instrument answered with device number {}; searched:",
     "ターゲットをオープンできません: デバイス番号 {} で応答したUSB機器はありません。探した機器:"},
    {Id::UsbAnswered, "answered \"{}\" ({})", "応答 \"{}\"（{}）"},
    {Id::UsbDeviceNumber, "device number {}", "デバイス番号 {}"},
    {Id::UsbNoDeviceNumber, "no device number", "デバイス番号なし"},
    {Id::UsbSearchEnds, "(the search ends at an instrument that does not answer)",
     "（応答しない機器で検索は終わります）"},
    {Id::ReasonTcpNotOpened, "cannot open target {}: the link was not opened",
     "ターゲット {} をオープンできません: リンクは開かれませんでした"},
    {Id::ReasonTcpTimedOut, "cannot open target {}: timed out after {}",
     "ターゲット {} をオープンできません: {} で時間切れになりました"},
    {Id::ReasonTcpError, "cannot open target {}: {}", "ターゲット {} をオープンできません: {}"},
    {Id::ExchangeSendFailed, "sending {} failed after {}: {}", "{} の送信が失敗しました（{} 後）: {}"},
    {Id::ExchangeNothing, "waiting for the reply to {}: nothing arrived after {}",
     "{} への応答を待ちましたが、{} 経っても何も届きませんでした"},
    {Id::ExchangePartial, "waiting for the reply to {}: only \"{}\" arrived, then nothing for {}",
     "{} への応答を待ちましたが、\"{}\" だけが届き、その後 {} 何も届きませんでした"},
    {Id::ExchangeClosed, "waiting for the reply to {}: the instrument closed the connection",
     "{} への応答を待つ間に、計器が接続を閉じました"},
    {Id::ExchangeClosedAfter, "waiting for the reply to {}: the instrument closed the connection after \"{}\"",
     "{} への応答を待つ間に、計器が \"{}\" の後で接続を閉じました"},
    {Id::ExchangeError, "waiting for the reply to {}: {}", "{} への応答を待つ間のエラー: {}"},
    {Id::ExchangeAfter, "after {}", "{} の後"},
    {Id::ExchangeWrongReply, "after {} the instrument answered \"{}\" where {} was expected",
     "{} の後、計器は \"{}\" と応答しました（{} のはずでした）"},
    {Id::LabelLinkOpened, "the link opened", "リンクのオープン"},
    {Id::LabelUpdateStart, "the update command {}", "更新コマンド {}"},
    {Id::LabelSync, "the sync byte {}", "同期バイト {}"},
    {Id::LabelIdentification, "the identification {}", "識別文字列 {}"},
    {Id::LabelHeaderSize, "the header size {}", "ヘッダーサイズ {}"},
    {Id::LabelHeader, "the {}-byte header", "{} バイトのヘッダー"},
    {Id::LabelStartRecord, "the START record of section {}", "セクション {} のSTARTレコード"},
    {Id::LabelRecord, "record {} of section {}", "レコード {}（セクション {}）"},
    {Id::LabelRecords, "records {}..{} of section {}", "レコード {}..{}（セクション {}）"},
    {Id::LabelEnd, "the END byte of section {}", "セクション {} のENDバイト"},
    {Id::LabelWrite, "a write of {} bytes", "{} バイトの書き込み"},
    {Id::ExpectedEcho, "the echo {}", "エコー {}"},
    {Id::ReasonFileUnreadable, "the update file {} could not be read", "更新ファイル {} を読めませんでした"},
    {Id::ReasonOutOfMemory, "out of memory", "メモリが足りません"},
    {Id::ReasonHeaderOfNone, "the first line of {} matches no header line of {}",
     "{} の先頭行は {} のどのヘッダー行とも一致しません"},
    {Id::ReasonShortHeader, "volume 1 of {} is shorter than its 56-byte header",
     "{} のボリューム 1 は56バイトのヘッダーより短いです"},
    {Id::ReasonFileChanged,
     "the update file {} changed on disk while it was being sent; no END was sent, so the instrument did not accept it",
     "更新ファイル {} が送信中にディスク上で変わりました。ENDを送っていないので、計器は受け入れていません"},
    {Id::ReasonBadChecksum, "a record of {} has a wrong checksum or is cut short ('zorflash-cli inspect' names it)",
     "{} のレコードのチェックサムが違うか、途中で切れています（'zorflash-cli inspect' がそのレコードを示します）"},
    {Id::ReasonNoEnd, "a section of {} runs past the end of the file without its END record",
     "{} のセクションがENDレコードのないままファイルの終わりに達しています"},
    {Id::ReasonAtStep, "{} at {}", "{}（{} の段階）"},
    {Id::ReasonWithDetail, "{}: {}", "{}: {}"},
    {Id::ReasonOperatorInterrupt, "interrupted by the operator ({}) during \"{}\"; {}",
     "オペレーターにより中断されました（{}、「{}」の途中）。{}"},
    {Id::HoldsIncomplete, "the instrument holds an incomplete update", "計器には不完全な更新が残っています"},
    {Id::NothingSent, "no firmware record had been sent", "ファームウェアのレコードはまだ送られていませんでした"},
    {Id::StatusFileNotWritten, "cannot write the status file {}: {}", "ステータスファイル {} を書き込めません: {}"},
    {Id::SentButStatusMissing, "the firmware was sent completely, but the status file is missing",
     "ファームウェアはすべて送信されましたが、ステータスファイルがありません"},
    {Id::SentButStatusLost, "the firmware was sent completely, but the status file {} could not be written: {}",
     "ファームウェアはすべて送信されましたが、ステータスファイル {} を書き込めませんでした: {}"},
    {Id::ReasonShortage,
     "cannot open {}: {} (the system ran out of a resource; no disk was asked for, since none could help)",
     "{} を開けません: {}（システムの資源が尽きました。ディスクでは解決しないため、ディスクは求めませんでした）"},
    {Id::NotContacted, "; the instrument was not contacted", "。計器には接続していません"},
    {Id::NoneContacted, "; no instrument was contacted", "。どの計器にも接続していません"},
    {Id::NotStartedBecause, "not started: {}", "未開始: {}"},
    {Id::StoppedBeforeTurn, "not started: the run was stopped before this target's turn",
     "未開始: このターゲットの番の前に実行が止められました"},
    {Id::ReasonProblemAt, "{} at {}", "{}（{}）"},
    {Id::ReasonProblemSentence, "{} {}", "{} {}"},
    {Id::OperatorCancelledPrompt, "the operator cancelled the disk prompt", "オペレーターがディスクのプロンプトを中止しました"},
    {Id::SentButLost, "the firmware was sent completely, but {}", "ファームウェアはすべて送信されましたが、{}"},
    {Id::OperatorInterruptedTarget, "interrupted by the operator ({}); {}", "オペレーターにより中断されました（{}）。{}"},
    {Id::EveryTarget, "every target", "全ターゲット"},
    {Id::SentButAStatusMissing, "the firmware was sent completely, but a status file is missing",
     "ファームウェアはすべて送信されましたが、ステータスファイルがありません"},
    {Id::PromptLookingFor, "{} (looking for {}: {})", "{}（探しているファイル {}: {}）"},
    {Id::PresentNow, "present now", "今はあります"},
    {Id::NoAnswerFound, "no answer found the file after {} prompts; cancelled",
     "{} 回尋ねてもファイルが見つからないため中止しました"},
    {Id::CannotOpenPath, "cannot open {}: {}", "{} を開けません: {}"},
    {Id::NotRegularFile, "not a regular file", "通常のファイルではありません"},
    {Id::WhereVolumeMissing, "volume {} ({}) is missing, unreadable or not volume {} of this file",
     "ボリューム {}（{}）が見つからないか、読めないか、このファイルのボリューム {} ではありません"},
    {Id::WhereShortHeader, "volume 1 is shorter than its 56-byte header", "ボリューム 1 は56バイトのヘッダーより短いです"},
    {Id::WhereRecord, "section {}, record {} (volume {}, offset {})", "セクション {}、レコード {}（ボリューム {}、オフセット {}）"},
    {Id::WhereEndsWithVolume2, "section {} ends with volume 2", "セクション {} がボリューム 2 で終わっています"},
    {Id::WhereReading, "reading the file", "ファイルの読み取り中"},
    {Id::WhereVolume, "volume {}", "ボリューム {}"},
    {Id::VolumeNotFound, "volume {} not found: {}", "ボリューム {} が見つかりません: {}"},
    {Id::VolumeProblemAt, "volume {} {}: {}", "ボリューム {} {}: {}"},
    {Id::InspectNote, "note:     ", "注記:       "},
    {Id::InspectModel, "model:    ", "機種:       "},
    {Id::InspectKind, "kind:     ", "種類:       "},
    {Id::InspectVolumes, "volumes:  ", "ボリューム: "},
    {Id::InspectVolume, "  volume {}: {}", "  ボリューム {}: {}"},
    {Id::InspectSection, "section {}: {} records, {} bytes", "セクション {}: {} レコード、{} バイト"},
    {Id::InspectTotal, "total:    {} records, {} bytes", "合計:       {} レコード、{} バイト"},
    {Id::InspectResult, "result:   ", "結果:       "},
    {Id::InspectWhere, "where:    ", "場所:       "},
    {Id::InspectUnknown, "unknown", "不明"},
    {Id::InspectOtherFile, " (a {} file of {})", "（{} ファイル、{} 用）"},
    {Id::InspectOk, "OK, the file would transfer completely", "OK、このファイルはすべて転送できます"},
    {Id::ProbeSkipped, "skipped {}: {}", "{} は飛ばしました: {}"},
    {Id::ProbeNone, "No USB instrument found (looked at {}).", "USB機器が見つかりません（{} を探しました）。"},
    {Id::ProbeDevice, "device", "デバイス"},
    {Id::ProbeNumber, "number", "番号"},
    {Id::ProbeReply, "identification reply", "識別の応答"},
    {Id::ProbeNoNumber, "none", "なし"},
    {Id::ProbeNoZero, "No instrument answers with device number 0: an update would report \"{}\"",
     "デバイス番号 0 で応答する機器はありません: 更新は「{}」と報告します"},
    {Id::UsageUnknownModel, "unknown model '{}' (see 'zorflash-cli models')",
     "不明な機種 '{}'（'zorflash-cli models' で一覧を表示します）"},
    {Id::UsageChooseLink, "choose the link: --tcp A.B.C.D[:PORT], --usb or --targets FILE",
     "リンクを選んでください: --tcp A.B.C.D[:PORT]、--usb または --targets FILE"},
    {Id::UsageNoUsb, "{} cannot be reached over USB", "{} にはUSBで接続できません"},
    {Id::UsageNoTcp, "{} cannot be reached over TCP/IP", "{} にはTCP/IPで接続できません"},
    {Id::UsageNotMilliseconds, "'{}' is not a number of milliseconds", "'{}' はミリ秒の数ではありません"},
    {Id::UsageTimeoutRange, "'{}' is outside 1..600000 ms", "'{}' は 1..600000 ms の範囲外です"},
    {Id::UsageNeedsTarget, "with several targets the name must hold {target}",
     "ターゲットが複数のときは名前に {target} を含めてください"},
    {Id::UsageUnknownCommand, "unknown command '{}'", "不明なコマンド '{}'"},
    {Id::UsageDidYouMean, "; did you mean {}?", "。{} のことですか?"},
    {Id::UsageRunHelp, "Run with --help for more information.", "詳しくは --help を付けて実行してください。"},
};

constexpr bool InOrder()
{
    for (std::size_t i = 0; i < sizeof kTexts / sizeof kTexts[0]; ++i)
        if (static_cast<std::size_t>(kTexts[i].id) != i)
            return false;
    return true;
}
static_assert(InOrder(), "the texts must stay in the order of their ids");
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<std::size_t>(Id::UsageRunHelp) + 1,
              "every id needs its text");
}  // namespace

const char* CDisplayTexts::Text(Id id, Language language)
{
    const Entry& entry = kTexts[static_cast<std::size_t>(id)];
    return language == Language::Japanese ? entry.japanese : entry.english;
}

std::string CDisplayTexts::Format(Id id, Language language, std::initializer_list<std::string> values)
{
    std::string text = Text(id, language);
    std::size_t at = 0;
    for (const std::string& value : values) {
        at = text.find("{}", at);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

}  // namespace zorflash
