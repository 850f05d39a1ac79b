#include "present/OutcomeTable.h"

#include <algorithm>
#include <array>

namespace zorflash {

namespace {

using O = UpdateOutcome;
using V = OutcomeVerdict;
using C = OutcomeColour;

// Engine outcomes in their enum's order, then the two the front ends add. The next steps
// say what to do, not what happened: the status text and the reason have said that.
constexpr std::array<OutcomeRow, 17> kRows = {{
    {O::Completed, "completed", kExitCompleted, V::Completed, C::Green,
     {"done", "完了"},
     {"Done.", "完了しました。"}},
    {O::Cancelled, "cancelled", kExitCancelled, V::Cancelled, C::Yellow,
     {"cancelled", "中止"},
     {"Find the missing volume and start the update again.",
      "不足しているボリュームを用意して、もう一度更新を開始してください。"}},
    {O::FileError, "file-error", kExitFailed, V::Failed, C::Red,
     {"failed: file", "失敗: ファイル"},
     {"Make the update file readable where the reason says (disk, permissions, name) and start again.",
      "理由に示された箇所でアップデートファイルを読めるようにして（ディスク、権限、名前）、もう一度開始してください。"}},
    {O::OutOfMemory, "out-of-memory", kExitFailed, V::Failed, C::Red,
     {"failed: memory", "失敗: メモリ"},
     {"Close other programs to free memory and start again.",
      "他のプログラムを終了してメモリを空け、もう一度開始してください。"}},
    {O::InvalidRomType, "invalid-rom-type", kExitFailed, V::Failed, C::Red,
     {"failed: ROM type", "失敗: ROMタイプ"},
     {"Choose the model the file is for (its extension shows it: .R71 is RT71), or take the right file; "
      "zorflash-cli inspect checks a file without an instrument.",
      "ファイルに合った機種を選ぶか（拡張子が示します: .R71 は RT71）、正しいファイルを使ってください。"
      "zorflash-cli inspect で計器なしにファイルを確認できます。"}},
    {O::IncorrectInputFile, "incorrect-input-file", kExitFailed, V::Failed, C::Red,
     {"failed: bad file", "失敗: 不正ファイル"},
     {"The file is damaged or cut short: take a fresh copy of the update file.",
      "ファイルが壊れているか途中で切れています。アップデートファイルを新しくコピーしてください。"}},
    {O::IncorrectChecksum, "incorrect-checksum", kExitFailed, V::Failed, C::Red,
     {"failed: checksum", "失敗: チェックサム"},
     {"The file is damaged: take a fresh copy (zorflash-cli inspect names the bad record) and run the update again.",
      "ファイルが壊れています。新しくコピーして（zorflash-cli inspect が不正なレコードを示します）、もう一度更新してください。"}},
    {O::NoEndRecord, "no-end-record", kExitFailed, V::Failed, C::Red,
     {"failed: no END", "失敗: ENDなし"},
     {"A volume is incomplete: take fresh copies of all volumes and run the update again.",
      "ボリュームが不完全です。すべてのボリュームを新しくコピーして、もう一度更新してください。"}},
    {O::TargetNotOpened, "target-not-opened", kExitFailed, V::Failed, C::Red,
     {"failed: no target", "失敗: 接続不可"},
     {"Check the address and port against the instrument's panel, or for USB the cable and the device's "
      "permissions (zorflash-cli probe lists what answers), check that the instrument is on, then start again.",
      "アドレスとポートを計器のパネルと照合するか、USBならケーブルとデバイスの権限を確認し"
      "（zorflash-cli probe が応答する機器を示します）、計器の電源が入っていることを確かめてから、もう一度開始してください。"}},
    {O::CommunicationError, "communication-error", kExitFailed, V::Failed, C::Red,
     {"failed: link", "失敗: 通信"},
     {"Check the cable or network, keep the instrument on, and run the update again from the start; "
      "over TCP/IP a network without interruptions (no Wi-Fi, no sleeping PC) is best.",
      "ケーブルまたはネットワークを確認し、計器の電源を入れたまま、最初からもう一度更新してください。"
      "TCP/IPでは途切れないネットワーク（Wi-Fiやスリープするパソコンを避ける）が最適です。"}},
    {O::SetupFailure, "setup-failure", kExitFailed, V::Failed, C::Red,
     {"failed: setup", "失敗: 通信確立"},
     {"Check the address and port; switch the instrument off and on and start again.",
      "アドレスとポートを確認し、計器の電源を入れ直してから、もう一度開始してください。"}},
    {O::NoIdentification, "no-identification", kExitFailed, V::Failed, C::Red,
     {"failed: no ID", "失敗: 識別"},
     {"Switch the instrument off and on, check that it is the chosen model, and start again.",
      "計器の電源を入れ直し、選んだ機種であることを確認してから、もう一度開始してください。"}},
    {O::HeaderSizeFailure, "header-size-failure", kExitFailed, V::Failed, C::Red,
     {"failed: header size", "失敗: ヘッダーサイズ"},
     {"Switch the instrument off and on and start again; if it fails again, contact service.",
      "計器の電源を入れ直して、もう一度開始してください。再び失敗する場合はサービスに連絡してください。"}},
    {O::HeaderTransferError, "header-transfer-error", kExitFailed, V::Failed, C::Red,
     {"failed: header", "失敗: ヘッダー"},
     {"Check that the file is meant for this instrument, take a fresh copy and start again.",
      "ファイルがこの計器用であることを確認し、新しくコピーして、もう一度開始してください。"}},
    {O::Interrupted, "interrupted", kExitInterrupted, V::Interrupted, C::Yellow,
     {"interrupted", "中断"},
     {"The run was stopped on purpose: run the update again to finish it.",
      "実行は意図的に止められました。完了させるには、もう一度更新してください。"}},
    {O::Cancelled, "prompt-unanswered", kExitFailed, V::Failed, C::Red,
     {"failed: no answer", "失敗: 応答なし"},
     {"Put every volume next to volume 1 under the name the prompt gives, or run where someone can answer "
      "the disk prompt, and start again.",
      "すべてのボリュームをプロンプトが示す名前でボリューム1の隣に置くか、ディスクのプロンプトに"
      "答えられる状態で実行し、もう一度開始してください。"}},
    {O::Completed, "status-file-lost", kExitStatusFileLost, V::Completed, C::Yellow,
     {"done, no status file", "完了・状態未保存"},
     {"The instrument is updated; make room or grant permission where the status file goes.",
      "計器は更新されました。状態ファイルの保存先に空き容量や書き込み権限を用意してください。"}},
}};

constexpr std::size_t kPromptUnanswered = 15;
constexpr std::size_t kStatusFileLost = 16;

// Of() indexes by the engine's outcome: a new outcome must get its row in its place.
constexpr bool EngineRowsInOrder()
{
    for (std::size_t i = 0; i < kPromptUnanswered; ++i)
        if (static_cast<std::size_t>(kRows[i].engine) != i)
            return false;
    return static_cast<std::size_t>(O::Interrupted) + 1 == kPromptUnanswered;
}
static_assert(EngineRowsInOrder());

constexpr std::array<ExitCodeMeaning, 8> kExitCodes = {{
    {kExitCompleted, {"completed", "完了"}},
    {kExitFailed, {"the update failed; stderr says why", "更新に失敗（理由は標準エラー出力）"}},
    {kExitUsage, {"command-line error, or a status or trace file that cannot be used",
                  "コマンドラインの誤り、または使用できない状態ファイル・トレースファイル"}},
    {kExitCancelled, {"the operator cancelled the disk prompt", "ディスクのプロンプトで中止"}},
    {kExitStatusFileLost, {"completed, but the status file could not be written",
                           "完了したが状態ファイルを書き込めなかった"}},
    {kExitHangUp, {"ended by SIGHUP (link closed, status file written)",
                   "SIGHUPで終了（リンクを閉じ、状態ファイルを書き込み済み）"}},
    {kExitInterrupted, {"ended by Ctrl+C, SIGINT (likewise)", "Ctrl+C（SIGINT）で終了（同上）"}},
    {kExitTerminated, {"ended by SIGTERM (likewise)", "SIGTERMで終了（同上）"}},
}};

// Higher is graver; codes the rule does not know rank with a failure.
int Gravity(int code)
{
    switch (code) {
    case kExitCompleted: return 0;
    case kExitStatusFileLost: return 1;
    case kExitCancelled: return 2;
    case kExitHangUp:
    case kExitInterrupted:
    case kExitTerminated: return 4;
    default: return 3;
    }
}

}  // namespace

std::span<const OutcomeRow> COutcomeTable::Rows()
{
    return kRows;
}

const OutcomeRow& COutcomeTable::Of(UpdateOutcome outcome)
{
    return kRows[static_cast<std::size_t>(outcome)];
}

const OutcomeRow& COutcomeTable::PromptUnanswered()
{
    return kRows[kPromptUnanswered];
}

const OutcomeRow& COutcomeTable::StatusFileLost()
{
    return kRows[kStatusFileLost];
}

const OutcomeRow* COutcomeTable::Named(std::string_view name)
{
    const auto found = std::find_if(kRows.begin(), kRows.end(), [name](const OutcomeRow& row) { return name == row.name; });
    return found == kRows.end() ? nullptr : &*found;
}

int COutcomeTable::InterruptionExitCode(CConsoleInterrupt::Reason reason)
{
    switch (reason) {
    case CConsoleInterrupt::Reason::HangUp: return kExitHangUp;
    case CConsoleInterrupt::Reason::Terminate: return kExitTerminated;
    default: return kExitInterrupted;
    }
}

int COutcomeTable::FleetExitCode(std::span<const int> targetCodes)
{
    if (targetCodes.empty())
        return kExitFailed;
    return *std::max_element(targetCodes.begin(), targetCodes.end(),
                             [](int a, int b) { return Gravity(a) < Gravity(b); });
}

std::span<const ExitCodeMeaning> COutcomeTable::ExitCodes()
{
    return kExitCodes;
}

bool COutcomeTable::LeftIncomplete(const UpdateResult& result)
{
    return !result.Completed() && (result.records > 0 || result.bytes > 0);
}

const char* COutcomeTable::IncompleteNote(Language language)
{
    return language == Language::Japanese
               ? "計器には不完全な更新が残っています。使用する前にもう一度更新してください。"
               : "The instrument holds an incomplete update and must be updated again before use.";
}

}  // namespace zorflash
