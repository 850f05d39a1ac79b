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
};

constexpr bool InOrder()
{
    for (std::size_t i = 0; i < sizeof kTexts / sizeof kTexts[0]; ++i)
        if (static_cast<std::size_t>(kTexts[i].id) != i)
            return false;
    return true;
}
static_assert(InOrder(), "the texts must stay in the order of their ids");
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<std::size_t>(Id::AndMore) + 1,
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
