#include "resources/strings/StringTable.h"

#include <algorithm>
#include <iterator>

namespace zorflash {

namespace {
// Kept sorted by id: FindStringEntry searches it by halves.
constexpr StringEntry kStrings[] = {
    {128, "Zorflash\n\nZorfl\n\n\nZorflash.Document\nZorfl Document",
     "Zorflash\n\nZorfl\n\n\nZorflash.Document\nZorfl Document"},
    {32771, "Communication Settings\nCommunication Settings", "通信設定を変更します\n通信設定"},
    {57344, "Zorflash", "Zorflash"},
    {57345, "Ready", "レディ"},
    {57601, "Open an existing document\nOpen", "既存のドキュメントを開きます\n開く"},
    {57665, "Quit the application; prompts to save documents\nExit",
     "アプリケーションを終了します\n終了"},
    {61204, "Update File (*.%s)|*.%s|All Files (*.*)|*.*||",
     "アップデートファイル (*.%s)|*.%s|全てのファイル (*.*)|*.*||"},
    {61205, "\r\nCannot open target.\r\n", "\r\nターゲットがオープン出来ませんでした。\r\n"},
    {61207, "\r\nInvalid ROM Type.\r\n", "\r\n無効なROMタイプです。\r\n"},
    {61208, "Opening File...\r\n", "ファイルをオープンしています。\r\n"},
    {61209, "Detecting Target...\r\n", "ターゲットを検出しています。\r\n"},
    {61210, "Communication setup failure.\r\n", "通信の確立に失敗しました。\r\n"},
    {61211, "Couldn't receive MORVENAL character string\r\n", "MORVENALの受信が出来ませんでした。\r\n"},
    {61212, "Sending Header...\r\n", "ヘッダーを送信しています。\r\n"},
    {61213, "Heder size communication failure\r\n", "ヘッダーサイズの送信に失敗しました。\r\n"},
    {61214, "Incorrect input file.\r\n", "入力ファイルが不正です。\r\n"},
    {61215, "Header transfer error.\r\n", "ヘッダーの送信に失敗しました。\r\n"},
    {61216, "No END record.\r\n", "ENDレコードがありません。\r\n"},
    {61217, "Incorrect Check Sum.\r\n", "Check Sumが不正です。\r\n"},
    {61218, "Sending START record...\r\n", "スタートレコードを送信しています。\r\n"},
    {61219, "Sending (%d) Record", "レコード（%d）を送信しています。"},
    {61220, "\r\nTransfer completed.\r\n", "\r\n転送が終了しました。\r\n"},
    {61221, "\r\nAborted according to instruction received.\r\n", "\r\n指示により中断しました。\r\n"},
    {61222, "Aborted due to communication error.\r\n", "通信にエラーにより中断しました。\r\n"},
    {61223, "nsert Disk %d", "ディスク %d を挿入してください"},
    // File error reports, one per cause; %s is the file's path.
    {61300, "No error occurred with %s.", "%s でエラーは発生していません。"},
    {61301, "An unexpected error occurred while accessing %s.", "%s へのアクセス中に予期しないエラーが発生しました。"},
    {61302, "%s was not found.", "%s が見つかりません。"},
    {61303, "%s contains an invalid path.", "%s のパスが不正です。"},
    {61304, "%s could not be opened because there are too many open files.",
     "開いているファイルが多すぎるため %s を開けませんでした。"},
    {61305, "Access to %s was denied.", "%s へのアクセスが拒否されました。"},
    {61306, "An invalid file handle was associated with %s.", "%s は有効なファイルではありません。"},
    {61307, "%s could not be removed because it is the current directory.",
     "%s はカレントディレクトリのため削除できません。"},
    {61308, "%s could not be created because the directory is full.",
     "ディレクトリがいっぱいのため %s を作成できませんでした。"},
    {61309, "Seek failed on %s.", "%s のシークに失敗しました。"},
    {61310, "A hardware I/O error was reported while accessing %s.",
     "%s へのアクセス中にハードウェアの入出力エラーが発生しました。"},
    {61311, "A sharing violation occurred while accessing %s.", "%s へのアクセス中に共有違反が発生しました。"},
    {61312, "A locking violation occurred while accessing %s.", "%s へのアクセス中にロック違反が発生しました。"},
    {61313, "Disk full while accessing %s.", "%s へのアクセス中にディスクがいっぱいになりました。"},
    {61314, "An attempt was made to access %s past its end.", "%s の終わりを越えてアクセスしようとしました。"},
    {61320, "Out of memory.", "メモリが不足しています。"},
    // The desktop application's own texts.
    {61330, "An update is in progress. Wait until it has finished.",
     "ファームウェアの更新中です。終了するまでお待ちください。"},
    {61331, "The update could not be started.", "更新を開始できませんでした。"},
    {61332, "Save As", "名前を付けて保存"},
    {61333, "%d is not a valid entry. Specify a value between 0 and 255.",
     "%d は無効な値です。0 から 255 までの値を指定してください。"},
    // The status bar's progress display.
    {61334, "Section %d/%d", "ｾｸｼｮﾝ %d/%d"},
    {61335, "%s/%s, %s/s, %s left", "%s/%s %s/秒 残り%s"},
    {61336, "Update completed.", "更新が完了しました。"},
    {61337, "Update failed.", "更新に失敗しました。"},
    {61338, "Update cancelled.", "更新を中止しました。"},
    // A pipe, device or folder chosen as the update file: nothing in it can be read twice.
    {61339, "%s is not a regular file and cannot be an update file.",
     "%s は通常のファイルではないため、更新ファイルとして使用できません。"},
    // The text boxes' own menu.
    {61340, "&Undo", "元に戻す(&U)"},
    {61341, "Cu&t", "切り取り(&T)"},
    {61342, "&Copy", "コピー(&C)"},
    {61343, "&Paste", "貼り付け(&P)"},
    {61344, "&Delete", "削除(&D)"},
    {61345, "Select &All", "すべて選択(&A)"},
    {61350, "Volume %d/%d", "ﾎﾞﾘｭｰﾑ %d/%d"},
    // The status bar's word on the chosen file, before anything is sent.
    {61380, "The file's first line belongs to %s, not to %s.",
     "ファイルの1行目は %s のもので、%s のものではありません。"},
    {61381, "The file's first line matches no model's header line.",
     "ファイルの1行目はどの機種のヘッダ行とも一致しません。"},
    {61382, "Start opens volume 1 as %s, not %s.", "開始すると、ボリューム 1 として %s を開きます（%s ではありません）。"},
    // Beside the disk prompt, which says only the volume's number.
    {61383, "Looking for volume %d: %s", "ボリューム %d を探しています: %s"},
    // Why an update failed, from what the link said.
    {61384, "Target %s: %s.", "ターゲット %s: %s。"},
    {61385, "No USB instrument found.", "USB 計測器が見つかりません。"},
    {61386, "No USB instrument answered with device number %d.",
     "デバイス番号 %d で応答した USB 計測器はありません。"},
    {61387, "The link failed: %s.", "通信に失敗しました: %s。"},
    // zorflash-cli's guidance beside the status text: notes before contact, the wait on the
    // live line, and what inspect and probe make of a file or reply of another model.
    {61470, "waiting %s of %s", "待機中 %s / %s"},
    {61471, "waiting %s (%s for each instrument)", "待機中 %s（機器ごとに %s）"},
    {61472, "the update opens volume 1 as %s, not %s: the character before the extension is replaced by "
            "the volume's digit (fw.R71 -> f1.R71, f2.R71)",
     "更新はボリューム 1 として %s を開きます（%s ではありません）。拡張子の前の 1 文字がボリューム番号に"
     "置き換えられます（fw.R71 -> f1.R71、f2.R71）"},
    {61473, "volume 2 (%s) is not present yet: you will be asked for it after volume 1",
     "ボリューム 2（%s）はまだありません。ボリューム 1 の後で挿入を求められます"},
    {61474, "volume 2 (%s) cannot be used yet (%s): you will be asked for it after volume 1",
     "ボリューム 2（%s）はまだ使用できません（%s）。ボリューム 1 の後で挿入を求められます"},
    {61475, "The file's first line is the %s header line of %s, not a header line of %s",
     "ファイルの先頭行は %s ヘッダー行（%s）で、%s のヘッダー行ではありません"},
    {61476, "The file's first line is no header line of %s, nor of any other model",
     "ファイルの先頭行は %s のヘッダー行ではなく、他のどの機種のヘッダー行でもありません"},
    {61477, "an update with --usb uses this one", "--usb の更新はこの機器を使います"},
    {61478, "a reply of %s, not of %s", "%s の応答です（%s ではありません）"},
    {61479, "next step: %s", "次の手順: %s"},
    {61480, "volume 1 (%s) is not present: you will be asked for it before the instrument is contacted",
     "ボリューム 1（%s）がありません。計器に接続する前に挿入を求められます"},
    {61481, "volume 1 (%s) cannot be used (%s): you will be asked for it before the instrument is contacted",
     "ボリューム 1（%s）は使用できません（%s）。計器に接続する前に挿入を求められます"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; }),
              "string table must stay sorted by id");
}  // namespace

const StringEntry* FindStringEntry(unsigned id)
{
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const StringEntry& e, unsigned key) { return e.id < key; });
    if (it == std::end(kStrings) || it->id != id)
        return nullptr;
    return &*it;
}

std::span<const StringEntry> AllStringEntries()
{
    return kStrings;
}

}  // namespace zorflash
